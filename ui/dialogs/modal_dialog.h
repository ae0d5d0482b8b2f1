#pragma once
// The frame every modal dialog of the program shares: its template and a
// handler for each message it answers, dispatched by one procedure.
#include <windows.h>

struct ModalDialog {
    int templateId;
    INT_PTR (*onInit)(HWND dialog);
    INT_PTR (*onCommand)(HWND dialog, int id, int notification);
    // Any other message; nullptr when the dialog answers none.
    INT_PTR (*onOther)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

// Runs `dialog` modally over `owner` until one of its handlers ends it.
// The main window's timers go on meanwhile, in the dialog's own loop.
void runModalDialog(HWND owner, const ModalDialog& dialog);

// For a dialog whose only button is OK: OK, Esc and the close box end it
// with `okId`. FALSE for any other command.
INT_PTR endOnOk(HWND dialog, int id, int okId);
