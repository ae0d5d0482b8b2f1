#include "fakes/net_fake.h"

#include <algorithm>
#include <cstdio>

namespace {

FakeNet net;
const std::uint8_t kCollectorAddress[4] = {192, 0, 2, 200};

// The caller or the collector at the far end of `socket`.
FakeCaller* peerOf(SocketHandle socket)
{
    const SocketHandle index = (socket - 10) / 2;
    if (socket == net.collector.open)
        return &net.collector;
    return socket % 2 == 0 && socket >= 10 && index < net.callers.size() ? &net.callers[index] : nullptr;
}

bool readable(SocketHandle socket)
{
    const FakeCaller* peer = peerOf(socket);
    return socket == kFakeListenerHandle ? !net.backlog.empty() : peer && (!peer->input.empty() || peer->hungUp);
}

// What `peer` takes of `length` bytes, as much as its room allows: appended to what it received.
long take(FakeCaller& peer, const char* buffer, int length)
{
    const long taken = peer.sendRoom < 0 ? length : std::min<long>(length, peer.sendRoom);
    peer.received.append(buffer, static_cast<std::size_t>(taken));
    peer.sendRoom -= peer.sendRoom < 0 ? 0 : taken;
    return taken;
}

} // namespace

FakeNet& fakeNet() { return net; }
void resetFakeNet() { net = FakeNet(); }

FakeCaller& fakeConnect()
{
    net.backlog.push_back(10 + 2 * net.callers.size());
    return net.callers.emplace_back();
}

int fakeHit(int port, int host)
{
    for (auto& [handle, wire] : net.wires) {
        if (wire.listening && wire.port == port) {
            wire.backlog.push_back(10 + 2 * net.callers.size());
            net.callers.emplace_back().host = host;
            return 1;
        }
    }
    return 0;
}

int netStartup() { return net.failure != FailStartup && ++net.startups; }
void netCleanup() { --net.startups; }
int netStartupBalance() { return net.startups; }

SocketHandle netCreateStreamSocket()
{
    if (net.listenerOpen) {
        const SocketHandle wire = 1001 + 2 * net.wires.size();
        net.wires[wire];
        return wire;
    }
    return (net.listenerOpen = net.failure != FailSocket) ? kFakeListenerHandle : kNoSocket;
}

NetBindOutcome netBindPort(SocketHandle socket, int port)
{
    net.wires[socket].port = port;
    return net.inUse.count(port) ? NetPortInUse : net.refused.count(port) ? NetPortRefused : NetBound;
}

int netBindAny(SocketHandle, int port) { return net.boundPort = port & 0xFFFF, net.failure != FailBind; }

int netListen(SocketHandle socket, int)
{
    if (net.wires.count(socket))
        net.wires[socket].listening = true;
    return net.failure != FailListen;
}
int netLocalPort(SocketHandle socket)
{
    return socket == net.collector.open ? 40000 + net.collector.connects : net.boundPort;
}

NetAcceptResult netAccept(SocketHandle listener, SocketHandle& caller, PeerAddress& peer)
{
    if (net.wires.count(listener)) {
        std::deque<SocketHandle>& waiting = net.wires[listener].backlog;
        if (waiting.empty())
            return NetNothingToAccept;
        caller = waiting.front();
        waiting.pop_front();
        if (peerOf(caller)->reset)
            return NetCallerGone;
        peer = PeerAddress{2, 0, {203, 0, 113, static_cast<std::uint8_t>(peerOf(caller)->host)}, {}};
        return NetAccepted;
    }
    if (net.failure == FailAccept || net.backlog.empty())
        return net.failure == FailAccept ? NetAcceptFailed : NetNothingToAccept;
    caller = net.backlog.front();
    net.backlog.pop_front();
    peer = PeerAddress{2, 0, {192, 0, 2, static_cast<std::uint8_t>((caller - 10) / 2 + 1)}, {}};
    return net.failure == VanishBeforeAccept ? NetCallerGone : NetAccepted;
}

// Like select, it sees no handle above `highest`.
int netWaitReadable(const SocketSet& watched, SocketHandle highest, int, SocketSet& ready)
{
    socketSetClear(ready);
    for (const SocketHandle* h = watched.handles; h < watched.handles + watched.count; ++h)
        if (*h <= highest && readable(*h))
            socketSetAdd(ready, *h);
    ++net.waits;
    return net.waitsBeforeFailure-- == 0 ? -1 : ready.count;
}

