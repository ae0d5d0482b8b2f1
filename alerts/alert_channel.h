#pragma once
// One alert channel: a bounded queue of rendered messages, a sender that
// delivers them (syslog over UDP, TCP, TLS or RELP; SMTP; a webhook), and a
// growing pause between failed attempts. A message leaves the queue and
// counts as sent only when the receiver confirmed it (UDP: when the network
// took it, which the status says). alertChannelPump advances delivery as far
// as it goes without waiting; the window calls it from a timer and after
// each post. Every time is a monotonic clock in milliseconds handed in by the
// caller, so tests drive the channel with a clock of their own.
//
// A sender is a renderer's partner: it reads the queue from the front, and
// reports with alertChannelConfirm, alertChannelReject and alertChannelFail.
#include "alerts/alert_connection.h"
#include "alerts/alert_queue.h"
#include "alerts/alert_targets.h"
#include "alerts/relp_sender.h"
#include "alerts/smtp_sender.h"
#include "alerts/stream_sender.h"
#include "alerts/udp_sender.h"
#include "alerts/webhook_sender.h"

enum {
    kAlertQueueMessages = 10000,  // waiting messages at most; then the oldest go
    kAlertQueueBytes = 4 << 20,   // and at most 4 MiB of them
    kAlertErrorTextSize = 200,
};

enum : long long {
    kAlertFirstPauseMs = 1000,
    kAlertLongestPauseMs = 60000,
    kAlertLongestRetryAfterMs = 3600000,  // a webhook's Retry-After is honoured up to an hour
};

enum AlertSender { SenderNone, SenderUdp, SenderStream, SenderRelp, SenderSmtp, SenderWebhook };

// What the channel has done since the program started.
struct AlertStatus {
    unsigned long sent;
    unsigned long waiting;
    unsigned long dropped;                  // for room, for a permanent refusal, or on disabling
    int unconfirmed;                        // UDP: what counts as sent was only handed to the network
    char lastError[kAlertErrorTextSize];    // "" when nothing failed yet
    long long lastErrorAtMs;
};

struct AlertChannel {
    AlertSender sender;
    AlertQueue queue;
    SyslogTarget syslog;  // the target of the sender in use
    MailTarget mail;
    WebhookTarget webhook;
    AlertConnection connection;
    int httpSlot;
    StreamSenderState stream;
    UdpSenderState udp;
    RelpSenderState relp;
    SmtpSenderState smtp;
    WebhookSenderState web;
    int waitingToRetry;
    long long retryAtMs;
    long long pauseMs;    // the next pause; doubles up to the cap
    AlertStatus status;
};

// Storage for a channel's queue: kAlertQueueBytes and some room to move.
struct AlertQueueStorage {
    char bytes[kAlertQueueBytes + 64 * 1024];
    AlertQueueEntry entries[kAlertQueueMessages];
};

// A channel with nothing to do, over its own storage; `slot` is its resolve
// (and HTTP) slot, its own for the whole run (below kResolveSlots and kHttpSlots).
void alertChannelInit(AlertChannel& channel, AlertQueueStorage& storage, int slot);

// A small channel for one message at a time (the dialog's test messages).
void alertChannelInitSmall(AlertChannel& channel, char* bytes, unsigned long size, AlertQueueEntry* entries,
                           int entryCount, int slot);

// Replaces the target; waiting messages go to the new one. Disabling drops
// what waits (counted as dropped) and closes any connection.
void alertChannelConfigureSyslog(AlertChannel& channel, const SyslogTarget& target);
void alertChannelConfigureMail(AlertChannel& channel, const MailTarget& target);
void alertChannelConfigureWebhook(AlertChannel& channel, const WebhookTarget& target);

int alertChannelEnabled(const AlertChannel& channel);

// Queues one rendered message. Ignored while disabled.
void alertChannelPost(AlertChannel& channel, const char* message, int length);

// Advances delivery as far as it goes now; never waits.
void alertChannelPump(AlertChannel& channel, long long nowMs);

// Cuts a pause before a retry short, so the next pump tries at once: for
// the last attempts at Exit, when a pause may outlast the time left.
void alertChannelRetrySoon(AlertChannel& channel, long long nowMs);

// Nothing waits for its confirmation.
int alertChannelIdle(const AlertChannel& channel);

AlertStatus alertChannelStatus(const AlertChannel& channel);

// Closes any connection and request; the queue stays.
void alertChannelClose(AlertChannel& channel);

// For senders. The `count` oldest messages are confirmed: they leave the
// queue and count as sent; the pause starts again from its first length.
void alertChannelConfirm(AlertChannel& channel, int count);
// The oldest message is refused for good: it leaves the queue, counted as
// dropped, and `why` becomes the last error.
void alertChannelReject(AlertChannel& channel, const char* why, long long nowMs);
// The attempt failed: the sender's connection goes, the messages stay, and
// the next attempt waits the pause (at least `atLeastMs`), which doubles with
// each failure in a row. `why` becomes the last error.
void alertChannelFail(AlertChannel& channel, const char* why, long long nowMs, long long atLeastMs = 0);

// The words for a connection's failure, naming the peer ("The collector",
// "The mail server"): "The collector refused the connection."
void alertConnectionErrorText(const AlertConnection& connection, const char* peer, char* text, int size);
