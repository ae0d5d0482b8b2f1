#pragma once
// One copy of the program per working folder. Two copies in one folder would
// fight over the port and write the same velmo.sav; copies in different
// folders (two decoys on two ports) run side by side.
#include <windows.h>

// A second start asks the copy of its folder to show its window; the copy
// answers kRestoreDone when it did. The exit code of a start that could not
// claim its folder from whatever holds it.
enum { kRestoreRequest = WM_APP + 1, kRestoreDone = 0x5652, kExitFolderHeld = 3 };

enum FolderClaim {
    FolderClaimed,        // this copy runs (also when the folder cannot be read: then nothing is claimed)
    FolderShownElsewhere, // the folder's copy showed its window: end without touching any file
    FolderHeld,           // held by a process that does not answer: a box said so; end with kExitFolderHeld
};

// Claims the working folder for this process. When a copy ends at the same
// moment, waits for it to let go and claims the folder after it.
FolderClaim claimWorkingFolder();

// Marks the main window as the one of this working folder, so that a later
// start in the same folder finds it.
void markFolderWindow(HWND window);

// At Exit, once the settings are saved and the port is closed: a start from
// now on runs in this copy's place, and this copy answers no request.
void releaseWorkingFolder(HWND window);

// The main window's answer to kRestoreRequest.
LRESULT answerRestoreRequest(HWND window);
