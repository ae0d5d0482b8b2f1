#include "engine/alert_channel.h"

#include "engine/syslog_message.h"

#include <cstring>

namespace {

enum : long long {
    kConnectTimeOutMs = 10000,
    kFirstPauseMs = 1000,
    kLongestPauseMs = 60000,
};

// Each pump reads at most this much of what a collector sends, to discard it.
enum { kDiscardSize = 512, kDiscardReads = 8 };

bool sameTarget(const AlertTarget& a, const AlertTarget& b)
{
    return a.enabled == b.enabled && a.port == b.port && a.protocol == b.protocol &&
           std::strcmp(a.collector, b.collector) == 0;
}

AlertError alertErrorOf(NetError error)
{
    switch (error) {
    case NetErrorRefused: return AlertErrorRefused;
    case NetErrorTimedOut: return AlertErrorTimedOut;
    case NetErrorReset: return AlertErrorClosed;
    default: return AlertErrorUnreachable;
    }
}

void dropWaiting(AlertChannel& channel, std::size_t index)
{
    channel.queuedBytes -= static_cast<unsigned long>(channel.queue[index].size());
    channel.queue.erase(channel.queue.begin() + static_cast<long>(index));
    ++channel.status.dropped;
}

void record(AlertChannel& channel, AlertError error, long long nowMs)
{
    channel.status.lastError = error;
    channel.status.lastErrorAtMs = nowMs;
}

// Every failed step ends here: the connection goes, the messages stay, and
// the next attempt waits a pause that doubles with each failure in a row.
void fail(AlertChannel& channel, AlertError error, long long nowMs)
{
    alertChannelClose(channel);
    record(channel, error, nowMs);
    const long long pause = channel.retryPauseMs < kFirstPauseMs ? kFirstPauseMs : channel.retryPauseMs;
    channel.deadlineMs = nowMs + pause;
    channel.retryPauseMs = pause * 2 < kLongestPauseMs ? pause * 2 : kLongestPauseMs;
    channel.state = AlertWaitingToRetry;
}

void finishHead(AlertChannel& channel)
{
    channel.queuedBytes -= static_cast<unsigned long>(channel.queue.front().size());
    channel.queue.pop_front();
    channel.headSent = 0;
    ++channel.status.sent;
}

void startConnect(AlertChannel& channel, long long nowMs)
{
    if (channel.target.protocol == AlertUdp) {
        channel.socket = netCreateDatagramSocket();
        channel.state = AlertConnected;
        if (channel.socket == kNoSocket)
            fail(channel, AlertErrorSocket, nowMs);
        return;
    }
    NetError error = NetErrorNone;
    channel.socket = netConnectStart(channel.address, channel.target.port, error);
    channel.deadlineMs = nowMs + kConnectTimeOutMs;
    channel.state = AlertConnecting;
    // Other than a refusal and the like, a connect that fails at once had no socket.
    if (channel.socket == kNoSocket)
        fail(channel, error == NetErrorOther ? AlertErrorSocket : alertErrorOf(error), nowMs);
}

void pollResolve(AlertChannel& channel, long long nowMs)
{
    const NetResolveState state = netResolvePoll(channel.resolveRequest, channel.address);
    if (state == NetResolvePending)
        return;
    channel.resolveRequest = 0;
    if (state == NetResolved)
        startConnect(channel, nowMs);
    else
        fail(channel, AlertErrorResolve, nowMs);
}

void pollConnect(AlertChannel& channel, long long nowMs)
{
    NetError error = NetErrorNone;
    const NetConnectState state = netConnectPoll(channel.socket, 0, error);
    if (state == NetConnected) {
        channel.state = AlertConnected;
        channel.retryPauseMs = kFirstPauseMs;
    } else if (state == NetConnectFailed) {
        fail(channel, alertErrorOf(error), nowMs);
    } else if (nowMs >= channel.deadlineMs) {
        fail(channel, AlertErrorTimedOut, nowMs);
    }
}

// A collector that closed or reset the connection (a restart) must be noticed
// before a message is written into it, or that message is lost. What a live
// collector sends is read and thrown away.
bool collectorStillThere(AlertChannel& channel)
{
    for (int reads = 0; reads < kDiscardReads; ++reads) {
        SocketSet watched = {1, {channel.socket}}, ready;
        if (netWaitReadable(watched, channel.socket, 0, ready) == 0)
            return true;
        char discarded[kDiscardSize];
        const int received = netReceive(channel.socket, discarded, sizeof discarded);
        if (received == 0 || received == NetReceiveFailed)
            return false;
        if (received == NetReceiveWouldBlock)
            return true;
    }
    return true;
}

void sendStream(AlertChannel& channel, long long nowMs)
{
    while (!channel.queue.empty()) {
        if (!collectorStillThere(channel))
            return fail(channel, AlertErrorClosed, nowMs);
        const std::string framed = frameOctetCounted(channel.queue.front());
        const int taken = netSendSome(channel.socket, framed.data() + channel.headSent,
                                      static_cast<int>(framed.size() - channel.headSent));
        if (taken == NetSendFailed)
            return fail(channel, AlertErrorSend, nowMs);
        channel.headSent += static_cast<unsigned long>(taken);
        if (channel.headSent < framed.size())
            return;
        finishHead(channel);
    }
}

// Fire and forget: a datagram that is not taken is counted as dropped.
void sendDatagrams(AlertChannel& channel, long long nowMs)
{
    while (!channel.queue.empty()) {
        const std::string& message = channel.queue.front();
        if (netSendTo(channel.socket, channel.address, channel.target.port, message.data(),
                      static_cast<int>(message.size()))) {
            finishHead(channel);
        } else {
            dropWaiting(channel, 0);
            record(channel, AlertErrorSend, nowMs);
        }
    }
}

// One step; false when nothing more can happen until later.
bool step(AlertChannel& channel, long long nowMs)
{
    const AlertChannelState before = channel.state;
    switch (channel.state) {
    case AlertIdle:
        if (channel.queue.empty())
            return false;
        channel.resolveRequest = netResolveStart(channel.target.collector);
        channel.state = AlertResolving;
        if (!channel.resolveRequest)
            fail(channel, AlertErrorResolve, nowMs);
        break;
    case AlertResolving: pollResolve(channel, nowMs); break;
    case AlertConnecting: pollConnect(channel, nowMs); break;
    case AlertConnected:
        if (channel.target.protocol == AlertTcp)
            sendStream(channel, nowMs);
        else
            sendDatagrams(channel, nowMs);
        return false;
    case AlertWaitingToRetry:
        if (nowMs < channel.deadlineMs)
            return false;
        channel.state = AlertIdle;
        break;
    }
    return channel.state != before && channel.state != AlertWaitingToRetry;
}

} // namespace

