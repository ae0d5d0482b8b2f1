// The platform's socket layer against real callers on 127.0.0.1. The build
// renames its functions here and in the layer (net* to platformNet*), so these
// calls reach the platform's layer while the core talks to the fake one. Every
// wait is for an event; its bound only matters when the layer is broken.
#include "engine/net.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool readable(SocketHandle socket)
{
    SocketSet watched, ready;
    socketSetClear(watched);
    socketSetAdd(watched, socket);
    return netWaitReadable(watched, socket, 10000, ready) == 1;
}

// The bytes one receive gives once `socket` is readable, or its result code.
std::string receiveOnce(SocketHandle socket, int length)
{
    char buffer[64];
    int received = readable(socket) ? netReceive(socket, buffer, length) : -100;
    return received > 0 ? std::string(buffer, static_cast<std::size_t>(received)) : std::to_string(received);
}

SocketHandle acceptOne(SocketHandle listener)
{
    SocketHandle caller = kNoSocket;
    PeerAddress peer{};
    char address[16] = "";
    EXPECT_TRUE(readable(listener));
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
    EXPECT_EQ(receiveOnce(caller, 1), "h");
    EXPECT_EQ(receiveOnce(caller, 8), "i\r");
    EXPECT_EQ(netSend(caller, "", 0), 1);
    EXPECT_EQ(netSend(caller, "ok", 2), 1);
    EXPECT_EQ(receiveOnce(client, 8), "ok");
    netClose(caller);  // the decoy hangs up first, so its side waits in TIME_WAIT
    EXPECT_EQ(receiveOnce(client, 8), "0") << "a hang-up reads as 0";
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
