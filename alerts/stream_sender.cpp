#include "alerts/stream_sender.h"

#include "alerts/alert_channel.h"
#include "alerts/syslog_message.h"

namespace {

enum { kFramedSize = kSyslogMessageSize + 16, kWriteRounds = 16 };

enum : long long { kSettleMs = 200 };

void failStream(AlertChannel& channel, long long nowMs)
{
    char why[kAlertErrorTextSize];
    alertConnectionErrorText(channel.connection, "collector", why, sizeof why);
    alertChannelFail(channel, why, nowMs);
}

void openConnection(AlertChannel& channel, long long nowMs)
{
    const SyslogTarget& target = channel.syslog;
    channel.stream = StreamSenderState{};
    const AlertEndpoint where{target.collector, target.port, target.protocol == SyslogTls, &target.fingerprint};
    alertConnectionOpen(channel.connection, where, nowMs);
}

// Writes the batch's next messages as far as the connection takes them.
// Returns false when the connection is full for now.
bool writeSome(AlertChannel& channel)
{
    StreamSenderState& stream = channel.stream;
    while (stream.written < stream.batch) {
        unsigned long length = 0;
        const char* message = alertQueueMessage(channel.queue, stream.written, length);
        char framed[kFramedSize];
        const int total = frameSyslogMessage(channel.syslog.framing, message, static_cast<int>(length), framed,
                                             sizeof framed);
        const int taken = alertConnectionWrite(channel.connection, framed + stream.headSent,
                                               total - static_cast<int>(stream.headSent));
        stream.headSent += static_cast<unsigned long>(taken);
        if (stream.headSent < static_cast<unsigned long>(total))
            return false;
        ++stream.written;
        stream.headSent = 0;
    }
    return true;
}

// A reset that follows bytes the peer never read is not seen everywhere (one
// Windows emulation reports it as a plain end of stream), so a peer that
// closes at once must show it before the first byte goes. A TLS session's
// handshake has shown the peer talks already.
bool settled(AlertChannel& channel, long long nowMs)
{
    StreamSenderState& stream = channel.stream;
    if (!stream.open) {
        stream.open = 1;
        stream.writeFromMs = channel.connection.tlsSession ? nowMs : nowMs + kSettleMs;
    }
    return nowMs >= stream.writeFromMs;
}

// The batch grows with what is posted until every message of it is written;
// then the confirmed close begins.
void writeBatch(AlertChannel& channel, long long nowMs)
{
    AlertConnection& connection = channel.connection;
    StreamSenderState& stream = channel.stream;
    alertConnectionConsume(connection, connection.inboxLength);  // what a collector says is not an answer
    if (connection.peerClosed) {
        connection.error = AlertErrorClosed;
        return failStream(channel, nowMs);
    }
    if (!settled(channel, nowMs))
        return;
    for (int round = 0; round < kWriteRounds && connection.state == ConnectionOpen && !stream.finishing; ++round) {
        stream.batch = channel.queue.count;
        channel.queue.locked = stream.batch;
        const bool allWritten = writeSome(channel);
        if (allWritten) {
            stream.finishing = 1;
            alertConnectionFinish(connection, nowMs);
        } else {
            alertConnectionPump(connection, nowMs);
            if (!alertConnectionDrained(connection))
                return;
        }
    }
}

} // namespace

void streamSenderPump(AlertChannel& channel, long long nowMs)
{
    AlertConnection& connection = channel.connection;
    if (connection.state == ConnectionClosed || connection.state == ConnectionFinished) {
        if (channel.queue.count == 0)
            return;
        openConnection(channel, nowMs);
    }
    alertConnectionPump(connection, nowMs);
    if (connection.state == ConnectionOpen)
        writeBatch(channel, nowMs);
    if (connection.state == ConnectionFailed)
        return failStream(channel, nowMs);
    if (connection.state == ConnectionFinished) {
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

