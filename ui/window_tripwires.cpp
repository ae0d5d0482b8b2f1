#include "ui/window_tripwires.h"

#include "engine/front_end.h"
#include "storage/connection_log.h"
#include "ui/program_state.h"
#include "ui/window_alerts.h"

namespace {

// Hits taken in one go: a flood is served in batches, so the window answers
// between them.
enum { kHitsPerBatch = 200 };

TripwireSet tripwires;
int holdingDetected;

} // namespace

void tripwiresStart(HWND window, int daemonPort)
{
    const TripwireSettings& settings = program.alertsRead.settings.tripwires;
    tripwiresStop(window);
    if (!settings.enabled)
        return;
    tripwiresArm(tripwires, settings.ports, settings.portCount, daemonPort);
    if (tripwiresArmed(tripwires))
        SetTimer(window, kTripwireTimerId, kTripwirePeriodMs, nullptr);
}

void tripwiresStop(HWND window)
{
    KillTimer(window, kTripwireTimerId);
    tripwiresDisarm(tripwires, window);
    KillTimer(window, kDetectedHoldTimerId);
    holdingDetected = 0;
}

void tripwiresServeBatch(HWND window)
{
    if (tripwiresServe(tripwires, window, kHitsPerBatch) == kHitsPerBatch)
        PostMessageA(window, kTripwireMoreMessage, 0, 0);
}

void tripwiresHoldEnded(HWND window)
{
    KillTimer(window, kDetectedHoldTimerId);
    holdingDetected = 0;
    if (program.listening && !program.listener.callerActive)
        frontShowDisplayState(window, DisplayListening);
}

int tripwiresHoldDetected()
{
    return holdingDetected;
}

const TripwireSet& tripwiresNow()
{
    return tripwires;
}

void frontTripwireHit(WindowHandle handle, const PeerAddress& peer, int port)
{
    HWND window = static_cast<HWND>(handle);
    if (frontLogSwitchOn(window)) {
        char address[16];
        netAddressText(peer, address);
        appendConnectionLog(program.logPath, address, port);
    }
    alertsPostTripwireHit(peer, port);
    if (!holdingDetected)
        frontShowDisplayState(window, DisplayDetected);
    holdingDetected = 1;
    SetTimer(window, kDetectedHoldTimerId, kDetectedHoldMs, nullptr);
}
