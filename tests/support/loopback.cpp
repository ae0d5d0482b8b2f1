#include "support/loopback.h"

#include <chrono>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <winsock.h>
using NativeSocket = SOCKET;
const NativeSocket kInvalid = INVALID_SOCKET;
static void closeNative(NativeSocket s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
const NativeSocket kInvalid = -1;
static void closeNative(NativeSocket s) { close(s); }
#endif

namespace {

NativeSocket native(std::uintptr_t s)
{
    return static_cast<NativeSocket>(s);
}

std::uintptr_t stored(NativeSocket s)
{
    return static_cast<std::uintptr_t>(s);
}

sockaddr_in loopbackAddress(int port)
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000001);
    address.sin_port = htons(static_cast<unsigned short>(port));
    return address;
}

// 1 readable, 0 timed out, -1 error.
int waitReadable(NativeSocket s, int timeoutMs)
{
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int result = select(0, &set, nullptr, nullptr, &timeout);
#else
    pollfd fd{s, POLLIN, 0};
    int result = poll(&fd, 1, timeoutMs);
#endif
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

} // namespace

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void loopbackStartup()
{
#ifdef _WIN32
    static bool started = false;
    if (!started) {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
        started = true;
    }
#endif
}

LoopbackClient::LoopbackClient() : socket_(stored(kInvalid))
{
    loopbackStartup();
    socket_ = stored(::socket(AF_INET, SOCK_STREAM, 0));
}

LoopbackClient::~LoopbackClient()
{
    closeNow();
}

void LoopbackClient::setSmallReceiveBuffer()
{
    int size = 2048;
    setsockopt(native(socket_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
}

bool LoopbackClient::connectTo(int port)
{
    sockaddr_in address = loopbackAddress(port);
    return connect(native(socket_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool LoopbackClient::sendBytes(const std::string& bytes)
{
    int length = static_cast<int>(bytes.size());
    return send(native(socket_), bytes.data(), length, 0) == length;
}

std::string LoopbackClient::receiveAvailable(int quietMs)
{
    std::string received;
    char buffer[4096];
    while (waitReadable(native(socket_), quietMs) == 1) {
        int count = recv(native(socket_), buffer, sizeof buffer, 0);
        if (count <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(count));
    }
    return received;
}

std::string LoopbackClient::receiveExactly(std::size_t count, int timeoutMs)
{
    std::string received;
    char buffer[4096];
    long long deadline = nowMs() + timeoutMs;
    while (received.size() < count) {
        long long left = deadline - nowMs();
        if (left <= 0 || waitReadable(native(socket_), static_cast<int>(left)) != 1)
            break;
        std::size_t want = count - received.size();
        int chunk = static_cast<int>(want < sizeof buffer ? want : sizeof buffer);
        int got = recv(native(socket_), buffer, chunk, 0);
        if (got <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

bool LoopbackClient::peerClosed(int timeoutMs)
{
    char byte;
    long long deadline = nowMs() + timeoutMs;
    for (;;) {
        long long left = deadline - nowMs();
        if (left <= 0 || waitReadable(native(socket_), static_cast<int>(left)) != 1)
            return false;
        int got = recv(native(socket_), &byte, 1, 0);
        if (got <= 0)
            return true;
    }
}

void LoopbackClient::closeNow()
{
    if (native(socket_) != kInvalid)
        closeNative(native(socket_));
    socket_ = stored(kInvalid);
}

LoopbackListener::LoopbackListener() : socket_(stored(kInvalid))
{
    loopbackStartup();
}

LoopbackListener::~LoopbackListener()
{
    if (native(socket_) != kInvalid)
        closeNative(native(socket_));
}

int LoopbackListener::listenAnywhere()
{
    NativeSocket s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == kInvalid)
        return 0;
    socket_ = stored(s);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 1) != 0)
        return 0;
#ifdef _WIN32
    int length = sizeof address;
#else
    socklen_t length = sizeof address;
#endif
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}
