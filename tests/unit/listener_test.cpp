#include "engine/listener.h"
#include "fakes/front_end_fake.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int mainWindow;
using Texts = std::vector<std::string>;

class Listener : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetFakeFront();
        balanceBefore = netStartupBalance();
    }
    void TearDown() override
    {
        stopListening(listener, &mainWindow);
        EXPECT_EQ(netStartupBalance(), balanceBefore);
    }

    // Listens on a port the system picks (65536 binds as port 0).
    int startOnFreePort()
    {
        if (!startListening(listener, &mainWindow, 65536))
            return 0;
        return netLocalPort(listener.listenSocket);
    }

    // Connects `client` to `port` and accepts it on the listening socket.
    SocketHandle connectAndAccept(int port)
    {
        EXPECT_TRUE(client.connectTo(port));
        SocketSet ready;
        for (int attempt = 0; attempt < 40; ++attempt) {
            if (netWaitReadable(listener.watchedSockets, listener.highestSocket, 50, ready) > 0)
                break;
        }
        SocketHandle caller = kNoSocket;
        PeerAddress peer;
        EXPECT_EQ(netAccept(listener.listenSocket, caller, peer), NetAccepted);
        char text[16];
        netAddressText(peer, text);
        EXPECT_STREQ(text, "127.0.0.1");
        return caller;
    }

    ListenerState listener;
    LoopbackClient client;
    int balanceBefore = 0;
};

std::vector<SocketHandle> handlesOf(const SocketSet& set)
{
    return std::vector<SocketHandle>(set.handles, set.handles + set.count);
}

TEST(SocketSetTest, KeepsInsertionOrderAndShiftsOnRemove)
{
    SocketSet set;
    socketSetClear(set);
    for (SocketHandle h : {7u, 3u, 9u, 3u})
        socketSetAdd(set, h);
    EXPECT_EQ(handlesOf(set), (std::vector<SocketHandle>{7, 3, 9}));
    socketSetRemove(set, 7);
    EXPECT_EQ(handlesOf(set), (std::vector<SocketHandle>{3, 9}));
    socketSetRemove(set, 42);
    EXPECT_EQ(set.count, 2);
    EXPECT_TRUE(socketSetContains(set, 9));
    EXPECT_FALSE(socketSetContains(set, 7));
}

TEST(SocketSetTest, HoldsAtMostSixtyFour)
{
    SocketSet set;
    socketSetClear(set);
    for (SocketHandle h = 0; h < 70; ++h)
        socketSetAdd(set, h);
    EXPECT_EQ(set.count, kMaxWatchedSockets);
    EXPECT_FALSE(socketSetContains(set, 64));
}

TEST(DisplayStates, StatusFirstThenTrayWithTheStateIconAndTip)
{
    resetFakeFront();
    showDisplayState(&mainWindow, DisplayDetected);
    showDisplayState(&mainWindow, DisplayStandingBy);
    showDisplayState(&mainWindow, DisplayListening);
    EXPECT_EQ(frontEventTexts(), (Texts{"status Detected!", "tray 10002 Velmoranth(v1.9) - Detected!",
                                        "status Standing By", "tray 10001 Velmoranth(v1.9) - Standing By",
                                        "status Listening", "tray 10000 Velmoranth(v1.9) - Listening"}));
}

TEST_F(Listener, AcceptsARealConnectionOnAFreePort)
{
    int port = startOnFreePort();
    ASSERT_GT(port, 0);
    EXPECT_EQ(listener.watchedSockets.count, 1);
    EXPECT_EQ(listener.watchedSockets.handles[0], listener.listenSocket);
    EXPECT_EQ(listener.highestSocket, listener.listenSocket);
    EXPECT_TRUE(fakeFront().events.empty());

    SocketHandle caller = connectAndAccept(port);
    ASSERT_NE(caller, kNoSocket);
    ASSERT_TRUE(netSend(caller, "hi", 2));
    EXPECT_EQ(client.receiveExactly(2), "hi");
    netClose(caller);
}

