#pragma once
// The syslog channel's senders without acknowledgements of their own.
//
// Stream (TCP, RFC 6587, and TLS, RFC 5425): no connection is held between
// bursts. When messages wait: connect, write them all, half-close (after TLS
// close_notify), and wait for the collector's own close. A collector reads to
// the end of the stream before it closes, so its close confirms every byte:
// only then do the messages leave the queue. A reset, an early close, or no
// close within 10 s leaves them queued, to go out again whole on the next
// connection after the pause. Messages posted once the close is under way
// wait for the next connection. A new plain connection waits a moment
// before its first byte: a port that accepts and closes at once (an access
// list, a balancer without a backend) shows its close then, before any
// message could pass for received.
//
// UDP (RFC 5426): a datagram the network took counts as sent, unconfirmed. A
// send that fails here keeps the message for the next attempt. The name is
// looked up again when the last look-up is 5 minutes old.
#include "engine/alert_channel.h"

void streamSenderPump(AlertChannel& channel, long long nowMs);
void streamSenderClose(AlertChannel& channel);

void udpSenderPump(AlertChannel& channel, long long nowMs);
void udpSenderClose(AlertChannel& channel);
