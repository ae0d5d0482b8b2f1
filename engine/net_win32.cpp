// Winsock 1.1. No SO_REUSEADDR here: on Windows it would let a second program
// take over a port this one is bound to.
#include "engine/net.h"

#include <winsock.h>

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
        return error == WSAEWOULDBLOCK || error == WSAECONNRESET ? NetNothingToAccept : NetAcceptFailed;
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
