#pragma once
// The Alerts dialog's pages: each shows its part of the settings, reads it
// back, and checks it as the file's reader would; a channel page also offers
// its test. The pages' own controls answer here (protocol and security
// choices, a host typed, the URL's plain-text mark).
#include "alerts/alert_targets.h"

#include <windows.h>

// What a page's reading or a channel's check found: "" when sound, with the field at fault.
struct Fault {
    const char* text;
    int field;
};

// Each field's limit, then the settings on every page.
void limitFields();
void showSettings(const AlertSettings& settings);

// What the file's reading found wrong with the page's part, which is off for it.
void showFileProblem(int page);

// The page as it stands, read into `settings`.
Fault readPage(int page, AlertSettings& settings);
// A channel's target as its page's OK checks it.
Fault channelFault(int channel, const AlertSettings& settings);
// The page read, and for a channel page, its channel's check.
Fault pageFault(int page, AlertSettings& settings);

// The pages' own procedure.
INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
