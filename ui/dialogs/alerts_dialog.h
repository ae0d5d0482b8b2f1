#pragma once
// Alerts: where the detections go (a syslog collector), a test message, and
// what the program's alert channel has done since the start.
#include <windows.h>

// Runs the dialog modally over `owner`, the main window.
void openAlertsDialog(HWND owner);

INT_PTR CALLBACK alertsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