const char* alertErrorText(AlertError error)
{
    switch (error) {
    case AlertErrorNone: return "";
    case AlertErrorResolve: return "The collector's name could not be resolved.";
    case AlertErrorRefused: return "The collector refused the connection.";
    case AlertErrorTimedOut: return "The collector did not answer.";
    case AlertErrorUnreachable: return "The collector cannot be reached.";
    case AlertErrorClosed: return "The collector closed the connection.";
    case AlertErrorSend: return "A message could not be sent.";
    default: return "No socket could be opened.";
    }
}

void alertChannelConfigure(AlertChannel& channel, const AlertTarget& target)
{
    if (sameTarget(channel.target, target))
        return;
    alertChannelClose(channel);
    channel.target = target;
    channel.state = AlertIdle;
    channel.retryPauseMs = kFirstPauseMs;
    if (target.enabled)
        return;
    while (!channel.queue.empty())
        dropWaiting(channel, 0);
}

void alertChannelPost(AlertChannel& channel, const std::string& message)
{
    if (!channel.target.enabled)
        return;
    channel.queue.push_back(message);
    channel.queuedBytes += static_cast<unsigned long>(message.size());
    // The oldest go first, but never a message partly on the wire: its rest must follow.
    const std::size_t oldest = channel.headSent > 0 ? 1 : 0;
    while ((channel.queue.size() > kAlertQueueMessages || channel.queuedBytes > kAlertQueueBytes) &&
           channel.queue.size() > oldest + 1)
        dropWaiting(channel, oldest);
}

void alertChannelPump(AlertChannel& channel, long long nowMs)
{
    if (!channel.target.enabled)
        return;
    // A few steps at most: resolve, connect and send may all complete at once.
    for (int steps = 0; steps < 8 && step(channel, nowMs); ++steps) {
    }
}

void alertChannelRetrySoon(AlertChannel& channel, long long nowMs)
{
    if (channel.state == AlertWaitingToRetry && channel.deadlineMs > nowMs)
        channel.deadlineMs = nowMs;
}

int alertChannelIdle(const AlertChannel& channel)
{
    return channel.queue.empty() && channel.headSent == 0;
}

AlertStatus alertChannelStatus(const AlertChannel& channel)
{
    AlertStatus status = channel.status;
    status.waiting = static_cast<unsigned long>(channel.queue.size());
    return status;
}

void alertChannelClose(AlertChannel& channel)
{
    if (channel.resolveRequest)
        netResolveCancel(channel.resolveRequest);
    channel.resolveRequest = 0;
    netClose(channel.socket);
    channel.socket = kNoSocket;
    // A message cut short on a closed connection goes out whole on the next.
    channel.headSent = 0;
    if (channel.state != AlertWaitingToRetry)
        channel.state = AlertIdle;
}

void alertChannelPostEvent(AlertChannel& channel, const SyslogOrigin& origin, const AlertFacts& facts)
{
    alertChannelPost(channel, buildSyslogMessage(origin, utcNow(), facts));
}
