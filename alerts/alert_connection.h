#pragma once
// One outgoing stream connection of an alert channel: the name looked up, the
// TCP connect, an optional TLS session, then bytes both ways, and at the end
// a confirmed close. alertConnectionPump advances every step as far as it can
// go without waiting; the protocols on top (stream syslog, RELP, SMTP) write
// plain bytes, read plain bytes, and never see a socket or a record.
//
// Every time is a monotonic clock in milliseconds handed in by the caller.
#include "alerts/alert_targets.h"
#include "platform/name_lookup.h"
#include "platform/net.h"
#include "platform/tls.h"

enum AlertConnectionState {
    ConnectionClosed,       // nothing open
    ConnectionResolving,
    ConnectionConnecting,
    ConnectionHandshaking,  // TLS
    ConnectionOpen,         // bytes flow both ways
    ConnectionFinishing,    // close_notify and the half-close sent (or on their way); waiting for the peer's close
    ConnectionFinished,     // the peer closed after our half-close (our end in TIME_WAIT): every byte sent was read
    ConnectionFailed,       // see `error`
};

// Why a connection failed.
enum AlertError {
    AlertErrorNone,
    AlertErrorResolve,      // the name could not be resolved (in 15 s)
    AlertErrorRefused,      // the connection was refused
    AlertErrorTimedOut,     // no answer in time: connect, handshake, the close, a reply, taking what we send
    AlertErrorUnreachable,  // no route
    AlertErrorClosed,       // the peer closed before it should have
    AlertErrorReset,        // the peer reset the connection
    AlertErrorSend,         // a send failed
    AlertErrorSocket,       // no socket (or no TLS session) could be had
    AlertErrorTls,          // the TLS check failed; see `tlsFailure`
    AlertErrorProtocol,     // the peer said something the protocol does not allow
};

enum : long long {
    kResolveTimeOutMs = 15000,
    kConnectTimeOutMs = 10000,
    kHandshakeTimeOutMs = 10000,
    kCertificateCheckTimeOutMs = 30000,  // from the check's start: its fetching (15 s) and the chain's own work
    kFinishTimeOutMs = 10000,
    kSendTimeOutMs = 30000,  // open or finishing: bytes wait for the peer, and it takes none
};

enum {
    kConnectionInboxSize = kTlsMaxPlain + 1024,                 // plain bytes from the peer, unread
    // From the peer, not yet decrypted: the largest record several times over, so that a server's handshake
    // (its certificate chain may run to tens of KB) fits whole.
    kConnectionRawSize = 4 * kTlsMaxRecord,
    kConnectionOutboxSize = 2 * (kTlsMaxPlain + kTlsRecordOverhead),  // bytes on their way to the socket
};

// Where a connection goes: a name and a port, with or without TLS.
struct AlertEndpoint {
    const char* host;
    int port;
    int tls;                             // 1: implicit TLS from the first byte
    const AlertFingerprint* fingerprint; // TLS: nullptr or !present for the trust store and the name
};

struct AlertConnection {
    AlertConnectionState state;
    int resolveSlot;                // the owner's, for its whole life
    char host[kAlertHostSize];
    int port;
    int wantTls;
    AlertFingerprint fingerprint;
    unsigned char address[4];
    SocketHandle socket;
    int localPort;                  // ours, once connected: the TCP table's witness to the close finds us by it
    int tlsSession;                 // 0: plain
    int checking;                   // the TLS session's certificate check runs (its deadline is set)
    long long deadlineMs;           // of the step under way
    char raw[kConnectionRawSize];   // from the socket, not yet decrypted (TLS)
    int rawLength;
    char inbox[kConnectionInboxSize];
    int inboxLength;
    char outbox[kConnectionOutboxSize];
    int outboxLength, outboxSent;
    long long sendByMs;             // bytes wait in the outbox: the peer must take some by then (0: none wait)
    int peerClosed;                 // the peer's end of stream (or TLS close_notify) came
    int halfClosed;                 // our end of stream went out
    int closeNotified;              // TLS: our close_notify went out a pump before our end of stream
    int closeWaitSeen;              // the peer closed first; the TCP table showed our end in CLOSE_WAIT once
    AlertError error;
    TlsFailure tlsFailure;
};

// Sets the connection's resolve slot; at the start of its owner's life.
void alertConnectionInit(AlertConnection& connection, int resolveSlot);

// Starts: closes what was open, then resolves, connects and, for TLS,
// handshakes. Open once all that is done.
void alertConnectionOpen(AlertConnection& connection, const AlertEndpoint& endpoint, long long nowMs);

// Advances the connection: each step it can take now; sends what the
// outbox holds; reads what came into the inbox (bounded by its room). A
// failure leaves it Failed with its reason; the socket is closed then.
void alertConnectionPump(AlertConnection& connection, long long nowMs);

// Queues plain bytes to send (encrypted first under TLS). Returns how many
// were taken now, from 0 (no room: pump, and come back) to `length`.
int alertConnectionWrite(AlertConnection& connection, const char* data, int length);

// Nothing queued for the socket is left.
int alertConnectionDrained(const AlertConnection& connection);

// Removes the first `count` bytes of the inbox (read by the protocol).
void alertConnectionConsume(AlertConnection& connection, int count);

// Turns an open plain connection into TLS (STARTTLS): Handshaking, then Open.
void alertConnectionStartTls(AlertConnection& connection, long long nowMs);

// The confirmed close: once every byte is out, TLS close_notify and (a pump
// later) the half-close, then Finished when the peer closes within 10 s: its
// end of stream, with our end in TIME_WAIT in the system's TCP table, or in
// CLOSE_WAIT at two looks when a TLS peer closed on the close_notify before
// our half-close (a reset leaves it gone, where a reset reads as an end of
// stream; CLOSING is looked at again on the next pump). Bytes the peer sends
// meanwhile are read and dropped. A reset, an end of stream before our
// half-close (or close_notify) went out, or the time-out: Failed.
void alertConnectionFinish(AlertConnection& connection, long long nowMs);

// Closes at once, whatever the state: Closed.
void alertConnectionClose(AlertConnection& connection);

// Sets a deadline for the protocol's own wait (an answer): Failed with
// AlertErrorTimedOut when it passes while Open.
void alertConnectionExpectBy(AlertConnection& connection, long long deadlineMs);
