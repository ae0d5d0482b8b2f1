#pragma once
// The thin socket layer: Winsock 1.1 on Windows (win32/net_win32.cpp), BSD
// sockets elsewhere (posix/net_posix.cpp).
#include "platform/socket_set.h"

#include <cstdint>

// An IPv4 socket address as accepting reports it (16 bytes).
struct PeerAddress {
    std::uint16_t family;
    std::uint16_t portNetworkOrder;
    std::uint8_t address[4];
    std::uint8_t zero[8];
};
static_assert(sizeof(PeerAddress) == 16, "an IPv4 socket address is 16 bytes");

// Start-up asks for version 1.1; 1 on success. Each success must be matched by
// one netCleanup. On POSIX both succeed and do nothing but count.
int netStartup();
void netCleanup();
// Start-ups not yet matched by a clean-up.
int netStartupBalance();

// IPv4 stream socket, default protocol; kNoSocket on failure.
SocketHandle netCreateStreamSocket();
// Binds to 0.0.0.0 on the low 16 bits of `port`. 1 on success.
int netBindAny(SocketHandle socket, int port);
// Why binding a port failed: another program holds it, or the system will
// not let this one have it (a reserved or privileged port, a firewall's refusal).
enum NetBindOutcome { NetBound, NetPortInUse, NetPortRefused };
// Binds to 0.0.0.0 on `port` (1 to 65535) and says why not.
NetBindOutcome netBindPort(SocketHandle socket, int port);
// Listens with the given backlog and makes the socket non-blocking. 1 on success.
int netListen(SocketHandle socket, int backlog);
// The local port a socket is bound to, 0 if unknown.
int netLocalPort(SocketHandle socket);

enum NetAcceptResult { NetAccepted, NetNothingToAccept, NetAcceptFailed, NetCallerGone };
// Accepts one caller as a non-blocking socket. NetNothingToAccept when none
// waits; NetCallerGone when the first that waited hung up with a reset before
// it was taken (a connect scan does so at once): it is gone, and its
// address with it, and others may wait behind it.
NetAcceptResult netAccept(SocketHandle listener, SocketHandle& caller, PeerAddress& peer);

// Waits at most `timeoutMs` for any socket of `watched` to become readable.
// `ready` receives the readable ones. Returns their count, or -1 when the wait
// fails. `highest` is the highest handle ever watched (the select count).
int netWaitReadable(const SocketSet& watched, SocketHandle highest, int timeoutMs, SocketSet& ready);

enum { NetReceiveWouldBlock = -2, NetReceiveFailed = -1 };
// > 0 bytes received, 0 the peer closed, NetReceiveFailed, NetReceiveWouldBlock
// when nothing is available now.
int netReceive(SocketHandle socket, char* buffer, int length);

// Sends `length` bytes without waiting. 1 when all of them were taken at once
// (a length of 0 always succeeds), 0 otherwise.
int netSend(SocketHandle socket, const char* buffer, int length);

void netClose(SocketHandle socket);

// The dotted-decimal text of the peer's IPv4 address.
void netAddressText(const PeerAddress& peer, char text[16]);

// Why a connect or a send failed.
enum NetError { NetErrorNone, NetErrorRefused, NetErrorTimedOut, NetErrorUnreachable, NetErrorReset, NetErrorOther };

// IPv4 datagram socket, non-blocking; kNoSocket on failure.
SocketHandle netCreateDatagramSocket();

// A new non-blocking IPv4 stream socket that has begun connecting to
// `address`:`port`. kNoSocket, with `error` set, when no socket could be had
// (NetErrorOther) or the connect failed at once.
SocketHandle netConnectStart(const std::uint8_t address[4], int port, NetError& error);

enum NetConnectState { NetConnectPending, NetConnected, NetConnectFailed };
// The outcome of the connect, waiting for it at most `timeoutMs` (0: not at
// all); `error` says why it failed.
NetConnectState netConnectPoll(SocketHandle socket, int timeoutMs, NetError& error);

enum { NetSendFailed = -1 };
// Sends what the socket takes now: the number of bytes taken (0 when its
// buffers are full), or NetSendFailed.
int netSendSome(SocketHandle socket, const char* buffer, int length);

// Sends one datagram to `address`:`port` without waiting. 1 when it was taken whole.
int netSendTo(SocketHandle socket, const std::uint8_t address[4], int port, const char* buffer, int length);

// Ends the sending half of a connected stream socket: the peer reads end of
// stream after every byte sent before. 1 on success.
int netShutdownSend(SocketHandle socket);

// Our end of a TCP connection as the system's TCP table shows it, found by our
// local port and the peer's address and port: a second witness to the peer's
// close, for a system that reports a reset as a plain end of stream.
enum NetTcpState { NetTcpTimeWait, NetTcpClosing, NetTcpCloseWait, NetTcpOther };  // Other: any other, or gone
NetTcpState netTcpState(int localPort, const std::uint8_t peerAddress[4], int peerPort);
