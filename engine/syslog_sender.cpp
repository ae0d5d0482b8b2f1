#include "engine/syslog_sender.h"

#include "engine/syslog_message.h"

#include <cstring>

namespace {

enum { kFramedSize = kSyslogMessageSize + 16, kWriteRounds = 16 };

enum : long long { kResolveAgainMs = 5 * 60 * 1000, kSettleMs = 200 };

void failStream(AlertChannel& channel, long long nowMs)
{
    char why[kAlertErrorTextSize];
    alertConnectionErrorText(channel.connection, "collector", why, sizeof why);
    alertChannelFail(channel, why, nowMs);
}

void openConnection(AlertChannel& channel, long long nowMs)
{
    const AlertTarget& target = channel.syslog;
    channel.stream = StreamSenderState{};
    const AlertEndpoint where{target.collector, target.port, target.protocol == AlertTls, &target.fingerprint};
    alertConnectionOpen(channel.connection, where, nowMs);
}

// Writes the batch's next messages as far as the connection takes them.
// Returns false when the connection is full for now.
bool writeSome(AlertChannel& channel)
{
    StreamSenderState& s = channel.stream;
    while (s.written < s.batch) {
        unsigned long length = 0;
        const char* message = alertQueueMessage(channel.queue, s.written, length);
        char framed[kFramedSize];
        const int total = frameSyslogMessage(channel.syslog.framing, message, static_cast<int>(length), framed,
                                             sizeof framed);
        const int taken = alertConnectionWrite(channel.connection, framed + s.headSent,
                                               total - static_cast<int>(s.headSent));
        s.headSent += static_cast<unsigned long>(taken);
        if (s.headSent < static_cast<unsigned long>(total))
            return false;
        ++s.written;
        s.headSent = 0;
    }
    return true;
}

// A reset that follows bytes the peer never read is not seen everywhere (one
// Windows emulation reports it as a plain end of stream), so a peer that
// closes at once must show it before the first byte goes. A TLS session's
// handshake has shown the peer talks already.
bool settled(AlertChannel& channel, long long nowMs)
{
    StreamSenderState& s = channel.stream;
    if (!s.open) {
        s.open = 1;
        s.writeFromMs = channel.connection.tlsSession ? nowMs : nowMs + kSettleMs;
    }
    return nowMs >= s.writeFromMs;
}

// The batch grows with what is posted until every message of it is written;
// then the confirmed close begins.
void writeBatch(AlertChannel& channel, long long nowMs)
{
    AlertConnection& c = channel.connection;
    StreamSenderState& s = channel.stream;
    alertConnectionConsume(c, c.inboxLength);  // what a collector says is not an answer
    if (c.peerClosed) {
        c.error = AlertErrorClosed;
        return failStream(channel, nowMs);
    }
    if (!settled(channel, nowMs))
        return;
    for (int round = 0; round < kWriteRounds && c.state == ConnectionOpen && !s.finishing; ++round) {
        s.batch = channel.queue.count;
        channel.queue.locked = s.batch;
        const bool allWritten = writeSome(channel);
        if (allWritten) {
            s.finishing = 1;
            alertConnectionFinish(c, nowMs);
        } else {
            alertConnectionPump(c, nowMs);
            if (!alertConnectionDrained(c))
                return;
        }
    }
}

bool resolveDue(const UdpSenderState& u, long long nowMs)
{
    return !u.resolving && (!u.resolved || nowMs - u.resolvedAtMs >= kResolveAgainMs);
}

// A look-up that fails keeps the last address that was found, if any.
bool udpAddressReady(AlertChannel& channel, long long nowMs)
{
    UdpSenderState& u = channel.udp;
    const int slot = channel.connection.resolveSlot;
    if (resolveDue(u, nowMs)) {
        u.resolving = netResolveStart(slot, channel.syslog.collector);
        u.resolveDeadlineMs = nowMs + kResolveTimeOutMs;
        if (!u.resolving && !u.resolved)
            return alertChannelFail(channel, "The collector's name could not be resolved.", nowMs), false;
    }
    if (u.resolving) {
        unsigned char address[4];
        const NetResolveState state = netResolvePoll(slot, address);
        if (state == NetResolvePending && nowMs < u.resolveDeadlineMs)
            return u.resolved != 0;
        if (state == NetResolvePending)
            netResolveCancel(slot);
        u.resolving = 0;
        if (state == NetResolved)
            std::memcpy(u.address, address, sizeof address);
        u.resolved = u.resolved || state == NetResolved;
        u.resolvedAtMs = nowMs;
        if (!u.resolved)
            return alertChannelFail(channel, "The collector's name could not be resolved.", nowMs), false;
    }
    return u.resolved != 0;
}

} // namespace

void streamSenderPump(AlertChannel& channel, long long nowMs)
{
    AlertConnection& c = channel.connection;
    if (c.state == ConnectionClosed || c.state == ConnectionFinished) {
        if (channel.queue.count == 0)
            return;
        openConnection(channel, nowMs);
    }
    alertConnectionPump(c, nowMs);
    if (c.state == ConnectionOpen)
        writeBatch(channel, nowMs);
    if (c.state == ConnectionFailed)
        return failStream(channel, nowMs);
    if (c.state == ConnectionFinished) {
        const int confirmed = channel.stream.batch;
        channel.stream = StreamSenderState{};
        alertChannelConfirm(channel, confirmed);
    }
}

void streamSenderClose(AlertChannel& channel)
{
    alertConnectionClose(channel.connection);
    channel.stream = StreamSenderState{};
}

void udpSenderPump(AlertChannel& channel, long long nowMs)
{
    UdpSenderState& u = channel.udp;
    if (channel.queue.count == 0 || !udpAddressReady(channel, nowMs))
        return;
    if (u.socket == kNoSocket)
        u.socket = netCreateDatagramSocket();
    if (u.socket == kNoSocket)
        return alertChannelFail(channel, "No socket could be opened here.", nowMs);
    while (channel.queue.count > 0) {
        unsigned long length = 0;
        const char* message = alertQueueMessage(channel.queue, 0, length);
        if (!netSendTo(u.socket, u.address, channel.syslog.port, message, static_cast<int>(length)))
            return alertChannelFail(channel, "A message to the collector could not be sent.", nowMs);
        alertChannelConfirm(channel, 1);
    }
}

void udpSenderClose(AlertChannel& channel)
{
    UdpSenderState& u = channel.udp;
    if (u.resolving)
        netResolveCancel(channel.connection.resolveSlot);
    u.resolving = 0;
    netClose(u.socket);
    u.socket = kNoSocket;
}
