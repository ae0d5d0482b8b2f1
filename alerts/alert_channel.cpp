#include "alerts/alert_channel.h"

#include <cstdio>
#include <cstring>

namespace {

struct SenderOperations {
    void (*pump)(AlertChannel& channel, long long nowMs);
    void (*close)(AlertChannel& channel);
};

void pumpNothing(AlertChannel&, long long) {}
void closeNothing(AlertChannel&) {}

// In the order of AlertSender.
const SenderOperations kSenders[] = {
    {pumpNothing, closeNothing},
    {udpSenderPump, udpSenderClose},
    {streamSenderPump, streamSenderClose},
    {relpSenderPump, relpSenderClose},
    {smtpSenderPump, smtpSenderClose},
    {webhookSenderPump, webhookSenderClose},
};

const SenderOperations& operationsOf(const AlertChannel& channel)
{
    return kSenders[channel.sender >= SenderNone && channel.sender <= SenderWebhook ? channel.sender : SenderNone];
}

AlertSender senderOf(SyslogProtocol protocol)
{
    switch (protocol) {
    case SyslogTcp:
    case SyslogTls: return SenderStream;
    case SyslogRelp: return SenderRelp;
    default: return SenderUdp;
    }
}

bool sameFingerprint(const AlertFingerprint& one, const AlertFingerprint& other)
{
    return one.present == other.present && std::memcmp(one.sha256, other.sha256, sizeof one.sha256) == 0;
}

bool sameSyslog(const SyslogTarget& one, const SyslogTarget& other)
{
    return one.enabled == other.enabled && one.port == other.port && one.protocol == other.protocol && one.framing == other.framing &&
           std::strcmp(one.collector, other.collector) == 0 && sameFingerprint(one.fingerprint, other.fingerprint);
}

void record(AlertChannel& channel, const char* why, long long nowMs)
{
    std::snprintf(channel.status.lastError, sizeof channel.status.lastError, "%s", why);
    channel.status.lastErrorAtMs = nowMs;
}

// A new target: the old connection goes, the next attempt is at once, and
// disabling drops what waits.
void retarget(AlertChannel& channel, AlertSender sender, int enabled)
{
    alertChannelClose(channel);
    channel.sender = enabled ? sender : SenderNone;
    channel.udp = UdpSenderState{};  // a new name is looked up anew
    channel.udp.socket = kNoSocket;
    channel.waitingToRetry = 0;
    channel.pauseMs = kAlertFirstPauseMs;
    channel.status.unconfirmed = sender == SenderUdp;
    if (!enabled)
        alertQueueDropAll(channel.queue);
}

} // namespace

void alertChannelInit(AlertChannel& channel, AlertQueueStorage& storage, int slot)
{
    alertChannelInitSmall(channel, storage.bytes, sizeof storage.bytes, storage.entries, kAlertQueueMessages, slot);
    channel.queue.maxBytes = kAlertQueueBytes;
}

void alertChannelInitSmall(AlertChannel& channel, char* bytes, unsigned long size, AlertQueueEntry* entries,
                           int entryCount, int slot)
{
    channel = AlertChannel{};
    alertQueueInit(channel.queue, bytes, size, entries, entryCount, size);
    alertConnectionInit(channel.connection, slot);
    channel.httpSlot = slot;
    channel.udp.socket = kNoSocket;
    channel.pauseMs = kAlertFirstPauseMs;
}

void alertChannelConfigureSyslog(AlertChannel& channel, const SyslogTarget& target)
{
    if (channel.sender != SenderNone && sameSyslog(channel.syslog, target))
        return;
    channel.syslog = target;
    retarget(channel, senderOf(target.protocol), target.enabled);
}

void alertChannelConfigureMail(AlertChannel& channel, const MailTarget& target)
{
    if (channel.sender != SenderNone && std::memcmp(&channel.mail, &target, sizeof target) == 0)
        return;
    channel.mail = target;
    retarget(channel, SenderSmtp, target.enabled);
}

void alertChannelConfigureWebhook(AlertChannel& channel, const WebhookTarget& target)
{
    if (channel.sender != SenderNone && std::memcmp(&channel.webhook, &target, sizeof target) == 0)
        return;
    channel.webhook = target;
    retarget(channel, SenderWebhook, target.enabled);
}

