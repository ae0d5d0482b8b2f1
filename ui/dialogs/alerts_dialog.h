#pragma once
// Alerts: where the detections go (a syslog collector, e-mail, a webhook) and
// what the filters hold back, a page each; a test message per channel, and
// what each of the program's channels has done since the start.
#include <windows.h>

// Runs the dialog modally over `owner`, the main window.
void openAlertsDialog(HWND owner);

