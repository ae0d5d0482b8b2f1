#pragma once
// The tripwires on the window: armed with Listen (and again when the Alerts
// dialog changes them while listening), disarmed with StandBy, Exit and the
// session's end, served from a timer of their own. Each hit is logged when
// logging is on, alerted, and shows Detected for at least 5 s after the last.
#include "engine/tripwires.h"

#include <windows.h>

enum {
    kTripwireTimerId = 10008,     // serving the armed ports
    kTripwirePeriodMs = 100,
    kDetectedHoldTimerId = 10009, // Detected stays this long after a hit
    kDetectedHoldMs = 5000,
};

// Arms the ports of the alerts file's [Tripwires] when it turns them on;
// the listening daemon's port is left out.
void tripwiresStart(HWND window);

// Takes (and tells) what waits on the armed ports, then closes them.
void tripwiresStop(HWND window);

// The serving timer's tick: at most one batch of hits, then the window's
// other messages.
void tripwiresServeBatch(HWND window);

// The hold after the last hit ended: Detected gives way to Listening unless
// a caller is being served.
void tripwiresHoldEnded(HWND window);

// While Detected is held for a hit, Listening is not shown.
int tripwiresHoldDetected();

// The armed ports and those that could not be armed, for the heartbeat and
// the Tripwires page.
const TripwireSet& tripwiresNow();
