#include "engine/listener.h"

#include "fakes/front_end_fake.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(1);

TEST(Listener, AFailedStartShowsItsNoticeAndReleasesWhatItTookAGoodOneWatchesTheLow16Bits)
{
    ListenerState listener;
    resetFakeNet();
    const std::pair<FakeNetFailure, int> kSteps[] = {{FailStartup, 1}, {FailSocket, 2}, {FailBind, 3}, {FailListen, 4}};
    for (const auto& [failure, notice] : kSteps) {
        resetFakeFront();
        fakeNet().failure = failure;
        EXPECT_EQ(startListening(listener, kWindow, 23), 0);
        EXPECT_EQ(fakeFront().events, "notice Error #" + std::to_string(notice) + "\n");
        EXPECT_EQ(fakeFront().noticeOwners, std::vector<WindowHandle>{kWindow});
        EXPECT_FALSE(fakeNet().listenerOpen);
        EXPECT_EQ(listener.listenSocket, kNoSocket);
        EXPECT_EQ(listener.socketsStarted + fakeNet().startups, 0);
    }
    fakeNet().failure = FailNone;
    ASSERT_EQ(startListening(listener, kWindow, 65536 + 23), 1);
    EXPECT_EQ(fakeNet().boundPort, 23);
    EXPECT_EQ(listener.watchedSockets.handles[0], kFakeListenerHandle);
    EXPECT_EQ(listener.watchedSockets.count, 1);
    EXPECT_EQ(listener.highestSocket, kFakeListenerHandle);
    EXPECT_EQ(fakeNet().startups, 1);
}

// A caller in conversation, as accepting leaves it.
FakeCaller& converse(ListenerState& listener)
{
    FakeCaller& caller = fakeConnect();
    listener.callerSocket = fakeNet().backlog.front();
    socketSetAdd(listener.watchedSockets, listener.callerSocket);
    listener.callerActive = listener.stage = listener.repeatPending = 1;
    return caller;
}

TEST(Listener, EndingACallClosesItOnceAndShowsListeningStandByAlsoStopsItsTimerAndAskedTwiceDoesNothingMore)
{
    ListenerState listener;
    resetFakeNet();
    resetFakeFront();
    ASSERT_EQ(startListening(listener, kWindow, 23), 1);
    FakeCaller& ended = converse(listener);
    endConversation(listener, kWindow, listener.callerSocket);
    FakeCaller& stopped = converse(listener);
    stopListening(listener, kWindow);
    stopListening(listener, kWindow);
    showDisplayState(kWindow, DisplayStandingBy);
    showTrayState(kWindow, DisplayDetected);
    EXPECT_EQ(fakeFront().events, "status Listening\ntray 10000 Velmoranth(v1.9) - Listening\nstop 10005\n"
                                  "status Standing By\ntray 10001 Velmoranth(v1.9) - Standing By\n"
                                  "tray 10002 Velmoranth(v1.9) - Detected!\n");
    EXPECT_EQ(ended.closes + stopped.closes, 2);
    EXPECT_FALSE(fakeNet().listenerOpen);
    EXPECT_EQ(fakeNet().startups, 0);
    EXPECT_EQ(listener.callerSocket, kNoSocket);
    EXPECT_EQ(listener.listenSocket, kNoSocket);
    EXPECT_EQ(listener.watchedSockets.count, 0);
    EXPECT_EQ(listener.callerActive + listener.stage + listener.repeatPending, 0);
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

} // namespace
