// Winsock 1.1. No SO_REUSEADDR here: on Windows it would let a second program
// take over a port this one is bound to.
#include "platform/net.h"
#include "platform/name_lookup.h"

#include <winsock.h>
#include <iphlpapi.h>

#include <cstring>

namespace {

int startupBalance = 0;

SOCKET toSocket(SocketHandle socket)
{
    return static_cast<SOCKET>(socket);
}

int makeNonBlocking(SOCKET socket)
{
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

NetError errorKind(int error)
{
    switch (error) {
    case WSAECONNREFUSED: return NetErrorRefused;
    case WSAETIMEDOUT: return NetErrorTimedOut;
    case WSAENETUNREACH: case WSAEHOSTUNREACH: case WSAENETDOWN: case WSAEADDRNOTAVAIL: return NetErrorUnreachable;
    case WSAECONNRESET: case WSAECONNABORTED: case WSAENETRESET: return NetErrorReset;
    default: return NetErrorOther;
    }
}

sockaddr_in socketAddress(const std::uint8_t address[4], int port)
{
    sockaddr_in result;
    std::memset(&result, 0, sizeof result);
    result.sin_family = AF_INET;
    std::memcpy(&result.sin_addr.s_addr, address, 4);
    result.sin_port = htons(static_cast<u_short>(port & 0xFFFF));
    return result;
}

// Our connection in the TCP table: our local port, the peer's address and port.
NetTcpState stateIn(const MIB_TCPTABLE& table, int localPort, const std::uint8_t peerAddress[4], int peerPort)
{
    const sockaddr_in peer = socketAddress(peerAddress, peerPort);
    for (DWORD i = 0; i < table.dwNumEntries; ++i) {
        const MIB_TCPROW& row = table.table[i];
        // A port is in network order in the low 16 bits; the others may hold anything.
        if ((row.dwLocalPort & 0xFFFF) != htons(static_cast<u_short>(localPort)) ||
            (row.dwRemotePort & 0xFFFF) != peer.sin_port || row.dwRemoteAddr != peer.sin_addr.s_addr)
            continue;
        return row.dwState == MIB_TCP_STATE_TIME_WAIT     ? NetTcpTimeWait
               : row.dwState == MIB_TCP_STATE_CLOSING    ? NetTcpClosing
               : row.dwState == MIB_TCP_STATE_CLOSE_WAIT ? NetTcpCloseWait
                                                         : NetTcpOther;
    }
    return NetTcpOther;
}

} // namespace

int netStartup()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 0;
    ++startupBalance;
    return 1;
}

void netCleanup()
{
    WSACleanup();
    --startupBalance;
}

int netStartupBalance()
{
    return startupBalance;
}

SocketHandle netCreateStreamSocket()
{
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET)
        return kNoSocket;
    return static_cast<SocketHandle>(socket);
}

