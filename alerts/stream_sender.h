#pragma once
// Syslog over a stream (TCP, RFC 6587, and TLS, RFC 5425): no connection is
// held between bursts. When messages wait: connect, write them all,
// half-close (after TLS close_notify), and wait for the collector's own
// close. A collector reads to the end of the stream before it closes, so its
// close confirms every byte (its end of stream, with our end in TIME_WAIT:
// see alert_connection): only then do the messages leave the queue. A reset,
// an early close, or no close within 10 s leaves them queued, to go out
// again whole on the next connection after the pause. Messages posted
// once the close is under way wait for the next connection. A new plain
// connection waits a moment before its first byte: a port that accepts and
// closes at once (an access list, a balancer without a backend) shows its
// close then, before any message could pass for received.
struct AlertChannel;

// What the stream sender keeps between pumps.
struct StreamSenderState {
    int batch;               // messages on this connection, from the front of the queue
    int written;             // of them, written whole
    unsigned long headSent;  // bytes of the next one written
    int finishing;           // all written: the confirmed close is under way
    int open;                // the connection was seen open
    long long writeFromMs;   // nothing is written before: a peer that closes at once shows first
};

void streamSenderPump(AlertChannel& channel, long long nowMs);
void streamSenderClose(AlertChannel& channel);