int alertChannelEnabled(const AlertChannel& channel)
{
    return channel.sender != SenderNone;
}

void alertChannelPost(AlertChannel& channel, const char* message, int length)
{
    if (alertChannelEnabled(channel) && length > 0)
        alertQueuePush(channel.queue, message, static_cast<unsigned long>(length));
}

void alertChannelPump(AlertChannel& channel, long long nowMs)
{
    if (!alertChannelEnabled(channel))
        return;
    if (channel.waitingToRetry && nowMs < channel.retryAtMs)
        return;
    channel.waitingToRetry = 0;
    operationsOf(channel).pump(channel, nowMs);
}

void alertChannelRetrySoon(AlertChannel& channel, long long nowMs)
{
    if (channel.waitingToRetry && channel.retryAtMs > nowMs)
        channel.retryAtMs = nowMs;
}

int alertChannelIdle(const AlertChannel& channel)
{
    return channel.queue.count == 0;
}

AlertStatus alertChannelStatus(const AlertChannel& channel)
{
    AlertStatus status = channel.status;
    status.waiting = static_cast<unsigned long>(channel.queue.count);
    status.dropped += channel.queue.dropped;
    return status;
}

void alertChannelClose(AlertChannel& channel)
{
    operationsOf(channel).close(channel);
    channel.queue.locked = 0;
}

void alertChannelConfirm(AlertChannel& channel, int count)
{
    if (count > channel.queue.count)
        count = channel.queue.count;
    alertQueuePop(channel.queue, count);
    channel.status.sent += static_cast<unsigned long>(count);
    channel.pauseMs = kAlertFirstPauseMs;
}

void alertChannelReject(AlertChannel& channel, const char* why, long long nowMs)
{
    alertQueuePop(channel.queue, 1);
    ++channel.status.dropped;
    record(channel, why, nowMs);
}

void alertChannelFail(AlertChannel& channel, const char* why, long long nowMs, long long atLeastMs)
{
    alertChannelClose(channel);
    record(channel, why, nowMs);
    const long long pause = channel.pauseMs < kAlertFirstPauseMs ? kAlertFirstPauseMs : channel.pauseMs;
    const long long wait = atLeastMs > pause ? (atLeastMs < kAlertLongestRetryAfterMs ? atLeastMs
                                                                                      : kAlertLongestRetryAfterMs)
                                             : pause;
    channel.retryAtMs = nowMs + wait;
    channel.waitingToRetry = 1;
    channel.pauseMs = pause * 2 < kAlertLongestPauseMs ? pause * 2 : kAlertLongestPauseMs;
}

void alertConnectionErrorText(const AlertConnection& connection, const char* peer, char* text, int size)
{
    const char* format = "The connection to the %s failed.";
    switch (connection.error) {
    case AlertErrorResolve: format = "The %s's name could not be resolved."; break;
    case AlertErrorRefused: format = "The %s refused the connection."; break;
    case AlertErrorTimedOut: format = "The %s did not answer in time."; break;
    case AlertErrorUnreachable: format = "The %s cannot be reached."; break;
    case AlertErrorClosed: format = "The %s closed the connection."; break;
    case AlertErrorReset: format = "The %s reset the connection."; break;
    case AlertErrorSend: format = "A message to the %s could not be sent."; break;
    case AlertErrorSocket: format = "No connection to the %s could be opened here."; break;
    case AlertErrorProtocol: format = "The %s sent something unexpected."; break;
    case AlertErrorTls:
        switch (connection.tlsFailure) {
        case TlsFailureUntrusted: format = "The %s's certificate is not trusted."; break;
        case TlsFailureName: format = "The %s's certificate is for another name."; break;
        case TlsFailureFingerprint: format = "The %s's certificate does not match the fingerprint."; break;
        case TlsFailureExpired: format = "The %s's certificate has expired."; break;
        default: format = "The TLS handshake with the %s failed."; break;
        }
        break;
    default: break;
    }
    std::snprintf(text, static_cast<size_t>(size), format, peer);
}
