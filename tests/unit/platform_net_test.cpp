// The platform's socket layer against real callers on 127.0.0.1. Every wait is
// for an event; its bound only matters when the layer is broken.
#include "support/loopback.h"
#include "support/platform_net.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>

namespace {

const int kEventWaitMs = 10000;

int readableAmong(std::initializer_list<SocketHandle> sockets, SocketSet& ready)
{
    SocketSet watched;
    socketSetClear(watched);
    for (SocketHandle socket : sockets)
        socketSetAdd(watched, socket);
    return netWaitReadable(watched, std::max(sockets), kEventWaitMs, ready);
}

std::string receiveAll(SocketHandle socket, int length)
{
    char buffer[64];
    SocketSet ready;
    if (readableAmong({socket}, ready) != 1)
        return "<nothing readable>";
    int received = netReceive(socket, buffer, length);
    return received > 0 ? std::string(buffer, static_cast<std::size_t>(received)) : std::to_string(received);
}

SocketHandle acceptOne(SocketHandle listener)
{
    SocketSet ready;
    SocketHandle caller = kNoSocket;
    PeerAddress peer{};
    char address[16] = "";
    EXPECT_EQ(readableAmong({listener}, ready), 1);
    EXPECT_EQ(netAccept(listener, caller, peer), NetAccepted);
    netAddressText(peer, address);
    EXPECT_STREQ(address, "127.0.0.1");
    EXPECT_EQ(peer.family, 2);
    return caller;
}

TEST(PlatformSockets, ListenAcceptTalkAndHangUpWithoutEverBlocking)
{
    ASSERT_EQ(netStartup(), 1);
    const int balance = netStartupBalance();
    SocketHandle listener = netCreateStreamSocket();
    ASSERT_NE(listener, kNoSocket);
    ASSERT_EQ(netBindAny(listener, 0x10000), 1);  // only the low 16 bits count: any free port
    ASSERT_EQ(netListen(listener, 10), 1);
    const int port = netLocalPort(listener);
    ASSERT_GT(port, 0);

    SocketHandle caller = kNoSocket;
    PeerAddress peer{};
    EXPECT_EQ(netAccept(listener, caller, peer), NetNothingToAccept);
    SocketHandle rival = netCreateStreamSocket();
    EXPECT_EQ(netBindAny(rival, port), 0) << "a port another socket listens on must not bind";
    netClose(rival);

    SocketHandle client = loopbackConnect(port);
    caller = acceptOne(listener);
    char byte;
    EXPECT_EQ(netReceive(caller, &byte, 1), NetReceiveWouldBlock);
    ASSERT_EQ(netSend(client, "hi\r", 3), 1);
    EXPECT_EQ(receiveAll(caller, 1), "h");
    EXPECT_EQ(receiveAll(caller, 8), "i\r");
    EXPECT_EQ(netSend(caller, "", 0), 1);
    EXPECT_EQ(netSend(caller, "ok", 2), 1);
    EXPECT_EQ(receiveAll(client, 8), "ok");
    netClose(caller);  // the decoy hangs up first, so its side waits in TIME_WAIT
    EXPECT_EQ(receiveAll(client, 8), "0") << "a hang-up reads as 0";
    netClose(client);

    // A caller that never reads: sends fail once its buffers are full, whatever their size.
    SocketHandle silent = loopbackConnect(port);
    SocketHandle flooded = acceptOne(listener);
    const std::string chunk(65536, 'x');
    int sends = 0;
    while (sends < 100000 && netSend(flooded, chunk.data(), static_cast<int>(chunk.size())))
        ++sends;
    EXPECT_LT(sends, 100000);
    netClose(flooded);
    netClose(silent);
    netClose(listener);  // Listen right after StandBy must bind beside the TIME_WAIT
    listener = netCreateStreamSocket();
    EXPECT_EQ(netBindAny(listener, port), 1);
    netClose(listener);
    netCleanup();
    EXPECT_EQ(netStartupBalance(), balance - 1);
}

} // namespace
