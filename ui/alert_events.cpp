#include "ui/alert_events.h"

#include "storage/alert_settings.h"
#include "ui/program_state.h"

namespace {

enum { kFlushPauseMs = 10 };

void endExitWait()
{
    program.exitDeadlineMs = 0;
    PostQuitMessage(0);
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

void alertsStart(HWND window)
{
    program.alertsRead = loadAlertSettings(VELMO_ALERTS_FILE);
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size))
        name[0] = '\0';
    syslogOriginInit(program.alertOrigin, name, GetCurrentProcessId());
    alertsApply(window, program.alertsRead.target);
}

// The delivery timer runs only while alerts are on.
void alertsApply(HWND window, const AlertTarget& target)
{
    alertChannelConfigure(program.alerts, target);
    if (target.enabled) {
        alertSocketsNeeded();
        SetTimer(window, kAlertTimerId, kAlertPeriodMs, nullptr);
    } else {
        KillTimer(window, kAlertTimerId);
    }
}

AlertFacts alertsFacts(AlertEvent event, const PeerAddress* caller)
{
    const int localPort = netLocalPort(program.listener.listenSocket);
    AlertFacts facts = caller ? callerAlertFacts(*caller, localPort, program.activeDaemonKind) : AlertFacts{};
    facts.event = event;
    facts.localPort = localPort;
    facts.daemonKind = program.activeDaemonKind;
    return facts;
}

void alertsPostEvent(HWND, AlertEvent event, const PeerAddress* caller)
{
    if (!program.alerts.target.enabled)
        return;
    alertChannelPostEvent(program.alerts, program.alertOrigin, alertsFacts(event, caller));
    alertChannelPump(program.alerts, alertsNowMs());
}

void alertsTick(HWND)
{
    const long long now = alertsNowMs();
    alertChannelPump(program.alerts, now);
    if (program.exitDeadlineMs != 0 && (alertChannelIdle(program.alerts) || now >= program.exitDeadlineMs))
        endExitWait();
}

// The window is hidden at once, so the wait is invisible to the user. A
// pause before a retry would outlast the wait: the next tick tries at once.
int alertsHoldExit(HWND window)
{
    if (!program.alerts.target.enabled || alertChannelIdle(program.alerts))
        return 0;
    const long long now = alertsNowMs();
    program.exitDeadlineMs = now + kAlertExitWaitMs;
    alertChannelRetrySoon(program.alerts, now);
    ShowWindow(window, SW_HIDE);
    return 1;
}

// The session is ending: this is the last chance, so the loop waits here,
// in short pauses, for at most the exit wait.
void alertsFlush()
{
    const long long deadline = alertsNowMs() + kAlertExitWaitMs;
    alertChannelRetrySoon(program.alerts, alertsNowMs());
    for (long long now = alertsNowMs(); program.alerts.target.enabled; now = alertsNowMs()) {
        alertChannelPump(program.alerts, now);
        if (alertChannelIdle(program.alerts) || now >= deadline)
            return;
        Sleep(kFlushPauseMs);
    }
}
