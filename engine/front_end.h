#pragma once
// What the decoy needs from the program's window. ui/ defines these
// functions with Win32; the unit tests define recording fakes (tests/fakes/).
// Handles are opaque to the engine: an HWND on Windows, anything in the fakes.

using WindowHandle = void*;
struct PeerAddress;

// What the status bar and the tray icon show of the decoy; ui/display_state
// holds their texts, icons and tips.
enum DisplayState { DisplayStandingBy, DisplayListening, DisplayDetected };

// Shows a modal message box with the stop icon and one OK button, owned by
// `owner`; returns when the user has closed it. Timers keep running meanwhile.
void frontShowNotice(WindowHandle owner, const char* caption, const char* text);

// Status bar part 0, then the tray icon and its tip, for `state`.
void frontShowDisplayState(WindowHandle window, DisplayState state);

// Starts (or restarts) window timer `timerId` with the given period.
void frontStartTimer(WindowHandle window, int timerId, unsigned periodMs);
void frontStopTimer(WindowHandle window, int timerId);

// The check state of the main window's log check box, read live: 1 or 0.
int frontLogSwitchOn(WindowHandle window);

// Appends a caller's record to the connections log at `logPath` (storage
// writes it: the engine decides only when). Nothing is told of a failure.
void frontLogCaller(const char* logPath, const char* callerAddress, int port);

// A caller was accepted from `peer`: the window sends its alert, if alerts
// are on. Nothing the caller or the log sees depends on it.
void frontCallerAccepted(WindowHandle window, const PeerAddress& peer);

// A tripwire on `port` was hit by `peer` (and hung up on): the window logs
// it when logging is on, alerts it and shows Detected for a while.
void frontTripwireHit(WindowHandle window, const PeerAddress& peer, int port);
