#include "engine/listener.h"

#include "fakes/front_end_fake.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>


// Ending calls and stopping are tested with the conversations that lead to them.
TEST(Listener, AFailedStartShowsItsNoticeAndReleasesWhatItTookAGoodOneListensOnTheLow16Bits)
{
    ListenerState listener;
    resetFakeNet();
    const std::pair<FakeNetFailure, int> kSteps[] = {{FailStartup, 1}, {FailSocket, 2}, {FailBind, 3}, {FailListen, 4}};
    for (const auto& [failure, notice] : kSteps) {
        resetFakeFront();
        fakeNet().failure = failure;
        EXPECT_EQ(startListening(listener, kWindow, 23), 0);
        EXPECT_EQ(fakeFront().events, "notice 1 Error #" + std::to_string(notice) + "\n");
        EXPECT_TRUE(!fakeNet().listenerOpen && listener.listenSocket == kNoSocket);
        EXPECT_EQ(listener.socketsStarted + fakeNet().startups, 0);
    }
    fakeNet().failure = FailNone;
    resetFakeFront();
    ASSERT_EQ(startListening(listener, kWindow, 65536 + 23), 1);
    EXPECT_EQ(fakeNet().boundPort + fakeNet().startups, 23 + 1);
}

TEST(SocketSets, KeepInsertionOrderShiftOnRemoveAndHoldAtMost64)
{
    SocketSet set;
    socketSetClear(set);
    for (SocketHandle h : {7u, 3u, 9u, 3u, 42u})
        socketSetAdd(set, h);
    for (SocketHandle h : {7u, 42u, 7u})
        socketSetRemove(set, h);
    for (SocketHandle h = 100; h < 200; ++h)
        socketSetAdd(set, h);
    EXPECT_EQ(std::vector<SocketHandle>(set.handles, set.handles + 3), (std::vector<SocketHandle>{3, 9, 100}));
    EXPECT_EQ(set.count, kMaxWatchedSockets);
    EXPECT_TRUE(socketSetContains(set, 161) && !socketSetContains(set, 162) && !socketSetContains(set, 7));
}
