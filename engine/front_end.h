#pragma once
// What the portable core needs from the program's window. ui/ defines these
// functions with Win32; the unit tests define recording fakes (tests/fakes/).
// Handles are opaque to the core: an HWND on Windows, anything in the fakes.

using WindowHandle = void*;
using ListHandle = void*;
struct PeerAddress;

// Shows a modal message box with the stop icon and one OK button, owned by
// `owner`; returns when the user has closed it. Timers keep running meanwhile.
void frontShowNotice(WindowHandle owner, const char* caption, const char* text);

// Sets part 0 of the main window's status bar.
void frontSetStatusText(WindowHandle window, const char* text);

// Loads icon resource `iconId` at 16 x 16, stores it and `tip` (at most 63
// characters) in the tray record and asks the shell to modify the icon.
void frontSetTrayState(WindowHandle window, int iconId, const char* tip);

// Starts (or restarts) window timer `timerId` with the given period.
void frontStartTimer(WindowHandle window, int timerId, unsigned periodMs);
void frontStopTimer(WindowHandle window, int timerId);

// The check state of the main window's log check box, read live: 1 or 0.
int frontLogSwitchOn(WindowHandle window);

// A four-column list (address, port, date, time): a new row at `index` with
// `text` in column 0, then the text of column `subItem` (1 to 3) of that row.
void frontListInsertItem(ListHandle list, int index, const char* text);
void frontListSetSubItem(ListHandle list, int index, int subItem, const char* text);

// A caller was accepted from `peer`: the window sends its alert, if alerts
// are on. Nothing the caller or the log sees depends on it.
void frontCallerAccepted(WindowHandle window, const PeerAddress& peer);