TEST_F(Listener, APortInUseFailsWithNoticeThreeAndLeavesNothingOpen)
{
    LoopbackListener other;
    int port = other.listenAnywhere();
    ASSERT_GT(port, 0);
    EXPECT_EQ(startListening(listener, &mainWindow, port), 0);
    EXPECT_EQ(shownNoticeCodes(), std::vector<int>{3});
    EXPECT_EQ(fakeFront().events[0].handle, &mainWindow);
    EXPECT_EQ(listener.listenSocket, kNoSocket);
    EXPECT_EQ(listener.socketsStarted, 0);
    EXPECT_EQ(netStartupBalance(), balanceBefore);
}

TEST_F(Listener, StartUpsAndCleanUpsStayPairedAcrossFailedAndGoodStarts)
{
    LoopbackListener other;
    int busy = other.listenAnywhere();
    for (int attempt = 0; attempt < 3; ++attempt)
        EXPECT_EQ(startListening(listener, &mainWindow, busy), 0);
    EXPECT_EQ(netStartupBalance(), balanceBefore);
    ASSERT_GT(startOnFreePort(), 0);
    EXPECT_EQ(netStartupBalance(), balanceBefore + 1);
    stopListening(listener, &mainWindow);
    EXPECT_EQ(netStartupBalance(), balanceBefore);
    stopListening(listener, &mainWindow);
    EXPECT_EQ(netStartupBalance(), balanceBefore);
}

TEST_F(Listener, EndConversationClosesTheCallerAndShowsListening)
{
    SocketHandle caller = connectAndAccept(startOnFreePort());
    // Not added to the watched set: it is still closed and the state reset.
    listener.callerSocket = caller;
    listener.callerActive = 1;
    listener.stage = 2;
    listener.repeatPending = 1;
    endConversation(listener, &mainWindow, caller);
    EXPECT_TRUE(client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(listener.stage, 0);
    EXPECT_EQ(listener.repeatPending, 0);
    EXPECT_EQ(listener.watchedSockets.count, 1);
    EXPECT_EQ(frontEventTexts(), (Texts{"status Listening", "tray 10000 Velmoranth(v1.9) - Listening"}));
}

TEST_F(Listener, StopWithACallerClosesItStopsItsTimerAndLeavesTheDisplay)
{
    int port = startOnFreePort();
    listener.callerSocket = connectAndAccept(port);
    socketSetAdd(listener.watchedSockets, listener.callerSocket);
    listener.callerActive = 1;
    listener.stage = 1;
    stopListening(listener, &mainWindow);
    EXPECT_TRUE(client.peerClosed());
    EXPECT_EQ(listener.listenSocket, kNoSocket);
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(listener.stage, 0);
    EXPECT_EQ(frontEventTexts(), Texts{"stop " + std::to_string(kDisconnectTimerId)});

    LoopbackClient late;
    EXPECT_FALSE(late.connectTo(port));
}

TEST_F(Listener, StopWithoutACallerClosesOnlyTheListener)
{
    int port = startOnFreePort();
    stopListening(listener, &mainWindow);
    EXPECT_TRUE(fakeFront().events.empty());
    EXPECT_EQ(listener.listenSocket, kNoSocket);
    LoopbackClient late;
    EXPECT_FALSE(late.connectTo(port));
}

TEST_F(Listener, StopWithoutEverListeningDoesNothing)
{
    stopListening(listener, &mainWindow);
    EXPECT_TRUE(fakeFront().events.empty());
    EXPECT_EQ(netStartupBalance(), balanceBefore);
}

TEST_F(Listener, ListenAgainOnTheSamePortRightAfterAServedCaller)
{
    int port = startOnFreePort();
    ASSERT_GT(port, 0);
    SocketHandle caller = connectAndAccept(port);
    // The decoy closes first, so its side of the connection waits in TIME_WAIT.
    netClose(caller);
    EXPECT_TRUE(client.peerClosed());
    stopListening(listener, &mainWindow);
    EXPECT_EQ(startListening(listener, &mainWindow, port), 1);
    EXPECT_TRUE(shownNoticeCodes().empty());
}

} // namespace
