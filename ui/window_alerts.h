#pragma once
// The program's alerts: the decoy's events, handed to the alert hub, which
// renders them for each channel of "alerts.ini" and delivers them. Nothing
// here ever shows a box or waits for the network; what fails shows only in
// the Alerts dialog.
#include "alerts/alert_hub.h"
#include "platform/clock.h"
#include "platform/net.h"

#include <windows.h>

// Resolve slots: the hub's three channels, then the dialog's three test channels.
enum { kHubFirstSlot = 0, kTestFirstSlot = kAlertChannels };

// Reads the alerts file (missing or damaged: those channels off) and fixes
// the messages' origin. At window creation, before any event.
void alertsStart(HWND window);

// Takes the settings the Alerts dialog saved, from the next message on.
void alertsApply(HWND window, const AlertSettings& settings);

// Hands `event` to the hub: the listener's port and the daemon being served,
// and for AlertConnect the caller's address and port.
void alertsPostEvent(HWND window, AlertEvent event, const PeerAddress* caller = nullptr);

// A tripwire's hit on `port` by `caller`: a connect of the Tripwire.
void alertsPostTripwireHit(const PeerAddress& caller, int port);

// The delivery timer: pumps the hub (the heartbeat and summaries come from
// there); during an exit wait, ends the message loop once nothing waits or
// the wait is over.
void alertsTick(HWND window);

// At Exit: 1 when messages still wait and the message loop has to keep
// running for them (at most 2 s); 0 when the loop may end now.
int alertsHoldExit(HWND window);

// At sign-out or shut-down: delivers what waits, for at most 2 s.
void alertsFlush();

// Starts Windows sockets for the rest of the run, once.
void alertSocketsNeeded();
