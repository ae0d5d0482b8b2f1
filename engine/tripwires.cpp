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

// Every connection waiting on one port, up to `most`.
int serveWire(TripwireSet& set, Tripwire& wire, WindowHandle window, int most)
{
    int taken = 0;
    while (taken < most) {
        SocketHandle caller = kNoSocket;
        PeerAddress peer{};
        const NetAcceptResult result = netAccept(wire.socket, caller, peer);
        if (result != NetAccepted)
            return taken;
        netClose(caller);
        ++taken;
        ++set.hits;
        frontTripwireHit(window, peer, wire.port);
    }
    return taken;
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

int tripwiresServe(TripwireSet& set, WindowHandle window, int most)
{
    int taken = 0;
    for (int i = 0; i < set.count && taken < most; ++i) {
        if (set.wires[i].state == TripwireWatching)
            taken += serveWire(set, set.wires[i], window, most - taken);
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
