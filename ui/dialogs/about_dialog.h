#pragma once
// About Velmoranth: banner, name and version, and the maker's two links.
#include <windows.h>

// Runs the dialog modally over `owner`.
void openAboutDialog(HWND owner);

