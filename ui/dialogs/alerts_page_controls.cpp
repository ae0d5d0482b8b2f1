#include "ui/dialogs/alerts_page_controls.h"

#include <cstring>

static_assert(IDC_MAIL_TEST - IDD_ALERTS_MAIL == kTestOffset && IDC_WEBHOOK_TEST - IDD_ALERTS_WEBHOOK == kTestOffset &&
                  IDC_MAIL_STATUS - IDD_ALERTS_MAIL == kStatusOffset &&
                  IDC_WEBHOOK_PROBLEM - IDD_ALERTS_WEBHOOK == kProblemOffset &&
                  IDC_FILTERS_PROBLEM - IDD_ALERTS_FILTERS == kProblemOffset &&
                  IDC_TRIPWIRES_PROBLEM - IDD_ALERTS_TRIPWIRES == kProblemOffset,
              "each page's own lines at the same offsets");

const int kPageTemplates[kAlertsPages] = {IDD_ALERTS_SYSLOG, IDD_ALERTS_MAIL, IDD_ALERTS_WEBHOOK, IDD_ALERTS_FILTERS,
                                         IDD_ALERTS_TRIPWIRES};
const char* const kPageNames[kAlertsPages] = {"Syslog", "E-mail", "Webhook", "Filters", "Tripwires"};
HWND pages[kAlertsPages];

int pageOf(int id)
{
    return id / 100 - IDD_ALERTS_SYSLOG / 100;
}

int lineOf(int page, int offset)
{
    return kPageTemplates[page] + offset;
}

HWND control(int id)
{
    return GetDlgItem(pages[pageOf(id)], id);
}

void setText(int id, const char* text)
{
    SetWindowTextA(control(id), text);
}

void refreshText(int id, const char* text)
{
    char shown[kPageLineSize];
    GetWindowTextA(control(id), shown, sizeof shown);
    if (std::strcmp(shown, text) != 0)
        setText(id, text);
}

void getText(int id, char* text, int size)
{
    GetWindowTextA(control(id), text, size);
}

int checked(int id)
{
    return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void check(int id, int on)
{
    SendMessageA(control(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

int radioIndex(int first, int count)
{
    for (int i = 0; i < count; ++i) {
        if (checked(first + i))
            return i;
    }
    return 0;
}

void checkRadio(int first, int count, int index)
{
    CheckRadioButton(pages[pageOf(first)], first, first + count - 1, first + index);
}

void setNumber(int id, int number)
{
    SetDlgItemInt(pages[pageOf(id)], id, static_cast<UINT>(number), FALSE);
}

int numberIn(int id, int high)
{
    BOOL isNumber = FALSE;
    const UINT number = GetDlgItemInt(pages[pageOf(id)], id, &isNumber, FALSE);
    return isNumber && number <= static_cast<UINT>(high) ? static_cast<int>(number) : -1;
}

int portIn(int id)
{
    const int port = numberIn(id, 65535);
    return port > 0 ? port : 0;
}

void enable(int id, bool on)
{
    EnableWindow(control(id), on ? TRUE : FALSE);
}
