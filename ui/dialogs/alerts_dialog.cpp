#include "ui/dialogs/alerts_dialog.h"

#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"
#include "ui/dialogs/alerts_page_controls.h"
#include "ui/dialogs/alerts_pages.h"
#include "ui/dialogs/alerts_test_send.h"
#include "ui/dialogs/alerts_tripwires_page.h"
#include "ui/dialogs/modal_dialog.h"
#include "ui/program_state.h"
#include "ui/window_alerts.h"
#include "ui/window_tripwires.h"

#include <cstring>

#include <commctrl.h>

namespace {

enum { kRefreshTimerId = 9050, kRefreshPeriodMs = 100 };

void showPage(HWND dialog, int page)
{
    SendDlgItemMessageA(dialog, IDC_ALERTS_TABS, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    for (int i = 0; i < kAlertsPages; ++i)
        ShowWindow(pages[i], i == page ? SW_SHOW : SW_HIDE);
}

// The pages lie over the tabs' display area, above the tab control.
void createPages(HWND dialog)
{
    HWND tabs = GetDlgItem(dialog, IDC_ALERTS_TABS);
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    for (int page = 0; page < kAlertsPages; ++page) {
        tab.pszText = const_cast<char*>(kPageNames[page]);
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&tab));
    }
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (int page = 0; page < kAlertsPages; ++page) {
        pages[page] = CreateDialogParamA(program.module, MAKEINTRESOURCEA(kPageTemplates[page]), dialog, pageProc, 0);
        SetWindowPos(pages[page], HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, 0);
    }
}

// The fault's page comes to the front, its problem line names it, and the
// field at fault gets the focus.
void showFault(HWND dialog, int page, const Fault& fault)
{
    showPage(dialog, page);
    setText(lineOf(page, kProblemOffset), fault.text);
    SetFocus(control(fault.field));
}

// Every page is read and checked in turn; the first fault stops it.
bool readPages(HWND dialog, AlertSettings& settings)
{
    for (int page = 0; page < kAlertsPages; ++page) {
        const Fault fault = pageFault(page, settings);
        if (fault.text[0] != '\0') {
            showFault(dialog, page, fault);
            return false;
        }
    }
    return true;
}

void closeDialog(HWND dialog, int result)
{
    KillTimer(dialog, kRefreshTimerId);
    resetTests();
    EndDialog(dialog, result);
}

void onOk(HWND dialog)
{
    AlertSettings settings = program.alertsRead.settings;
    if (!readPages(dialog, settings))
        return;
    if (!saveAlertSettings(settings, VELMO_ALERTS_FILE)) {
        const int page = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ALERTS_TABS, TCM_GETCURSEL, 0, 0));
        setText(lineOf(page, kProblemOffset),
                "The alerts file " VELMO_ALERTS_FILE " could not be written; nothing changed.");
        return;
    }
    const bool tripwiresChanged =
        std::memcmp(&program.alertsRead.settings.tripwires, &settings.tripwires, sizeof settings.tripwires) != 0;
    program.alertsRead = AlertSettingsReading{};
    program.alertsRead.settings = settings;
    program.alertsRead.fileFound = 1;
    HWND owner = GetWindow(dialog, GW_OWNER);
    alertsApply(owner, settings);
    if (tripwiresChanged && program.listening)
        tripwiresStart(owner);
    closeDialog(dialog, IDC_ALERTS_OK);
}

INT_PTR onInitDialog(HWND dialog)
{
    createPages(dialog);
    limitFields();
    showSettings(program.alertsRead.settings);
    for (int page = 0; page < kAlertsPages; ++page)
        showFileProblem(page);
    resetTests();
    refreshTestsAndStatus();
    showPage(dialog, 0);
    SetTimer(dialog, kRefreshTimerId, kRefreshPeriodMs, nullptr);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id, int)
{
    switch (id) {
    case IDC_ALERTS_OK:
    case IDOK:
        onOk(dialog);
        return TRUE;
    case IDC_ALERTS_CANCEL:
    case IDCANCEL:
        closeDialog(dialog, IDC_ALERTS_CANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

// A click on a tab, or the arrow keys on the tabs.
INT_PTR onNotify(HWND dialog, const NMHDR& header)
{
    if (header.idFrom != IDC_ALERTS_TABS || header.code != static_cast<UINT>(TCN_SELCHANGE))
        return FALSE;
    showPage(dialog, static_cast<int>(SendMessageA(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
    return TRUE;
}

INT_PTR onTimer()
{
    refreshTestsAndStatus();
    refreshTripwiresState();
    return TRUE;
}

INT_PTR onOther(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY: return onNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER: return onTimer();
    default: return FALSE;
    }
}

const ModalDialog kDialog = {IDD_ALERTS, onInitDialog, onCommand, onOther};

} // namespace

void openAlertsDialog(HWND owner)
{
    runModalDialog(owner, kDialog);
}
