#pragma once
// Set Log Path: types or browses the path of the connections log.
#include <windows.h>

// Runs the dialog modally over `owner`.
void openLogPathDialog(HWND owner);

