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
#include "engine/alert_connection.h"
#include "engine/alert_queue.h"
#include "engine/alert_targets.h"

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

// The state each sender keeps between pumps.
struct StreamSenderState {
    int batch;               // messages on this connection, from the front of the queue
    int written;             // of them, written whole
    unsigned long headSent;  // bytes of the next one written
    int finishing;           // all written: the confirmed close is under way
    int open;                // the connection was seen open
    long long writeFromMs;   // nothing is written before: a peer that closes at once shows first
};

struct UdpSenderState {
    SocketHandle socket;
    unsigned char address[4];
    int resolved, resolving;
    long long resolvedAtMs;    // a name is looked up again 5 minutes after
    long long resolveDeadlineMs;
};

enum { kRelpDataKept = 256 };
// One RELP frame as it is read: where the last read stopped.
struct RelpFrameReader {
    int state;
    unsigned long txnr, length, read;
    char command[16];
    int commandLength;
    char data[kRelpDataKept];  // the start of its data; the rest is read and dropped
    int dataLength;
};

struct RelpSenderState {
    int phase;               // the relp sender's own
    unsigned long nextTxnr;  // 1 to 999999999
    unsigned long closeTxnr;
    int inFlight;            // messages written whole and not answered yet, from the front of the queue
    unsigned long headSent;  // bytes of the next message's frame written
    long long idleSinceMs;
    RelpFrameReader reader;
};

enum {
    kSmtpReplySize = 512,      // one reply line, CR LF included (RFC 5321 4.5.3.1.5)
    kSmtpOutSize = 9 * 1024,   // a command, or a rendered mail dot-stuffed
};
// One SMTP session: what the sender knows of the server and what is on its way.
struct SmtpSession {
    int phase;               // the smtp sender's own
    int recipient;           // the RCPT TO under way
    int accepted;            // recipients the server took for this mail
    int startTlsOffered, authPlain, authLogin;  // from the last EHLO
    char reply[kSmtpReplySize];  // the first line of the reply being read
    int replyLines;
    int replyBytes;
    char out[kSmtpOutSize];  // the command or the mail not yet taken by the connection
    int outLength, outSent;
};
struct SmtpSenderState {
    char heloName[kAlertHostSize];  // for EHLO: this PC's name, set by the owner (smtpSenderSetHeloName)
    SmtpSession session;            // starts anew with each connection
};

struct WebhookSenderState {
    int requestUnderWay;  // the oldest message is being posted (and locked in the queue)
    long long giveUpAtMs; // when the request is abandoned, should WinHTTP's own time-outs not end it
};

struct AlertChannel {
    AlertSender sender;
    AlertQueue queue;
    AlertTarget syslog;   // the target of the sender in use
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
void alertChannelConfigureSyslog(AlertChannel& channel, const AlertTarget& target);
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

// Our `words`, then `peerWords` (what a server said), of which only the
// printable ASCII is kept: a peer's bytes never reach a status line raw.
void alertPeerWordsText(const char* words, const char* peerWords, char* text, int size);

// The words for a connection's failure, naming the peer ("The collector",
// "The mail server"): "The collector refused the connection."
void alertConnectionErrorText(const AlertConnection& connection, const char* peer, char* text, int size);
