#pragma once
// Tripwires: ports beside the daemon's that catch a sweep. Each armed port
// accepts every connection and closes it at once, reading and writing
// nothing, so a scanner sees the port open; each hit is told to the window
// (frontTripwireHit), which logs it, alerts it and shows Detected. Armed with
// Listen, disarmed with StandBy and Exit; a port that cannot be armed is
// skipped and named. The window serves the armed ports from a timer of their
// own: serving never waits, and takes at most a given number of hits at a
// time, so a flood cannot hold the window.
#include "engine/front_end.h"
#include "platform/net.h"

enum { kMostTripwires = 64, kTripwireBacklog = 1024 };

enum TripwireState { TripwireOff, TripwireWatching, TripwireInUse, TripwireRefused };  // off: standing by

struct Tripwire {
    int port;
    TripwireState state;
    SocketHandle socket;  // kNoSocket unless watching
};

struct TripwireSet {
    Tripwire wires[kMostTripwires];  // in the order given, the daemon's port left out
    int count;
    int socketsStarted;
    unsigned long hits;              // since the program started
    unsigned long gone;              // reset by their callers before they could be taken
};

// Arms `ports` (each 1 to 65535, at most kMostTripwires), all but the
// daemon's own. A port that cannot be bound or listened on is kept, not
// armed, with its reason. The set is disarmed first (by the caller, so that
// nothing waiting goes untold).
void tripwiresArm(TripwireSet& set, const int* ports, int count, int daemonPort);

// Takes the connections waiting on the armed ports, one port after another,
// at most `most` of them, closing each at once and telling the window of it
// (one reset before it was taken is only counted). Returns how many it
// took: `most` means more may wait.
int tripwiresServe(TripwireSet& set, WindowHandle window, int most);

// Takes every connection still waiting (the system accepted it: it is told),
// then closes the ports. The set keeps its ports, none armed.
void tripwiresDisarm(TripwireSet& set, WindowHandle window);

int tripwiresArmed(const TripwireSet& set);

// The ports in `state`, ascending, into `ports` (room for kMostTripwires).
// Returns their number.
int tripwirePortsIn(const TripwireSet& set, TripwireState state, int* ports);
