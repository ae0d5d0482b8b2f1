#pragma once
// Set Log Path: types or browses the path of the connections log.
#include <windows.h>

// Runs the dialog modally over `owner`.
void openLogPathDialog(HWND owner);

INT_PTR CALLBACK logPathDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
