#include "engine/tripwires.h"

namespace {

enum { kDrainAtDisarm = 1 << 20 };

void closeWire(Tripwire& wire)
{
    netClose(wire.socket);
    wire.socket = kNoSocket;
}

// A socket bound to the port and listening; otherwise the reason it is not.
void armWire(Tripwire& wire)
{
    wire.socket = netCreateStreamSocket();
    wire.state = TripwireRefused;
    if (wire.socket == kNoSocket)
        return;
    const NetBindOutcome bound = netBindPort(wire.socket, wire.port);
    if (bound == NetBound && netListen(wire.socket, kTripwireBacklog)) {
        wire.state = TripwireWatching;
        return;
    }
    wire.state = bound == NetPortInUse ? TripwireInUse : TripwireRefused;
    closeWire(wire);
}

// The first connection waiting on the port: a hit, hung up on at once and
// told, or one its caller reset before it could be taken (counted: its
// address is gone). 0 when none waits.
int takeOne(TripwireSet& set, Tripwire& wire, WindowHandle window)
{
    SocketHandle caller = kNoSocket;
    PeerAddress peer{};
    const NetAcceptResult result = netAccept(wire.socket, caller, peer);
    if (result == NetCallerGone)
        ++set.gone;
    if (result != NetAccepted)
        return result == NetCallerGone;
    netClose(caller);
    ++set.hits;
    frontTripwireHit(window, peer, wire.port);
    return 1;
}

bool listed(const TripwireSet& set, int port)
{
    for (int i = 0; i < set.count; ++i) {
        if (set.wires[i].port == port)
            return true;
    }
    return false;
}

} // namespace

void tripwiresArm(TripwireSet& set, const int* ports, int count, int daemonPort)
{
    tripwiresDisarm(set, nullptr);  // nothing is armed: nothing waits
    set.count = 0;
    for (int i = 0; i < count && set.count < kMostTripwires; ++i) {
        if (ports[i] < 1 || ports[i] > 65535 || ports[i] == daemonPort || listed(set, ports[i]))
            continue;
        set.wires[set.count++] = Tripwire{ports[i], TripwireOff, kNoSocket};
    }
    if (set.count == 0 || !netStartup())
        return;
    set.socketsStarted = 1;
    for (int i = 0; i < set.count; ++i)
        armWire(set.wires[i]);
}

// One connection from each port in turn, so that a flood on one port keeps
// no other waiting; a port found empty is left for the rest of the batch.
int tripwiresServe(TripwireSet& set, WindowHandle window, int most)
{
    int waiting[kMostTripwires];
    int count = 0;
    for (int i = 0; i < set.count; ++i) {
        if (set.wires[i].state == TripwireWatching)
            waiting[count++] = i;
    }
    int taken = 0;
    while (count > 0 && taken < most) {
        for (int at = 0; at < count && taken < most;) {
            if (takeOne(set, set.wires[waiting[at]], window)) {
                ++taken;
                ++at;
            } else {
                waiting[at] = waiting[--count];
            }
        }
    }
    return taken;
}

void tripwiresDisarm(TripwireSet& set, WindowHandle window)
{
    if (window)
        tripwiresServe(set, window, kDrainAtDisarm);
    for (int i = 0; i < set.count; ++i) {
        closeWire(set.wires[i]);
        set.wires[i].state = TripwireOff;
    }
    if (set.socketsStarted)
        netCleanup();
    set.socketsStarted = 0;
}

int tripwiresArmed(const TripwireSet& set)
{
    int armed = 0;
    for (int i = 0; i < set.count; ++i)
        armed += set.wires[i].state == TripwireWatching;
    return armed;
}

int tripwirePortsIn(const TripwireSet& set, TripwireState state, int* ports)
{
    int found = 0;
    for (int i = 0; i < set.count; ++i) {
        if (set.wires[i].state != state)
            continue;
        int at = found++;
        for (; at > 0 && ports[at - 1] > set.wires[i].port; --at)
            ports[at] = ports[at - 1];
        ports[at] = set.wires[i].port;
    }
    return found;
}
