#pragma once
// The notification-area icon and its popup menu.
#include "engine/front_end.h"

#include <windows.h>

enum { kTrayIconId = 1008, kTrayMessage = WM_USER + 1000 };

// Fills the tray record in the standing-by state, adds the icon and builds
// the tray menu.
void trayIconAdd(HWND window);

// The state's icon, loaded at 16 x 16 once, and its tip, handed to the shell.
void trayIconShowState(DisplayState state);

// Adds the icon again as it stands, for a shell that restarted.
void trayIconAddAgain();

// Removes the icon and destroys the tray menu.
void trayIconRemove();

// Message 2024: the double click restores the window, the right button opens
// the tray menu at the cursor. Always 0.
LRESULT trayIconNotify(HWND window, WPARAM iconId, LPARAM mouseMessage);

// SW_SHOW then SW_RESTORE, so a minimised and hidden window comes back whole.
void showMainWindow(HWND window);
