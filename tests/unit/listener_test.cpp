#include "engine/listener.h"
#include "fakes/front_end_fake.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int mainWindow;

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
    const struct {
        DisplayState state;
        const char* text;
        int icon;
    } kStates[] = {
        {DisplayDetected, "Detected!", 10002},
        {DisplayStandingBy, "Standing By", 10001},
        {DisplayListening, "Listening", 10000},
    };
    resetFakeFront();
    for (const auto& s : kStates)
        showDisplayState(&mainWindow, s.state);
    const std::vector<FrontEvent>& events = fakeFront().events;
    ASSERT_EQ(events.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events[2 * i].kind, FrontEvent::Status);
        EXPECT_EQ(events[2 * i].text, kStates[i].text);
        EXPECT_EQ(events[2 * i + 1].kind, FrontEvent::Tray);
        EXPECT_EQ(events[2 * i + 1].number, kStates[i].icon);
        EXPECT_EQ(events[2 * i + 1].text, std::string("Velmoranth(v1.9) - ") + kStates[i].text);
    }
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
    EXPECT_EQ(lastStatusText(), "Listening");
    std::vector<FrontEvent> trays = frontEventsOf(FrontEvent::Tray);
    ASSERT_EQ(trays.size(), 1u);
    EXPECT_EQ(trays[0].number, 10000);
    EXPECT_EQ(trays[0].text, "Velmoranth(v1.9) - Listening");
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
    ASSERT_EQ(fakeFront().events.size(), 1u);
    EXPECT_EQ(fakeFront().events[0].kind, FrontEvent::StopTimer);
    EXPECT_EQ(fakeFront().events[0].number, kDisconnectTimerId);

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
