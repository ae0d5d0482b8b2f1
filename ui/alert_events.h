#pragma once
// The program's alerts: the decoy's events, sent through the program's one
// alert channel to the collector of "alerts.ini". Nothing here ever shows a
// box or waits for the network; what fails shows only in the Alerts dialog.
#include "engine/alert_channel.h"
#include "engine/net.h"
#include "engine/syslog_message.h"

#include <windows.h>

// Reads the alerts file (missing or damaged: alerts off) and fixes the
// messages' origin. At window creation, before any event.
void alertsStart(HWND window);

// Takes the settings the Alerts dialog saved, from the next message on.
void alertsApply(HWND window, const AlertTarget& target);

// The facts of `event`: the listener's port and the daemon being served, and
// for AlertConnect the caller's address and port.
AlertFacts alertsFacts(AlertEvent event, const PeerAddress* caller = nullptr);

// Posts the facts of `event` and starts their delivery.
void alertsPostEvent(HWND window, AlertEvent event, const PeerAddress* caller = nullptr);

// The delivery timer: pumps the channel; during an exit wait, ends the
// message loop once nothing waits or the wait is over.
void alertsTick(HWND window);

// At Exit: 1 when messages still wait and the message loop has to keep
// running for them (at most 2 s); 0 when the loop may end now.
int alertsHoldExit(HWND window);

// At sign-out or shut-down: delivers what waits, for at most 2 s.
void alertsFlush();

// Starts Windows sockets for the rest of the run, once.
void alertSocketsNeeded();

// The monotonic clock the channels run on, in milliseconds.
long long alertsNowMs();
