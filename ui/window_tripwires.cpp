#include "ui/window_tripwires.h"

#include "engine/front_end.h"
#include "platform/clock.h"
#include "storage/connection_log.h"
#include "ui/program_state.h"
#include "ui/window_alerts.h"

namespace {

// A flood is served in batches of at most about 20 ms, each from the serving
// timer, never from a posted message: a timer's message comes only after the
// window's input, painting and other messages, and re-arming the timer puts
// the timers that came due during a batch (the daemon's poll, the alerts')
// before the next one. While batches come full, the timer runs at its
// quickest.
enum { kHitsPerStep = 8, kBatchMs = 20 };

TripwireSet tripwires;
int holdingDetected;

// Detected is held from the last hit on.
void holdDetected(HWND window)
{
    SetTimer(window, kDetectedHoldTimerId, kDetectedHoldMs, nullptr);
}

// What still waits is taken and told; a hold it starts runs its course.
void disarm(HWND window)
{
    const unsigned long hitsBefore = tripwires.hits;
    KillTimer(window, kTripwireTimerId);
    tripwiresDisarm(tripwires, window);
    if (tripwires.hits != hitsBefore)
        holdDetected(window);
}

} // namespace

void tripwiresStart(HWND window)
{
    const int daemonPort = netLocalPort(program.listener.listenSocket);
    const TripwireSettings& settings = program.alertsRead.settings.tripwires;
    disarm(window);
    if (!settings.enabled)
        return;
    tripwiresArm(tripwires, settings.ports.ports, settings.ports.count, daemonPort);
    if (tripwiresArmed(tripwires))
        SetTimer(window, kTripwireTimerId, kTripwirePeriodMs, nullptr);
}

void tripwiresStop(HWND window)
{
    disarm(window);
    KillTimer(window, kDetectedHoldTimerId);
    holdingDetected = 0;
}

void tripwiresServeBatch(HWND window)
{
    const unsigned long hitsBefore = tripwires.hits;
    const long long start = clockMonotonicMs();
    int taken = kHitsPerStep;
    while (taken == kHitsPerStep && clockMonotonicMs() - start < kBatchMs)
        taken = tripwiresServe(tripwires, window, kHitsPerStep);
    SetTimer(window, kTripwireTimerId, taken == kHitsPerStep ? USER_TIMER_MINIMUM : kTripwirePeriodMs, nullptr);
    if (tripwires.hits != hitsBefore)
        holdDetected(window);
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
}