namespace {

// What the collector does when the decoy reads from it.
int collectorReceive(char* buffer, int length)
{
    FakeCollector& c = net.collector;
    if (c.reset || (c.halfClosed && c.input.empty() && c.atEnd == ResetAtEnd))
        return NetReceiveFailed;
    if (c.input.empty() && !c.later.empty())
        return c.input.swap(c.later), NetReceiveWouldBlock;
    if (c.input.empty())
        return c.hungUp || (c.halfClosed && (c.atEnd == CloseAtEnd || c.atEnd == ResetReadAsEndAtEnd))
                   ? 0 : NetReceiveWouldBlock;
    const std::size_t taken = c.input.copy(buffer, static_cast<std::size_t>(length));
    c.input.erase(0, taken);
    return static_cast<int>(taken);
}

} // namespace

int netReceive(SocketHandle socket, char* buffer, int length)
{
    if (socket == net.collector.open)
        return collectorReceive(buffer, length);
    FakeCaller* caller = peerOf(socket);
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
    FakeCaller* caller = peerOf(socket);
    return !caller || caller->closes ? length == 0 : take(*caller, buffer, length) == length;
}

void netClose(SocketHandle socket)
{
    if (socket == net.collector.open)
        net.collector.open = kNoSocket;
    else if (FakeCaller* caller = peerOf(socket))
        ++caller->closes;
    else if (net.wires.count(socket))
        net.wires[socket].listening = false;
    net.listenerOpen = net.listenerOpen && socket != kFakeListenerHandle;
}

void netAddressText(const PeerAddress& peer, char text[16])
{
    std::snprintf(text, 16, "%u.%u.%u.%u", peer.address[0], peer.address[1], peer.address[2], peer.address[3]);
}

SocketHandle netCreateDatagramSocket() { return 999; }

SocketHandle netConnectStart(const std::uint8_t*, int port, NetError& error)
{
    error = NetErrorNone;
    FakeCollector& c = net.collector;
    c.hungUp = c.reset = c.halfClosed = false;
    c.input = c.greeting;
    c.later.clear();
    c.port = port;
    return c.open = 1000 + ++c.connects;
}

NetConnectState netConnectPoll(SocketHandle, int, NetError& e) { return e = NetErrorRefused, net.collector.outcome; }

int netSendSome(SocketHandle socket, const char* buffer, int length)
{
    FakeCollector& c = net.collector;
    if (socket != c.open || c.reset || c.halfClosed)
        return NetSendFailed;
    const std::string arrived(buffer, static_cast<std::size_t>(take(c, buffer, length)));
    if (arrived == "<hello>" && !c.silent)
        c.input += "<welcome>";
    c.hungUp |= c.closesOnNotify && c.received.size() >= 14 && c.received.compare(c.received.size() - 14, 14,
                                                                                    "<close_notify>") == 0;
    const std::string answer = c.answer ? c.answer(arrived) : "";
    const std::size_t segment = std::min(answer.find('\f'), answer.size());
    c.input += answer.substr(0, segment);
    c.later += answer.substr(std::min(segment + 1, answer.size()));
    return static_cast<int>(arrived.size());
}

int netSendTo(SocketHandle, const std::uint8_t*, int, const char* buffer, int length)
{
    if (net.collector.sendRoom != 0)
        net.collector.received.append(buffer, static_cast<std::size_t>(length)) += '|';
    return net.collector.sendRoom != 0;
}

int netShutdownSend(SocketHandle socket)
{
    return socket == net.collector.open && !net.collector.reset && (net.collector.halfClosed = true);
}

NetTcpState netTcpState(int localPort, const std::uint8_t address[4], int port)
{
    FakeCollector& c = net.collector;
    const bool ours = c.open != kNoSocket && localPort == netLocalPort(c.open) && port == c.port &&
                      std::equal(address, address + 4, kCollectorAddress);
    if (!ours || c.atEnd == ResetReadAsEndAtEnd)
        return NetTcpOther;
    if (c.closesOnNotify && c.hungUp)  // it closed first: our end of stream after its own leaves the table
        return c.halfClosed ? NetTcpOther : NetTcpCloseWait;
    if (!c.halfClosed)
        return NetTcpOther;
    return c.closingLooks-- > 0 ? NetTcpClosing : NetTcpTimeWait;
}

int netResolveStart(int, const char*) { return ++net.collector.lookups, 1; }
NetResolveState netResolvePoll(int, std::uint8_t* address)
{
    std::copy(kCollectorAddress, kCollectorAddress + 4, address);
    return net.collector.lookup;
}
void netResolveCancel(int) { ++net.collector.lookupsCancelled; }
