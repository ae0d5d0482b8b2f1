#include "fakes/net_fake.h"

#include <algorithm>
#include <cstdio>

namespace {

FakeNet net;

FakeCaller* callerOf(SocketHandle socket)
{
    const SocketHandle index = (socket - 10) / 2;
    return socket % 2 == 0 && socket >= 10 && index < net.callers.size() ? &net.callers[index] : nullptr;
}

bool readable(SocketHandle socket)
{
    const FakeCaller* caller = callerOf(socket);
    if (socket == net.collector.open)
        return net.collector.hungUp;
    return socket == kFakeListenerHandle ? !net.backlog.empty() : caller && (!caller->input.empty() || caller->hungUp);
}

// Resolution requests by id: the names asked for.
std::vector<std::string> lookups;

} // namespace

FakeNet& fakeNet() { return net; }
void resetFakeNet()
{
    net = FakeNet();
    lookups.clear();
}

FakeCaller& fakeConnect()
{
    net.backlog.push_back(10 + 2 * net.callers.size());
    return net.callers.emplace_back();
}

int netStartup() { return net.failure != FailStartup && ++net.startups; }

void netCleanup() { --net.startups; }
int netStartupBalance() { return net.startups; }

SocketHandle netCreateStreamSocket()
{
    net.listenerOpen = net.failure != FailSocket;
    return net.listenerOpen ? kFakeListenerHandle : kNoSocket;
}

int netBindAny(SocketHandle, int port)
{
    net.boundPort = port & 0xFFFF;
    return net.failure != FailBind;
}

int netListen(SocketHandle, int) { return net.failure != FailListen; }
int netLocalPort(SocketHandle) { return net.boundPort; }

NetAcceptResult netAccept(SocketHandle, SocketHandle& caller, PeerAddress& peer)
{
    if (net.failure == FailAccept)
        return NetAcceptFailed;
    if (net.backlog.empty())
        return NetNothingToAccept;
    caller = net.backlog.front();
    net.backlog.pop_front();
    peer = PeerAddress{2, 0, {192, 0, 2, static_cast<std::uint8_t>((caller - 10) / 2 + 1)}, {}};
    return net.failure == VanishBeforeAccept ? NetNothingToAccept : NetAccepted;
}

// Like select, it sees no handle above `highest`.
int netWaitReadable(const SocketSet& watched, SocketHandle highest, int, SocketSet& ready)
{
    socketSetClear(ready);
    for (int i = 0; i < watched.count; ++i) {
        if (readable(watched.handles[i]) && watched.handles[i] <= highest)
            socketSetAdd(ready, watched.handles[i]);
    }
    ++net.waits;
    return net.waitsBeforeFailure-- == 0 ? -1 : ready.count;
}

int netReceive(SocketHandle socket, char* buffer, int length)
{
    if (socket >= 1000)
        return socket != net.collector.open ? NetReceiveFailed : net.collector.hungUp ? 0 : NetReceiveWouldBlock;
    FakeCaller* caller = callerOf(socket);
    if (!caller || caller->closes)
        return NetReceiveFailed;
    if (caller->input.empty())
        return caller->hungUp ? 0 : NetReceiveWouldBlock;
    const std::size_t taken = caller->input.copy(buffer, static_cast<std::size_t>(length));
    caller->input.erase(0, taken);
    return static_cast<int>(taken);
}

int netSend(SocketHandle socket, const char* buffer, int length)
{
    FakeCaller* caller = callerOf(socket);
    if (!caller || caller->closes)
        return length == 0;
    const long taken = caller->sendRoom < 0 ? length : std::min<long>(length, caller->sendRoom);
    caller->received.append(buffer, static_cast<std::size_t>(taken));
    caller->sendRoom -= caller->sendRoom < 0 ? 0 : taken;
    return taken == length;
}

void netClose(SocketHandle socket)
{
    if (socket == net.collector.open)
        net.collector.open = kNoSocket;
    if (socket == kFakeListenerHandle)
        net.listenerOpen = false;
    else if (FakeCaller* caller = callerOf(socket))
        ++caller->closes;
}

void netAddressText(const PeerAddress& peer, char text[16])
{
    std::snprintf(text, 16, "%u.%u.%u.%u", peer.address[0], peer.address[1], peer.address[2], peer.address[3]);
}

SocketHandle netCreateDatagramSocket() { return net.failure == FailSocket ? kNoSocket : 999; }

SocketHandle netConnectStart(const std::uint8_t*, int, NetError& error)
{
    error = net.failure == FailSocket ? NetErrorOther : NetErrorNone;
    net.collector.hungUp = false;
    return error ? kNoSocket : net.collector.open = 1000 + ++net.collector.connects;
}

NetConnectState netConnectPoll(SocketHandle, int, NetError& error)
{
    error = net.collector.outcome == ConnectRefused ? NetErrorRefused : NetErrorNone;
    return net.collector.outcome == ConnectAccepted ? NetConnected : error ? NetConnectFailed : NetConnectPending;
}

int netSendSome(SocketHandle socket, const char* buffer, int length)
{
    FakeCollector& collector = net.collector;
    if (socket != collector.open)
        return NetSendFailed;
    const long taken = collector.sendRoom < 0 ? length : std::min<long>(length, collector.sendRoom);
    collector.received.append(buffer, static_cast<std::size_t>(taken));
    collector.sendRoom -= collector.sendRoom < 0 ? 0 : taken;
    return static_cast<int>(taken);
}

int netSendTo(SocketHandle, const std::uint8_t*, int, const char* buffer, int length)
{
    if (!net.collector.datagramsFail)
        net.collector.datagrams.emplace_back(buffer, static_cast<std::size_t>(length));
    return !net.collector.datagramsFail;
}

int netResolveStart(const char* name)
{
    lookups.push_back(name);
    return static_cast<int>(lookups.size());
}

NetResolveState netResolvePoll(int request, std::uint8_t address[4])
{
    const auto host = net.hosts.find(lookups.at(static_cast<std::size_t>(request - 1)));
    if (host == net.hosts.end())
        return NetResolvePending;
    unsigned parts[4];
    if (std::sscanf(host->second.c_str(), "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) != 4)
        return NetResolveFailed;
    for (int i = 0; i < 4; ++i)
        address[i] = static_cast<std::uint8_t>(parts[i]);
    return NetResolved;
}

void netResolveCancel(int) {}
