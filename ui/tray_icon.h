#pragma once
// The notification-area icon and its popup menu.
#include <windows.h>

enum { kTrayIconId = 1008, kTrayMessage = WM_USER + 1000 };

// Fills the tray record in the standing-by state, adds the icon and builds
// the tray menu.
void trayIconAdd(HWND window);

// Loads `iconId` at 16 x 16 and hands the record with it and `tip` to the shell.
void trayIconSetState(int iconId, const char* tip);

// Adds the icon again as it stands, for a shell that restarted.
void trayIconAddAgain();

// Removes the icon and destroys the tray menu.
void trayIconRemove();

// Message 2024: the double click restores the window, the right button opens
// the tray menu at the cursor. Always 0.
LRESULT trayIconNotify(HWND window, WPARAM iconId, LPARAM mouseMessage);

// SW_SHOW then SW_RESTORE, so a minimised and hidden window comes back whole.
void showMainWindow(HWND window);
