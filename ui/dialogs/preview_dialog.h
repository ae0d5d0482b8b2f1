#pragma once
// Preview Chosen Daemon: shows the active script read-only.
#include <windows.h>

// Runs the dialog modally over `owner`. It shows slot 0 of the script table as
// it is; choosing which daemon that is is the caller's business.
void openPreviewDialog(HWND owner);


// Puts the port line, the timer line and the outline of the active script
// into the dialog's three fields.
void composePreview(HWND dialog);
