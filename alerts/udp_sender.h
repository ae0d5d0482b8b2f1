#pragma once
// Syslog over UDP (RFC 5426): a datagram the network took counts as sent,
// unconfirmed. A send that fails here keeps the message for the next
// attempt. The name is looked up again when the last look-up is 5 minutes
// old.
#include "platform/socket_set.h"

struct AlertChannel;

// What the UDP sender keeps between pumps.
struct UdpSenderState {
    SocketHandle socket;
    unsigned char address[4];
    int resolved, resolving;
    long long resolvedAtMs;    // a name is looked up again 5 minutes after
    long long resolveDeadlineMs;
};

void udpSenderPump(AlertChannel& channel, long long nowMs);
void udpSenderClose(AlertChannel& channel);
