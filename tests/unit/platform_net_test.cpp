// The platform's socket layer against real callers on 127.0.0.1: the build renames
// its functions here and in the layer (net* to platformNet*), while the core talks
// to the fake one. Each wait is for an event; its bound only counts on failure.
#include "engine/net.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

static bool readable(SocketHandle socket)
{
    SocketSet watched = {1, {socket}}, ready;
    return netWaitReadable(watched, socket, 10000, ready) == 1;
}

// The bytes one receive gives once `socket` is readable, or the result as a number.
static std::string receiveOnce(SocketHandle socket, int length = 64)
{
    char buffer[64];
    int received = readable(socket) ? netReceive(socket, buffer, length) : -100;
    return received > 0 ? std::string(buffer, static_cast<std::size_t>(received)) : std::to_string(received);
}

TEST(PlatformSockets, ListenAcceptTalkAndHangUpWithoutEverBlocking)
{
    ASSERT_EQ(netStartup(), 1);
    SocketHandle listener = netCreateStreamSocket(), rival = netCreateStreamSocket(), caller = kNoSocket;
    ASSERT_EQ(netBindAny(listener, 0x10000), 1);  // only the low 16 bits count: any free port
    ASSERT_EQ(netListen(listener, 10), 1);
    const int port = netLocalPort(listener);
    EXPECT_EQ(netBindAny(rival, port), 0) << "a port another socket listens on must not bind";
    PeerAddress peer{9, 9, {9, 9, 9, 9}, {9}};
    EXPECT_EQ(netAccept(listener, caller, peer), NetNothingToAccept);

    SocketHandle client = loopbackConnect(port);
    ASSERT_TRUE(readable(listener));
    ASSERT_EQ(netAccept(listener, caller, peer), NetAccepted);
    char address[16];
    netAddressText(peer, address);
    EXPECT_EQ(std::string(address) + " " + std::to_string(peer.family) + std::to_string(peer.zero[0]), "127.0.0.1 20");
    char byte;
    EXPECT_EQ(netReceive(caller, &byte, 1), NetReceiveWouldBlock);
    ASSERT_EQ(netSend(client, "hi\r", 3), 1);
    EXPECT_EQ(receiveOnce(caller, 1), "h");
    EXPECT_EQ(receiveOnce(caller), "i\r");
    EXPECT_EQ(netSend(caller, "", 0) + netSend(caller, "ok", 2), 2);
    EXPECT_EQ(receiveOnce(client), "ok");
    netClose(caller);  // the decoy hangs up first, so its side waits in TIME_WAIT
    EXPECT_EQ(receiveOnce(client), "0") << "a hang-up reads as 0";
    netClose(client);

    // A caller that never reads: sends fail once its buffers are full, whatever their size.
    client = loopbackConnect(port);
    ASSERT_TRUE(readable(listener));
    ASSERT_EQ(netAccept(listener, caller, peer), NetAccepted);
    const std::string chunk(65536, 'x');
    int sends = 0;
    while (sends < 100000 && netSend(caller, chunk.data(), static_cast<int>(chunk.size())))
        ++sends;
    EXPECT_LT(sends, 100000);
    for (SocketHandle socket : {caller, client, listener, rival})
        netClose(socket);
    listener = netCreateStreamSocket();  // Listen right after StandBy binds beside the TIME_WAIT
    EXPECT_EQ(netBindAny(listener, port), 1);
    netClose(listener);
    netCleanup();
    EXPECT_EQ(netStartupBalance(), 0);
}

// Alerts: a name resolved on a worker, a connect and a datagram that never wait, a refusal told apart.
TEST(PlatformSockets, ResolveConnectAndSendDatagramsWithoutWaiting)
{
    ASSERT_EQ(netStartup(), 1);
    std::uint8_t loopback[4] = {}, named[4] = {};
    const int literal = netResolveStart("127.0.0.1"), request = netResolveStart("localhost");
    EXPECT_EQ(netResolvePoll(literal, loopback) * 10 + netResolvePoll(literal, loopback), 12)
        << "a dotted address resolves at once, and the answer ends the request";
    NetResolveState state = NetResolvePending;
    for (int polls = 0; polls < 10000 && (state = netResolvePoll(request, named)) == NetResolvePending; ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(std::to_string(state) + std::to_string(named[0]) + std::to_string(loopback[3]), "11271");

    SocketHandle listener = netCreateStreamSocket();
    ASSERT_EQ(netBindAny(listener, 0) + netListen(listener, 4), 2);
    const int port = netLocalPort(listener);
    NetError error = NetErrorOther;
    SocketHandle client = netConnectStart(loopback, port, error);
    ASSERT_EQ(netConnectPoll(client, 10000, error) + error * 10, NetConnected);
    EXPECT_EQ(netSendSome(client, "5 <13>1", 7), 7);
    for (SocketHandle socket : {client, listener})
        netClose(socket);
    client = netConnectStart(loopback, port, error);  // the port now refuses, at once or later
    EXPECT_EQ(client == kNoSocket ? NetConnectFailed : netConnectPoll(client, 10000, error), NetConnectFailed);
    EXPECT_EQ(error, NetErrorRefused);
    netClose(client);

    SocketHandle receiver = netCreateDatagramSocket(), sender = netCreateDatagramSocket();
    ASSERT_EQ(netBindAny(receiver, 0), 1);
    EXPECT_EQ(netSendTo(sender, loopback, netLocalPort(receiver), "<13>1 x", 7), 1);
    EXPECT_EQ(receiveOnce(receiver), "<13>1 x");
    for (SocketHandle socket : {receiver, sender})
        netClose(socket);
    netCleanup();
}
