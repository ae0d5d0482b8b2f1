#pragma once
// The platform's open and save file dialogs, as the program's dialogs use them.
#include "engine/daemon_script.h"

#include <windows.h>
#include <commdlg.h>

enum FileDialogPurpose { LoadCustomDaemonFile, SaveCustomDaemonFile, BrowseLogFile };

// Fills `form` in its original size (without the later extras) for `purpose`
// over `owner`, with `fileName` emptied as its buffer.
void fillFileDialogForm(OPENFILENAMEA& form, FileDialogPurpose purpose, HWND owner, char (&fileName)[kPathSize]);

// Runs the open or save dialog of `purpose`; 1 with the chosen path in
// `fileName`, 0 when the user cancelled.
int chooseFile(FileDialogPurpose purpose, HWND owner, char (&fileName)[kPathSize]);