int netBindAny(SocketHandle socket, int port)
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<u_short>(port & 0xFFFF));
    return bind(toSocket(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

NetBindOutcome netBindPort(SocketHandle socket, int port)
{
    if (netBindAny(socket, port))
        return NetBound;
    return WSAGetLastError() == WSAEADDRINUSE ? NetPortInUse : NetPortRefused;
}

int netListen(SocketHandle socket, int backlog)
{
    return listen(toSocket(socket), backlog) == 0 && makeNonBlocking(toSocket(socket));
}

int netLocalPort(SocketHandle socket)
{
    sockaddr_in address;
    int length = sizeof address;
    if (getsockname(toSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

NetAcceptResult netAccept(SocketHandle listener, SocketHandle& caller, PeerAddress& peer)
{
    sockaddr_in address;
    int length = sizeof address;
    std::memset(&address, 0, sizeof address);
    SOCKET socket = accept(toSocket(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (socket == INVALID_SOCKET) {
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK)
            return NetNothingToAccept;
        // A caller reset before it was taken: WSAECONNRESET on Windows, WSAENOTCONN on Wine (no address to read).
        return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENOTCONN ? NetCallerGone
                                                                                           : NetAcceptFailed;
    }
    // Accepted sockets inherit non-blocking mode; set it anyway, it costs nothing.
    makeNonBlocking(socket);
    std::memset(&peer, 0, sizeof peer);
    peer.family = static_cast<std::uint16_t>(address.sin_family);
    peer.portNetworkOrder = address.sin_port;
    std::memcpy(peer.address, &address.sin_addr.s_addr, sizeof peer.address);
    caller = static_cast<SocketHandle>(socket);
    return NetAccepted;
}

int netWaitReadable(const SocketSet& watched, SocketHandle highest, int timeoutMs, SocketSet& ready)
{
    fd_set readable;
    FD_ZERO(&readable);
    for (int i = 0; i < watched.count && i < FD_SETSIZE; ++i)
        FD_SET(toSocket(watched.handles[i]), &readable);
    timeval timeout;
    timeout.tv_sec = timeoutMs / 1000;
    timeout.tv_usec = (timeoutMs % 1000) * 1000;
    int result = select(static_cast<int>(highest + 1), &readable, nullptr, nullptr, &timeout);
    socketSetClear(ready);
    if (result == SOCKET_ERROR)
        return -1;
    for (u_int i = 0; i < readable.fd_count; ++i)
        socketSetAdd(ready, static_cast<SocketHandle>(readable.fd_array[i]));
    return ready.count;
}

int netReceive(SocketHandle socket, char* buffer, int length)
{
    int received = recv(toSocket(socket), buffer, length, 0);
    if (received == SOCKET_ERROR)
        return WSAGetLastError() == WSAEWOULDBLOCK ? NetReceiveWouldBlock : NetReceiveFailed;
    return received;
}

int netSend(SocketHandle socket, const char* buffer, int length)
{
    if (length == 0)
        return 1;
    return send(toSocket(socket), buffer, length, 0) == length;
}

void netClose(SocketHandle socket)
{
    if (socket != kNoSocket)
        closesocket(toSocket(socket));
}

void netAddressText(const PeerAddress& peer, char text[16])
{
    in_addr address;
    std::memcpy(&address.s_addr, peer.address, sizeof peer.address);
    const char* dotted = inet_ntoa(address);
    if (!dotted)
        dotted = "";
    std::strncpy(text, dotted, 15);
    text[15] = '\0';
}

SocketHandle netCreateDatagramSocket()
{
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket != INVALID_SOCKET && makeNonBlocking(socket))
        return static_cast<SocketHandle>(socket);
    if (socket != INVALID_SOCKET)
        closesocket(socket);
    return kNoSocket;
}

SocketHandle netConnectStart(const std::uint8_t address[4], int port, NetError& error)
{
    error = NetErrorOther;
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in target = socketAddress(address, port);
    if (makeNonBlocking(socket) &&
        (connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0 ||
         WSAGetLastError() == WSAEWOULDBLOCK)) {
        error = NetErrorNone;
        return static_cast<SocketHandle>(socket);
    }
    error = errorKind(WSAGetLastError());
    closesocket(socket);
    return kNoSocket;
}

// A connect that succeeded makes the socket writable; one that failed, exceptional.
NetConnectState netConnectPoll(SocketHandle socket, int timeoutMs, NetError& error)
{
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(toSocket(socket), &writable);
    FD_SET(toSocket(socket), &failed);
    timeval timeout;
    timeout.tv_sec = timeoutMs / 1000;
    timeout.tv_usec = (timeoutMs % 1000) * 1000;
    error = NetErrorNone;
    int result = select(0, nullptr, &writable, &failed, &timeout);
    if (result == 0)
        return NetConnectPending;
    if (result != SOCKET_ERROR && !FD_ISSET(toSocket(socket), &failed))
        return NetConnected;
    int failure = 0;
    int length = sizeof failure;
    if (result == SOCKET_ERROR ||
        getsockopt(toSocket(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) != 0)
        failure = WSAGetLastError();
    error = failure ? errorKind(failure) : NetErrorOther;
    return NetConnectFailed;
}

int netSendSome(SocketHandle socket, const char* buffer, int length)
{
    if (length == 0)
        return 0;
    int sent = send(toSocket(socket), buffer, length, 0);
    if (sent == SOCKET_ERROR)
        return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : NetSendFailed;
    return sent;
}

int netSendTo(SocketHandle socket, const std::uint8_t address[4], int port, const char* buffer, int length)
{
    sockaddr_in target = socketAddress(address, port);
    return sendto(toSocket(socket), buffer, length, 0, reinterpret_cast<sockaddr*>(&target), sizeof target) ==
           length;
}

int netShutdownSend(SocketHandle socket)
{
    return shutdown(toSocket(socket), 1) == 0;  // SD_SEND
}

// Wine reports a reset after our half-close as a plain end of stream; its TCP
// table, like Windows', keeps our end in TIME_WAIT (or CLOSE_WAIT, when the
// peer closed first) only after the peer's own close. The table comes whole
// (no call looks up one connection) and a busy system's holds tens of
// thousands of rows: it is read into a buffer of the size it last asked for,
// and a larger one when it grew.
NetTcpState netTcpState(int localPort, const std::uint8_t peerAddress[4], int peerPort)
{
    static ULONG asked = 64 * 1024;
    for (int tries = 0; tries < 3; ++tries) {
        ULONG size = asked + asked / 4;  // room for the rows that come meanwhile
        MIB_TCPTABLE* table = static_cast<MIB_TCPTABLE*>(HeapAlloc(GetProcessHeap(), 0, size));
        if (!table)
            return NetTcpOther;
        const DWORD result = GetTcpTable(table, &size, FALSE);
        const NetTcpState state = result == NO_ERROR ? stateIn(*table, localPort, peerAddress, peerPort) : NetTcpOther;
        HeapFree(GetProcessHeap(), 0, table);
        if (result != ERROR_INSUFFICIENT_BUFFER)
            return state;
        asked = size;
    }
    return NetTcpOther;
}

// Runs on a worker thread: Winsock keeps gethostbyname's result per thread.
int netLookUpBlocking(const char* name, std::uint8_t address[4])
{
    const hostent* host = gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0])
        return 0;
    std::memcpy(address, host->h_addr_list[0], 4);
    return 1;
}
