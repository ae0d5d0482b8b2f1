#include "ui/dialogs/alerts_dialog.h"

#include "resources/resource.h"
#include "storage/alert_settings.h"
#include "ui/alert_events.h"
#include "engine/syslog_message.h"
#include "ui/program_state.h"

#include <cstdio>
#include <cstring>

namespace {

enum { kRefreshTimerId = 9050, kRefreshPeriodMs = 100, kLineSize = 256, kMaxPort = 65535 };

// The test message goes through a channel of the dialog's own, so that it
// never waits behind, nor is counted with, the program's alerts.
AlertChannel testChannel;
char testBytes[4096];
AlertQueueEntry testEntries[4];
int testUnderWay;  // sent, and its outcome not shown yet

void resetTestChannel()
{
    alertChannelClose(testChannel);
    alertChannelInitSmall(testChannel, testBytes, sizeof testBytes, testEntries, 4, kTestFirstSlot);
    testUnderWay = 0;
}

void showTarget(HWND dialog, const AlertTarget& target)
{
    CheckDlgButton(dialog, IDC_ALERTS_ENABLED, target.enabled ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(dialog, IDC_ALERTS_COLLECTOR, target.collector);
    SetDlgItemInt(dialog, IDC_ALERTS_PORT, static_cast<UINT>(target.port), TRUE);
    CheckRadioButton(dialog, IDC_ALERTS_UDP, IDC_ALERTS_TCP,
                     target.protocol == AlertTcp ? IDC_ALERTS_TCP : IDC_ALERTS_UDP);
}

// Anything but a number from 1 to 65535 reads as 0, which the check refuses.
int portField(HWND dialog)
{
    BOOL isNumber = FALSE;
    UINT port = GetDlgItemInt(dialog, IDC_ALERTS_PORT, &isNumber, FALSE);
    return isNumber && port <= kMaxPort ? static_cast<int>(port) : 0;
}

AlertTarget fieldsTarget(HWND dialog)
{
    AlertTarget target = program.alertsRead.settings.syslog;
    target.enabled = IsDlgButtonChecked(dialog, IDC_ALERTS_ENABLED) == BST_CHECKED ? 1 : 0;
    GetDlgItemTextA(dialog, IDC_ALERTS_COLLECTOR, target.collector, sizeof target.collector);
    target.port = portField(dialog);
    target.protocol = IsDlgButtonChecked(dialog, IDC_ALERTS_TCP) == BST_CHECKED ? AlertTcp : AlertUdp;
    return target;
}

// The local clock time, hh:mm:ss, of a moment on the channels' clock.
void localClockText(long long atMs, char* text, int size)
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME file;
    SystemTimeToFileTime(&local, &file);
    ULARGE_INTEGER ticks;  // 100 ns each
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart -= static_cast<ULONGLONG>(alertsNowMs() - atMs) * 10000u;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    FileTimeToSystemTime(&file, &local);
    std::snprintf(text, static_cast<size_t>(size), "%02u:%02u:%02u", local.wHour, local.wMinute, local.wSecond);
}

void showStatus(HWND dialog)
{
    const AlertStatus status = alertChannelStatus(program.alerts.channels[AlertSyslogChannel]);
    char line[kLineSize];
    int length = std::snprintf(line, sizeof line, "Sent %lu, waiting %lu, dropped %lu.", status.sent,
                               status.waiting, status.dropped);
    if (status.lastError[0] != '\0') {
        char clock[16];
        localClockText(status.lastErrorAtMs, clock, sizeof clock);
        std::snprintf(line + length, sizeof line - static_cast<size_t>(length), " Last error at %s: %s", clock,
                      status.lastError);
    }
    char shown[kLineSize];
    GetDlgItemTextA(dialog, IDC_ALERTS_STATUS, shown, sizeof shown);
    if (std::strcmp(shown, line) != 0)  // unchanged text is not set again, so it does not flicker
        SetDlgItemTextA(dialog, IDC_ALERTS_STATUS, line);
}

// Once the test message is out or has failed, its channel is closed: a
// test is tried once, never retried behind the user's back.
void showTestOutcome(HWND dialog)
{
    if (!testUnderWay)
        return;
    const AlertStatus status = alertChannelStatus(testChannel);
    if (status.sent == 0 && status.lastError[0] == '\0')
        return;
    const char* sent = status.unconfirmed ? "UDP: sent, delivery not confirmed" : "Sent.";
    SetDlgItemTextA(dialog, IDC_ALERTS_TEST_RESULT, status.sent != 0 ? sent : status.lastError);
    resetTestChannel();
}

// The fields as they stand, ticked or not, saved or not.
void onSendTest(HWND dialog)
{
    AlertTarget target = fieldsTarget(dialog);
    target.enabled = 1;
    const char* problem = alertTargetProblem(target);
    if (problem[0] != '\0') {
        SetDlgItemTextA(dialog, IDC_ALERTS_TEST_RESULT, problem);
        return;
    }
    resetTestChannel();
    alertSocketsNeeded();
    alertChannelConfigureSyslog(testChannel, target);
    const AlertFacts facts = alertHubTestEvent(program.alerts, AlertSyslogChannel, alertTimeNow());
    char message[kSyslogMessageSize];
    alertChannelPost(testChannel, message, alertRender(program.alertOrigin, testChannel, facts, message, sizeof message));
    alertChannelPump(testChannel, alertsNowMs());
    testUnderWay = 1;
    SetDlgItemTextA(dialog, IDC_ALERTS_TEST_RESULT, "Sending...");
    showTestOutcome(dialog);
}

INT_PTR onTimer(HWND dialog)
{
    alertChannelPump(testChannel, alertsNowMs());
    showTestOutcome(dialog);
    showStatus(dialog);
    return TRUE;
}

void closeDialog(HWND dialog, int result)
{
    KillTimer(dialog, kRefreshTimerId);
    resetTestChannel();
    EndDialog(dialog, result);
}

// The problem goes beside the fields, and the field at fault gets the focus.
void showProblem(HWND dialog, const char* problem, int field)
{
    SetDlgItemTextA(dialog, IDC_ALERTS_PROBLEM, problem);
    SetFocus(GetDlgItem(dialog, field));
}

// The collector is needed only with the box ticked; the port always, as the
// file keeps it either way and would not read back a bad one.
const char* fieldsProblem(const AlertTarget& target, int& field)
{
    AlertTarget probe = target;
    probe.enabled = 1;
    probe.port = kAlertDefaultPort;
    field = IDC_ALERTS_COLLECTOR;
    if (target.enabled && alertTargetProblem(probe)[0] != '\0')
        return alertTargetProblem(probe);
    std::snprintf(probe.collector, sizeof probe.collector, "collector");
    probe.port = target.port;
    field = IDC_ALERTS_PORT;
    return alertTargetProblem(probe);
}

void onOk(HWND dialog)
{
    const AlertTarget target = fieldsTarget(dialog);
    int field = 0;
    const char* problem = fieldsProblem(target, field);
    if (problem[0] != '\0') {
        showProblem(dialog, problem, field);
        return;
    }
    AlertSettings settings = program.alertsRead.settings;
    settings.syslog = target;
    if (!saveAlertSettings(settings, VELMO_ALERTS_FILE)) {
        showProblem(dialog, "The alerts file " VELMO_ALERTS_FILE " could not be written; nothing changed.",
                    IDC_ALERTS_OK);
        return;
    }
    program.alertsRead = AlertSettingsReading{};
    program.alertsRead.settings = settings;
    program.alertsRead.fileFound = 1;
    alertsApply(GetWindow(dialog, GW_OWNER), settings);
    closeDialog(dialog, IDC_ALERTS_OK);
}

INT_PTR onInitDialog(HWND dialog)
{
    resetTestChannel();
    showTarget(dialog, program.alertsRead.settings.syslog);
    if (program.alertsRead.problem[AlertProblemSyslog][0] != '\0') {
        char line[kLineSize];
        std::snprintf(line, sizeof line, "%s Alerts are off.", program.alertsRead.problem[AlertProblemSyslog]);
        SetDlgItemTextA(dialog, IDC_ALERTS_PROBLEM, line);
    }
    showStatus(dialog);
    SetTimer(dialog, kRefreshTimerId, kRefreshPeriodMs, nullptr);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id)
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
    case IDC_ALERTS_TEST:
        onSendTest(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void openAlertsDialog(HWND owner)
{
    DialogBoxParamA(program.module, MAKEINTRESOURCEA(IDD_ALERTS), owner, alertsDialogProc, 0);
}

INT_PTR CALLBACK alertsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog);
    case WM_COMMAND: return onCommand(dialog, LOWORD(wParam));
    case WM_TIMER: return onTimer(dialog);
    default: return FALSE;
    }
}
