// BSD sockets. Start-up and clean-up have nothing to do here but are counted,
// so that their pairing is checked on every platform.
#include "platform/net.h"
#include "platform/name_lookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int startupBalance = 0;

int toFd(SocketHandle socket)
{
    return static_cast<int>(socket);
}

int makeNonBlocking(int fd)
{
    int flags = fcntl(fd, F_GETFL, 0);
    return flags != -1 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) != -1;
}

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

NetError errorKind(int error)
{
    switch (error) {
    case ECONNREFUSED: return NetErrorRefused;
    case ETIMEDOUT: return NetErrorTimedOut;
    case ENETUNREACH: case EHOSTUNREACH: case ENETDOWN: case EADDRNOTAVAIL: return NetErrorUnreachable;
    case ECONNRESET: case ECONNABORTED: case EPIPE: return NetErrorReset;
    default: return NetErrorOther;
    }
}

sockaddr_in socketAddress(const std::uint8_t address[4], int port)
{
    sockaddr_in result;
    std::memset(&result, 0, sizeof result);
    result.sin_family = AF_INET;
    std::memcpy(&result.sin_addr.s_addr, address, 4);
    result.sin_port = htons(static_cast<unsigned short>(port & 0xFFFF));
    return result;
}

} // namespace

int netStartup()
{
    ++startupBalance;
    return 1;
}

void netCleanup()
{
    --startupBalance;
}

int netStartupBalance()
{
    return startupBalance;
}

SocketHandle netCreateStreamSocket()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return kNoSocket;
    return static_cast<SocketHandle>(fd);
}

int netBindAny(SocketHandle socket, int port)
{
    // Lets a Listen soon after StandBy bind while old connections sit in
    // TIME_WAIT; a port another program listens on still fails to bind.
    int on = 1;
    setsockopt(toFd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<unsigned short>(port & 0xFFFF));
    return bind(toFd(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

NetBindOutcome netBindPort(SocketHandle socket, int port)
{
    if (netBindAny(socket, port))
        return NetBound;
    return errno == EADDRINUSE ? NetPortInUse : NetPortRefused;
}

int netListen(SocketHandle socket, int backlog)
{
    return listen(toFd(socket), backlog) == 0 && makeNonBlocking(toFd(socket));
}

int netLocalPort(SocketHandle socket)
{
    sockaddr_in address;
    socklen_t length = sizeof address;
    if (getsockname(toFd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

NetAcceptResult netAccept(SocketHandle listener, SocketHandle& caller, PeerAddress& peer)
{
    sockaddr_in address;
    socklen_t length = sizeof address;
    std::memset(&address, 0, sizeof address);
    int fd = accept(toFd(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (fd < 0)
        return wouldBlock(errno) ? NetNothingToAccept : errno == ECONNABORTED ? NetCallerGone : NetAcceptFailed;
    if (!makeNonBlocking(fd)) {
        close(fd);
        return NetAcceptFailed;
    }
    std::memset(&peer, 0, sizeof peer);
    peer.family = static_cast<std::uint16_t>(address.sin_family);
    peer.portNetworkOrder = address.sin_port;
    std::memcpy(peer.address, &address.sin_addr.s_addr, sizeof peer.address);
    caller = static_cast<SocketHandle>(fd);
    return NetAccepted;
}

int netWaitReadable(const SocketSet& watched, SocketHandle /*highest*/, int timeoutMs, SocketSet& ready)
{
    // poll() rather than select(): no FD_SETSIZE limit on descriptor values.
    pollfd fds[kMaxWatchedSockets];
    for (int i = 0; i < watched.count; ++i) {
        fds[i].fd = toFd(watched.handles[i]);
        fds[i].events = POLLIN;
        fds[i].revents = 0;
    }
    int result = poll(fds, static_cast<nfds_t>(watched.count), timeoutMs);
    socketSetClear(ready);
    if (result < 0)
        return -1;
    for (int i = 0; i < watched.count; ++i) {
        // A hang-up or error reads as readable: the receive then reports it.
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            socketSetAdd(ready, watched.handles[i]);
    }
    return ready.count;
}

int netReceive(SocketHandle socket, char* buffer, int length)
{
    ssize_t received = recv(toFd(socket), buffer, static_cast<size_t>(length), 0);
    if (received < 0)
        return wouldBlock(errno) ? NetReceiveWouldBlock : NetReceiveFailed;
    return static_cast<int>(received);
}

int netSend(SocketHandle socket, const char* buffer, int length)
{
    if (length == 0)
        return 1;
    // A caller that has gone must not raise SIGPIPE and end the program.
    ssize_t sent = send(toFd(socket), buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    return sent == length;
}

void netClose(SocketHandle socket)
{
    if (socket != kNoSocket)
        close(toFd(socket));
}

void netAddressText(const PeerAddress& peer, char text[16])
{
    in_addr address;
    std::memcpy(&address.s_addr, peer.address, sizeof peer.address);
    if (!inet_ntop(AF_INET, &address, text, 16))
        text[0] = '\0';
}

SocketHandle netCreateDatagramSocket()
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd >= 0 && makeNonBlocking(fd))
        return static_cast<SocketHandle>(fd);
    if (fd >= 0)
        close(fd);
    return kNoSocket;
}

SocketHandle netConnectStart(const std::uint8_t address[4], int port, NetError& error)
{
    error = NetErrorOther;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return kNoSocket;
    sockaddr_in target = socketAddress(address, port);
    if (makeNonBlocking(fd) &&
        (connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0 || errno == EINPROGRESS)) {
        error = NetErrorNone;
        return static_cast<SocketHandle>(fd);
    }
    error = errorKind(errno);
    close(fd);
    return kNoSocket;
}

NetConnectState netConnectPoll(SocketHandle socket, int timeoutMs, NetError& error)
{
    pollfd fd = {toFd(socket), POLLOUT, 0};
    error = NetErrorNone;
    int result = poll(&fd, 1, timeoutMs);
    if (result == 0)
        return NetConnectPending;
    int failure = 0;
    socklen_t length = sizeof failure;
    if (result < 0 || getsockopt(fd.fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
        failure = errno;
    if (failure == 0 && (fd.revents & POLLOUT))
        return NetConnected;
    error = failure ? errorKind(failure) : NetErrorOther;
    return NetConnectFailed;
}

int netSendSome(SocketHandle socket, const char* buffer, int length)
{
    if (length == 0)
        return 0;
    ssize_t sent = send(toFd(socket), buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent < 0)
        return wouldBlock(errno) ? 0 : NetSendFailed;
    return static_cast<int>(sent);
}

int netSendTo(SocketHandle socket, const std::uint8_t address[4], int port, const char* buffer, int length)
{
    sockaddr_in target = socketAddress(address, port);
    ssize_t sent = sendto(toFd(socket), buffer, static_cast<size_t>(length), 0,
                          reinterpret_cast<sockaddr*>(&target), sizeof target);
    return sent == length;
}

int netShutdownSend(SocketHandle socket)
{
    return shutdown(toFd(socket), SHUT_WR) == 0;
}

// Linux reports a reset as a failed receive, so an end of stream is the
// peer's own close, whichever side closed first: it answers as TIME_WAIT does.
NetTcpState netTcpState(int, const std::uint8_t*, int)
{
    return NetTcpTimeWait;
}

// Runs on a worker thread: getaddrinfo is safe to call from several at once.
int netLookUpBlocking(const char* name, std::uint8_t address[4])
{
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found)
        return 0;
    const sockaddr_in* first = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::memcpy(address, &first->sin_addr.s_addr, 4);
    freeaddrinfo(found);
    return 1;
}
