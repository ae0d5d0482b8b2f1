#pragma once
// Set Custom Daemon: edits the Custom script (slot 5 of the script table) and
// moves the dialog's contents to and from custom daemon files.
#include "engine/daemon_script.h"

#include <windows.h>

// Runs the dialog modally over `owner`.
void openCustomDaemonDialog(HWND owner);


// Reads the controls into `script` after checking the port. On a refused port
// it shows notice 7 or 8, leaves `script` untouched and returns 0.
int readCustomDaemonDialog(HWND dialog, DaemonScript& script);

// "None" in the timer list unticks and disables the Repeat box and its label;
// anything else enables both and keeps the box's state.
void refreshRepeatControls(HWND dialog);

// Sets the controls from a custom daemon file; an older layout is saved again
// at once in the current one. 0 after notice 10 or 11, controls unchanged.
int loadCustomDaemonFile(HWND dialog, const char* fileName);

// Writes the controls to `fileName` when their port is accepted.
void saveCustomDaemonFile(HWND dialog, const char* fileName);
