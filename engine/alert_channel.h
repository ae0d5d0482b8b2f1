#pragma once
// Delivery of alerts to a syslog collector: a bounded queue in memory and a
// connection that is driven, never waited for. alertChannelPump advances
// every step (name resolution, TCP connect, sends) as far as it can go
// without blocking; the window calls it from a timer and after each post.
// Every time is a monotonic clock in milliseconds handed in by the caller,
// so tests drive the channel with a clock of their own.
#include "engine/net.h"

#include <deque>
#include <string>

enum AlertProtocol { AlertUdp = 0, AlertTcp = 1 };

enum {
    kAlertDefaultPort = 514,
    kAlertHostSize = 256,          // a host name of up to 255 characters
    kAlertQueueMessages = 10000,   // waiting messages at most; then the oldest go
    kAlertQueueBytes = 4 << 20,    // and at most 4 MiB of them
};

// Where alerts go. `enabled` 0: nothing is sent and posts are ignored.
struct AlertTarget {
    int enabled;
    char collector[kAlertHostSize];  // a host name or a dotted IPv4 address
    int port;                        // 1 to 65535
    AlertProtocol protocol;
};

// Why the last attempt failed, in words for the dialog.
enum AlertError {
    AlertErrorNone,
    AlertErrorResolve,      // the name could not be resolved
    AlertErrorRefused,      // the connection was refused
    AlertErrorTimedOut,     // the collector did not answer
    AlertErrorUnreachable,  // no route to the collector
    AlertErrorClosed,       // the collector closed or reset the connection
    AlertErrorSend,         // a send failed
    AlertErrorSocket,       // no socket could be had
};
const char* alertErrorText(AlertError error);

// What the channel has done since the program started.
struct AlertStatus {
    unsigned long sent;
    unsigned long waiting;
    unsigned long dropped;
    AlertError lastError;
    long long lastErrorAtMs;  // on the caller's clock; meaningful when lastError is set
};

enum AlertChannelState { AlertIdle, AlertResolving, AlertConnecting, AlertConnected, AlertWaitingToRetry };

// One channel for the whole run; a second one serves the dialog's test message.
// Plain fields, zero-initialised; only the functions below change them.
struct AlertChannel {
    AlertTarget target{};
    std::deque<std::string> queue;  // messages as posted, oldest first; TCP frames each as it goes
    unsigned long queuedBytes = 0;
    unsigned long headSent = 0;     // bytes of the framed queue.front() already on the wire (TCP)
    AlertChannelState state = AlertIdle;
    SocketHandle socket = kNoSocket;
    int resolveRequest = 0;
    unsigned char address[4] = {};
    long long deadlineMs = 0;       // end of the connect wait, or of the pause before a retry
    long long retryPauseMs = 0;     // the next pause; doubles up to the cap
    AlertStatus status{};
};

// Replaces the target; waiting messages go to the new one. Disabling drops
// what waits (counted as dropped) and closes any connection.
void alertChannelConfigure(AlertChannel& channel, const AlertTarget& target);

// Queues one unframed message (the channel frames it for TCP). Ignored while
// disabled. When the bound is reached the oldest waiting message is dropped.
void alertChannelPost(AlertChannel& channel, const std::string& message);

// Advances delivery as far as it goes now; never waits.
void alertChannelPump(AlertChannel& channel, long long nowMs);

// Cuts a pause before a retry short, so the next pump tries at once: for
// the last attempts at Exit, when a pause may outlast the time left.
void alertChannelRetrySoon(AlertChannel& channel, long long nowMs);

// Nothing waits and no partial message is on the wire.
int alertChannelIdle(const AlertChannel& channel);

AlertStatus alertChannelStatus(const AlertChannel& channel);

// Closes any socket and any pending resolution; the queue stays.
void alertChannelClose(AlertChannel& channel);

// Builds the event's message at the current UTC time and posts it.
struct SyslogOrigin;
struct AlertFacts;
void alertChannelPostEvent(AlertChannel& channel, const SyslogOrigin& origin, const AlertFacts& facts);
