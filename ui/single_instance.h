#pragma once
// One copy of the program per working folder. Two copies in one folder would
// fight over the port and write the same velmo.sav; copies in different
// folders (two decoys on two ports) run side by side.
#include <windows.h>

// Claims the working folder for this process. When another copy already
// holds it, brings that copy's window up as Restore does and returns 0: the
// caller then ends without touching any file.
int claimWorkingFolder();

// Marks the main window as the one of this working folder, so that a later
// start in the same folder finds it.
void markFolderWindow(HWND window);
