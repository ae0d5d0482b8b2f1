#pragma once
// Connections Log: the log file as a four-column table, read once at opening.
#include <windows.h>

// Runs the dialog modally over `owner`; when the log cannot be opened only
// notice 10 is shown.
void openConnectionsLogDialog(HWND owner);

