#pragma once
// The main window: its class, its creation with the child controls, and the
// procedure that turns commands, timers and shell notifications into actions.
#include <windows.h>

// Registers the class "Velmoranth". Nonzero on success.
ATOM registerMainWindowClass(HINSTANCE module);

// Creates the (hidden) main window; its creation loads the settings, adds the
// tray icon and may start listening. Null on failure.
HWND createMainWindow(HINSTANCE module);

// 1 to 5 for the first checked daemon button (2000 to 2004), 0 when none is.
int selectedDaemonKind(HWND window);

// Checks the daemon button of `kind` (1 to 5); other values do nothing.
void checkDaemonButton(HWND window, int kind);
