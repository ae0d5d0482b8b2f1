// The platform's socket layer on 127.0.0.1, its own calls on both ends: the build renames its functions here and in
// the layer (net* to platformNet*), while the core talks to the fake one. Each wait is for an event; its bound only
// counts on failure.
#include "platform/name_lookup.h"
#include "platform/net.h"
#include "platform/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {
bool byHand = false;  // workers wait to be run by the test
WorkerSlot* waiting = nullptr;
} // namespace

static bool readable(SocketHandle socket)
{
    SocketSet watched = {1, {socket}}, ready;
    return netWaitReadable(watched, socket, 10000, ready) == 1;
}

// The bytes one receive gives once `socket` is readable, or the result as a number.
static std::string receiveOnce(SocketHandle socket, int length = 64)
{
    char buffer[64];
    const int received = readable(socket) ? netReceive(socket, buffer, length) : -9;
    return received > 0 ? std::string(buffer, static_cast<std::size_t>(received)) : std::to_string(received);
}

TEST(PlatformSockets, ResolveListenConnectTalkHangUpRefuseAndSendDatagramsWithoutWaiting)
{
    byHand = false;
    ASSERT_EQ(netStartup(), 1);
    std::uint8_t loopback[4] = {}, named[4] = {};
    ASSERT_EQ(netResolveStart(1, "127.0.0.1") + netResolveStart(0, "localhost"), 2);
    const int answer = netResolvePoll(1, loopback);
    EXPECT_EQ(answer * 10 + netResolvePoll(1, loopback), 12)
        << "a dotted address resolves at once, and the answer ends the request";
    NetResolveState state = NetResolvePending;
    for (int polls = 0; polls < 10000 && (state = netResolvePoll(0, named)) == NetResolvePending; ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the worker's answer
    EXPECT_EQ(std::to_string(state) + std::to_string(named[0]) + std::to_string(loopback[3]), "11271");

    const SocketHandle listener = netCreateStreamSocket();
    SocketHandle caller = kNoSocket;
    ASSERT_TRUE(netBindAny(listener, 0x10000) && netListen(listener, 4));  // only the low 16 bits count: any port
    const int port = netLocalPort(listener);
    PeerAddress peer{9, 9, {9, 9, 9, 9}, {9}};
    EXPECT_EQ(netAccept(listener, caller, peer), NetNothingToAccept);
    NetError error = NetErrorOther;
    const SocketHandle client = netConnectStart(loopback, port, error);
    ASSERT_EQ(netConnectPoll(client, 10000, error) + error * 10, NetConnected);
    ASSERT_TRUE(readable(listener));
    ASSERT_EQ(netAccept(listener, caller, peer), NetAccepted);
    char address[16];
    netAddressText(peer, address);
    EXPECT_EQ(std::string(address) + " " + std::to_string(peer.family) + std::to_string(peer.zero[0]), "127.0.0.1 20");
    EXPECT_EQ(netReceive(caller, address, 1), NetReceiveWouldBlock);
    EXPECT_EQ(netSendSome(client, "hi\r", 3), 3);
    const std::string first = receiveOnce(caller, 1);
    EXPECT_EQ(first + receiveOnce(caller), "hi\r");
    EXPECT_EQ(netSend(caller, "", 0) + netSend(caller, "ok", 2), 2);
    EXPECT_EQ(receiveOnce(client), "ok");
    EXPECT_EQ(netShutdownSend(client), 1);
    EXPECT_EQ(receiveOnce(caller) + std::to_string(netSend(caller, "ok", 2)), "01") << "a half-close reads as 0";
    EXPECT_EQ(receiveOnce(client), "ok");
    netClose(caller);
    EXPECT_EQ(receiveOnce(client), "0") << "a hang-up reads as 0";
    netClose(client), netClose(listener);
    const SocketHandle refused = netConnectStart(loopback, port, error);  // at once or later
    EXPECT_EQ(refused == kNoSocket ? NetConnectFailed : netConnectPoll(refused, 10000, error), NetConnectFailed);
    EXPECT_EQ(error, NetErrorRefused);
    netClose(refused);

    SocketHandle receiver = netCreateDatagramSocket(), sender = netCreateDatagramSocket();
    ASSERT_EQ(netBindAny(receiver, 0), 1);
    EXPECT_EQ(netSendTo(sender, loopback, netLocalPort(receiver), "<13>1 x", 7), 1);
    EXPECT_EQ(receiveOnce(receiver), "<13>1 x");
    netClose(receiver), netClose(sender);
    netCleanup();
    EXPECT_EQ(netStartupBalance(), 0);
}

// The tests' own worker threads: real ones, or one the test runs by hand.
int workerThreadStart(WorkerSlot& slot)
{
    if (byHand)
        return waiting = &slot, 1;
    std::thread([&slot] { slot.work(slot.argument); }).detach();
    return 1;
}

// The bookkeeping with the worker run by hand: a slot is busy until its worker ends, even abandoned.
TEST(PlatformSockets, AResolveSlotHoldsOneLookUpAtATimeEvenAnAbandonedOne)
{
    byHand = true;
    ASSERT_EQ(netStartup(), 1);
    std::uint8_t address[4] = {};
    std::string seen;
    const auto step = [&](int result) { seen += std::to_string(result); };
    const auto runWorker = [] { waiting->work(waiting->argument); };
    step(netResolveStart(3, "localhost"));
    step(netResolveStart(3, "localhost"));
    step(netResolvePoll(3, address));
    netResolveCancel(3);
    step(netResolveStart(3, "localhost"));  // the abandoned worker still runs
    runWorker();
    step(netResolveStart(3, "localhost"));
    step(netResolvePoll(3, address));
    runWorker();
    step(netResolvePoll(3, address));
    step(address[0]);
    step(netResolvePoll(3, address));
    EXPECT_EQ(seen, "10001011272");
    EXPECT_EQ(netResolveStart(8, "x") + netResolveStart(-1, "x") + netResolveStart(2, std::string(256, 'n').c_str()), 0);
    byHand = false;
    netCleanup();
}
