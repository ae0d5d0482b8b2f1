#include "engine/listener.h"
#include "engine/tripwires.h"

#include "fakes/front_end_fake.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string portsIn(const TripwireSet& set, TripwireState state)
{
    int ports[kMostTripwires];
    std::string text;
    for (int i = 0, count = tripwirePortsIn(set, state, ports); i < count; ++i)
        text += (i ? "," : "") + std::to_string(ports[i]);
    return text;
}

} // namespace

// Armed beside the daemon: each hit taken once, a port after another, hung up on at once, told; one reset before it
// was taken only counted; at disarm what waits is told first.
TEST(Tripwires, ArmBesideTheDaemonServeInBatchesAndTellWhatWaitsAtDisarm)
{
    resetFakeNet();
    resetFakeFront();
    TripwireSet set{};
    ListenerState listener;
    ASSERT_EQ(startListening(listener, kWindow, 23), 1);
    fakeNet().inUse = {3389};
    fakeNet().refused = {445};
    const int ports[] = {3389, 21, 23, 445, 22, 21, 0, 1, 65535, 65536};
    tripwiresArm(set, ports, 10, 23);
    EXPECT_EQ(portsIn(set, TripwireWatching) + "|" + portsIn(set, TripwireInUse) + "|" + portsIn(set, TripwireRefused),
              "1,21,22,65535|3389|445");
    EXPECT_EQ(tripwiresArmed(set), 4);
    EXPECT_EQ(fakeHit(3389, 7) + fakeHit(23, 7), 0) << "neither the port in use nor the daemon's is a tripwire";
    fakeHit(22, 7), fakeHit(21, 7), fakeHit(21, 6), fakeHit(21, 8);
    fakeNet().callers[2].reset = true;
    EXPECT_EQ(tripwiresServe(set, kWindow, 2), 2);
    EXPECT_EQ(tripwiresServe(set, kWindow, 2), 2) << "the reset one counts as taken, and 21's next is served";
    EXPECT_EQ(tripwiresServe(set, kWindow, 2), 0);
    fakeHit(22, 9);
    tripwiresDisarm(set, kWindow);
    EXPECT_EQ(fakeFront().events, "hit 21 203.0.113.7\nhit 22 203.0.113.7\nhit 21 203.0.113.8\nhit 22 203.0.113.9\n");
    for (const FakeCaller& caller : fakeNet().callers)
        EXPECT_TRUE(caller.closes == !caller.reset && caller.received.empty());
    EXPECT_EQ(set.hits * 10 + set.gone, 41u);
    EXPECT_EQ(fakeHit(21, 7) + tripwiresArmed(set), 0) << "standing by, every tripwire refuses";
    EXPECT_EQ(portsIn(set, TripwireOff), "1,21,22,445,3389,65535");
    stopListening(listener, kWindow);
    EXPECT_EQ(fakeNet().startups, 0);
}
