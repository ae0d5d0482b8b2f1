#include "ui/window_alerts.h"

#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"
#include "alerts/smtp_sender.h"
#include "platform/http.h"
#include "ui/program_state.h"
#include "ui/window_tripwires.h"

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

AlertDecoyState decoyState()
{
    const int port = program.listening ? netLocalPort(program.listener.listenSocket) : 0;
    AlertDecoyState decoy{program.listening, port, program.activeDaemonKind, {}, {}};
    const TripwireSet& tripwires = tripwiresNow();
    for (int i = 0; i < tripwires.count; ++i) {
        const Tripwire& wire = tripwires.wires[i];
        if (wire.state != TripwireOff)
            portListAdd(wire.state == TripwireWatching ? decoy.armed : decoy.refused, wire.port);
    }
    return decoy;
}

} // namespace

// The listener starts and ends Windows sockets with each Listen and StandBy;
// the alerts need them from their first message to the end of the run.
void alertSocketsNeeded()
{
    if (!program.alertSocketsStarted)
        program.alertSocketsStarted = netStartup();
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
    alertHubConfigure(program.alerts, settings, clockMonotonicMs());
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
    alertHubEvent(program.alerts, facts, clockWallTime(), clockMonotonicMs());
}

void alertsPostTripwireHit(const PeerAddress& caller, int port)
{
    alertHubEvent(program.alerts, callerAlertFacts(caller, port, kTripwireDaemon), clockWallTime(),
                  clockMonotonicMs());
}

void alertsTick(HWND)
{
    const long long now = clockMonotonicMs();
    alertHubPump(program.alerts, decoyState(), clockWallTime(), now);
    if (program.exitDeadlineMs != 0 && (alertHubIdle(program.alerts) || now >= program.exitDeadlineMs))
        endExitWait();
}

// The window is hidden at once, so the wait is invisible to the user. A
// pause before a retry would outlast the wait: the next tick tries at once.
int alertsHoldExit(HWND window)
{
    if (alertHubIdle(program.alerts))
        return 0;
    const long long now = clockMonotonicMs();
    program.exitDeadlineMs = now + kAlertExitWaitMs;
    alertHubRetrySoon(program.alerts, now);
    ShowWindow(window, SW_HIDE);
    return 1;
}

// The session is ending: this is the last chance, so the loop waits here,
// in short pauses, for at most the exit wait.
void alertsFlush()
{
    const long long deadline = clockMonotonicMs() + kAlertExitWaitMs;
    alertHubRetrySoon(program.alerts, clockMonotonicMs());
    for (long long now = clockMonotonicMs(); !alertHubIdle(program.alerts); now = clockMonotonicMs()) {
        alertHubPump(program.alerts, decoyState(), clockWallTime(), now);
        if (alertHubIdle(program.alerts) || now >= deadline)
            return;
        Sleep(kFlushPauseMs);
    }
}
