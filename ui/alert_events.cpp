#include "ui/alert_events.h"

#include "engine/http.h"
#include "engine/smtp_sender.h"
#include "storage/alert_settings.h"
#include "ui/program_state.h"

namespace {

enum { kFlushPauseMs = 10 };

// The hub's queues: 4 MiB each at most, touched only as far as they fill.
AlertHubStorage hubStorage;
HWND wakeWindow;

// On an HTTP worker's thread: only a posted message crosses to the window's.
void wakeTheWindow()
{
    PostMessageA(wakeWindow, kAlertWakeMessage, 0, 0);
}

void endExitWait()
{
    program.exitDeadlineMs = 0;
    PostQuitMessage(0);
}

bool anyChannelOn(const AlertSettings& settings)
{
    return settings.syslog.enabled || settings.mail.enabled || settings.webhook.enabled;
}

// The fully qualified name tells apart two PCs whose NetBIOS names share
// their first 15 characters; the shorter names are the fall-backs.
void computerName(char* name, DWORD size)
{
    const COMPUTER_NAME_FORMAT kFormats[] = {ComputerNameDnsFullyQualified, ComputerNameDnsHostname,
                                             ComputerNameNetBIOS};
    for (COMPUTER_NAME_FORMAT format : kFormats) {
        DWORD length = size;
        if (GetComputerNameExA(format, name, &length) && name[0] != '\0')
            return;
    }
    name[0] = '\0';
}

UtcTime calendarOf(const SYSTEMTIME& t)
{
    return UtcTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

long long minutesOf(const SYSTEMTIME& t)
{
    FILETIME file;
    SystemTimeToFileTime(&t, &file);
    ULARGE_INTEGER ticks;  // 100 ns each
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    return static_cast<long long>(ticks.QuadPart / 600000000ULL);
}

AlertDecoyState decoyState()
{
    const int port = program.listening ? netLocalPort(program.listener.listenSocket) : 0;
    return AlertDecoyState{program.listening, port, program.activeDaemonKind};
}

} // namespace

// The listener starts and ends Windows sockets with each Listen and StandBy;
// the alerts need them from their first message to the end of the run.
void alertSocketsNeeded()
{
    if (!program.alertSocketsStarted)
        program.alertSocketsStarted = netStartup();
}

long long alertsNowMs()
{
    return static_cast<long long>(GetTickCount64());
}

AlertTime alertTimeNow()
{
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    return AlertTime{calendarOf(utc), calendarOf(local), static_cast<int>(minutesOf(local) - minutesOf(utc))};
}

void alertsStart(HWND window)
{
    program.alertsRead = loadAlertSettings(VELMO_ALERTS_FILE);
    char name[256] = "";
    computerName(name, sizeof name);
    syslogOriginInit(program.alertOrigin, name, GetCurrentProcessId());
    alertHubInit(program.alerts, hubStorage, program.alertOrigin, kHubFirstSlot);
    smtpSenderSetHeloName(program.alerts.channels[AlertMailChannel], program.alertOrigin.hostName);
    wakeWindow = window;
    httpSetWake(wakeTheWindow);
    alertsApply(window, program.alertsRead.settings);
}

// The delivery timer runs only while some channel is on.
void alertsApply(HWND window, const AlertSettings& settings)
{
    if (anyChannelOn(settings))
        alertSocketsNeeded();
    alertHubConfigure(program.alerts, settings, alertsNowMs());
    if (anyChannelOn(settings))
        SetTimer(window, kAlertTimerId, kAlertPeriodMs, nullptr);
    else
        KillTimer(window, kAlertTimerId);
}

void alertsPostEvent(HWND, AlertEvent event, const PeerAddress* caller)
{
    const int localPort = netLocalPort(program.listener.listenSocket);
    AlertFacts facts = caller ? callerAlertFacts(*caller, localPort, program.activeDaemonKind) : AlertFacts{};
    facts.event = event;
    facts.localPort = localPort;
    facts.daemonKind = program.activeDaemonKind;
    alertHubEvent(program.alerts, facts, alertTimeNow(), alertsNowMs());
}

void alertsTick(HWND)
{
    const long long now = alertsNowMs();
    alertHubPump(program.alerts, decoyState(), alertTimeNow(), now);
    if (program.exitDeadlineMs != 0 && (alertHubIdle(program.alerts) || now >= program.exitDeadlineMs))
        endExitWait();
}

// The window is hidden at once, so the wait is invisible to the user. A
// pause before a retry would outlast the wait: the next tick tries at once.
int alertsHoldExit(HWND window)
{
    if (alertHubIdle(program.alerts))
        return 0;
    const long long now = alertsNowMs();
    program.exitDeadlineMs = now + kAlertExitWaitMs;
    alertHubRetrySoon(program.alerts, now);
    ShowWindow(window, SW_HIDE);
    return 1;
}

// The session is ending: this is the last chance, so the loop waits here,
// in short pauses, for at most the exit wait.
void alertsFlush()
{
    const long long deadline = alertsNowMs() + kAlertExitWaitMs;
    alertHubRetrySoon(program.alerts, alertsNowMs());
    for (long long now = alertsNowMs(); !alertHubIdle(program.alerts); now = alertsNowMs()) {
        alertHubPump(program.alerts, decoyState(), alertTimeNow(), now);
        if (alertHubIdle(program.alerts) || now >= deadline)
            return;
        Sleep(kFlushPauseMs);
    }
}
