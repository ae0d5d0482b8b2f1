#include "alerts/alert_connection.h"

#include <cstring>

namespace {

// Each pump reads at most this many times from the socket, so that a peer
// that sends without end cannot hold the window.
enum { kReadsPerPump = 8, kStepsPerPump = 8 };

void fail(AlertConnection& connection, AlertError error, TlsFailure tlsFailure = TlsFailureNone)
{
    netClose(connection.socket);
    connection.socket = kNoSocket;
    tlsFree(connection.tlsSession);
    connection.tlsSession = 0;
    if (connection.state == ConnectionResolving)
        netResolveCancel(connection.resolveSlot);
    connection.state = ConnectionFailed;
    connection.error = error;
    connection.tlsFailure = tlsFailure;
}

AlertError errorOf(NetError error)
{
    switch (error) {
    case NetErrorRefused: return AlertErrorRefused;
    case NetErrorTimedOut: return AlertErrorTimedOut;
    case NetErrorReset: return AlertErrorReset;
    case NetErrorOther: return AlertErrorSocket;
    default: return AlertErrorUnreachable;
    }
}

// The protocol on top sets its own deadlines from here on.
void becomeOpen(AlertConnection& connection)
{
    connection.state = ConnectionOpen;
    connection.deadlineMs = 0;
}

int outboxRoom(AlertConnection& connection)
{
    if (connection.outboxSent > 0) {
        std::memmove(connection.outbox, connection.outbox + connection.outboxSent,
                     static_cast<size_t>(connection.outboxLength - connection.outboxSent));
        connection.outboxLength -= connection.outboxSent;
        connection.outboxSent = 0;
    }
    return kConnectionOutboxSize - connection.outboxLength;
}

// Sends what the outbox holds, as far as the socket takes it now. A peer
// that takes none of it for kSendTimeOutMs has stopped reading: it fails.
void flush(AlertConnection& connection, long long nowMs)
{
    bool progressed = false;
    while (connection.outboxSent < connection.outboxLength) {
        const int taken = netSendSome(connection.socket, connection.outbox + connection.outboxSent,
                                      connection.outboxLength - connection.outboxSent);
        if (taken == NetSendFailed)
            return fail(connection, AlertErrorSend);
        if (taken == 0)
            break;
        connection.outboxSent += taken;
        progressed = true;
    }
    if (alertConnectionDrained(connection)) {
        connection.outboxLength = connection.outboxSent = 0;
        connection.sendByMs = 0;
    } else if (progressed || connection.sendByMs == 0) {
        connection.sendByMs = nowMs + kSendTimeOutMs;
    } else if (nowMs >= connection.sendByMs) {
        fail(connection, AlertErrorTimedOut);
    }
}

// Reads what the peer sent into `raw` (TLS, or a plain connection that is
// finishing) or the inbox. Notes the peer's end of stream; a reset fails.
void readSocket(AlertConnection& connection)
{
    const bool toRaw = connection.tlsSession != 0 || connection.state == ConnectionFinishing;
    for (int reads = 0; reads < kReadsPerPump && !connection.peerClosed; ++reads) {
        char* into = toRaw ? connection.raw + connection.rawLength : connection.inbox + connection.inboxLength;
        const int room =
            toRaw ? kConnectionRawSize - connection.rawLength : kConnectionInboxSize - connection.inboxLength;
        if (room == 0)
            return;
        const int received = netReceive(connection.socket, into, room);
        if (received == NetReceiveWouldBlock)
            return;
        if (received == NetReceiveFailed)
            return fail(connection, AlertErrorReset);
        if (received == 0)
            connection.peerClosed = 1;
        (toRaw ? connection.rawLength : connection.inboxLength) += received;
    }
}

void consumeRaw(AlertConnection& connection, int used)
{
    std::memmove(connection.raw, connection.raw + used, static_cast<size_t>(connection.rawLength - used));
    connection.rawLength -= used;
}

// Whole records from `raw` into the inbox, while it has room for one's plain
// bytes. `raw` holds the largest record: full, and still not one, is no TLS.
void decrypt(AlertConnection& connection)
{
    while (connection.rawLength > 0 && kConnectionInboxSize - connection.inboxLength >= kTlsMaxPlain) {
        int used = 0, plainLength = 0;
        const TlsResult result = tlsDecrypt(connection.tlsSession, connection.raw, connection.rawLength, used,
                                            connection.inbox + connection.inboxLength,
                                            kConnectionInboxSize - connection.inboxLength, plainLength);
        if (result == TlsFailed)
            return fail(connection, AlertErrorProtocol);
        consumeRaw(connection, used);
        connection.inboxLength += plainLength;
        if (result == TlsClosed)
            connection.peerClosed = 1;
        if (result == TlsNeedMore && connection.rawLength == kConnectionRawSize)
            return fail(connection, AlertErrorProtocol);
        if (result == TlsNeedMore || result == TlsClosed)
            return;
    }
}

// One handshake step for each batch of the server's bytes.
void handshake(AlertConnection& connection)
{
    for (int steps = 0; steps < kStepsPerPump && connection.state == ConnectionHandshaking; ++steps) {
        if (outboxRoom(connection) < kTlsHandshakeOut)
            return;
        int used = 0, produced = 0;
        TlsFailure failure = TlsFailureNone;
        const TlsResult result = tlsHandshake(connection.tlsSession, connection.raw, connection.rawLength, used,
                                              connection.outbox + connection.outboxLength,
                                              kConnectionOutboxSize - connection.outboxLength, produced, failure);
        consumeRaw(connection, used);
        connection.outboxLength += produced;
        if (result == TlsFailed)
            return fail(connection, AlertErrorTls, failure == TlsFailureNone ? TlsFailureHandshake : failure);
        if (result == TlsDone)
            becomeOpen(connection);
        else if (used == 0 && produced == 0)
            return;  // it needs more of the server's bytes
    }
}

void beginHandshake(AlertConnection& connection, long long nowMs)
{
    connection.tlsSession =
        tlsOpen(connection.host, connection.fingerprint.present ? connection.fingerprint.sha256 : nullptr);
    if (!connection.tlsSession)
        return fail(connection, AlertErrorSocket);
    connection.state = ConnectionHandshaking;
    connection.checking = 0;
    connection.deadlineMs = nowMs + kHandshakeTimeOutMs;
    handshake(connection);
}

void startConnect(AlertConnection& connection, long long nowMs)
{
    NetError error = NetErrorNone;
    connection.socket = netConnectStart(connection.address, connection.port, error);
    connection.state = ConnectionConnecting;
    connection.deadlineMs = nowMs + kConnectTimeOutMs;
    if (connection.socket == kNoSocket)
        fail(connection, errorOf(error));
}

void pollResolve(AlertConnection& connection, long long nowMs)
{
    const NetResolveState state = netResolvePoll(connection.resolveSlot, connection.address);
    if (state == NetResolved)
        startConnect(connection, nowMs);
    else if (state == NetResolveFailed || nowMs >= connection.deadlineMs)
        fail(connection, AlertErrorResolve);
}

void pollConnect(AlertConnection& connection, long long nowMs)
{
    NetError error = NetErrorNone;
    const NetConnectState state = netConnectPoll(connection.socket, 0, error);
    if (state == NetConnectFailed)
        fail(connection, errorOf(error));
    else if (state == NetConnectPending && nowMs >= connection.deadlineMs)
        fail(connection, AlertErrorTimedOut);
    if (state != NetConnected)
        return;
    connection.localPort = netLocalPort(connection.socket);
    if (connection.wantTls)
        beginHandshake(connection, nowMs);
    else
        becomeOpen(connection);
}

void pumpHandshake(AlertConnection& connection, long long nowMs)
{
    flush(connection, nowMs);
    if (connection.state == ConnectionHandshaking)
        readSocket(connection);
    if (connection.state == ConnectionHandshaking)
        handshake(connection);
    if (connection.state != ConnectionHandshaking)
        return;
    // The certificate check has a deadline of its own, from its start.
    if (!connection.checking && tlsCheckPending(connection.tlsSession)) {
        connection.checking = 1;
        connection.deadlineMs = nowMs + kCertificateCheckTimeOutMs;
    }
    // A server that closes or never finishes the handshake is not a TLS collector; a certificate whose chain
    // could not be checked in time is not trusted.
    if (connection.peerClosed)
        fail(connection, AlertErrorTls, TlsFailureHandshake);
    else if (nowMs >= connection.deadlineMs && connection.checking)
        fail(connection, AlertErrorTls, TlsFailureUntrusted);
    else if (nowMs >= connection.deadlineMs)
        fail(connection, AlertErrorTimedOut);
}

void pumpOpen(AlertConnection& connection, long long nowMs)
{
    readSocket(connection);
    if (connection.state == ConnectionOpen && connection.tlsSession)
        decrypt(connection);
    if (connection.state == ConnectionOpen)
        flush(connection, nowMs);
    if (connection.state == ConnectionOpen && connection.deadlineMs != 0 && nowMs >= connection.deadlineMs)
        fail(connection, AlertErrorTimedOut);
}

// The peer's end of stream confirms only with a second witness, the TCP
// table: one Windows emulation reports a reset as an end of stream too, but
// a reset takes our end out of the table. After our half-close the peer's
// own close leaves our end in TIME_WAIT (CLOSING: ours is not acknowledged
// yet). A TLS peer that closed on our close_notify, before our half-close,
// leaves it in CLOSE_WAIT: looked at again on the next pump, so that a reset
// our last bytes drew has come by then.
void witnessClose(AlertConnection& connection, long long nowMs)
{
    const NetTcpState ours = netTcpState(connection.localPort, connection.address, connection.port);
    if (ours == NetTcpTimeWait || (ours == NetTcpCloseWait && connection.closeWaitSeen)) {
        alertConnectionClose(connection);
        connection.state = ConnectionFinished;
    } else if (ours == NetTcpOther) {
        fail(connection, AlertErrorReset);
    } else if (nowMs >= connection.deadlineMs) {
        fail(connection, AlertErrorTimedOut);
    } else {
        connection.closeWaitSeen = ours == NetTcpCloseWait;
    }
}

// Our end of stream, once every byte went. A TLS peer may close on our
// close_notify alone: it has a pump to do so before ours goes, for its
// close shows (CLOSE_WAIT) only while ours has not gone; after that, our end
// leaves the table as it does after a reset.
void halfClose(AlertConnection& connection)
{
    if (connection.tlsSession && !connection.closeNotified) {
        connection.closeNotified = 1;
        return;
    }
    if (!netShutdownSend(connection.socket))
        return fail(connection, AlertErrorSend);
    connection.halfClosed = 1;
    readSocket(connection);
    connection.rawLength = 0;
}

// What the peer sends now is not read as an answer: it goes. Its end of
// stream before ours is no receipt unless our close_notify went before it.
void pumpFinishing(AlertConnection& connection, long long nowMs)
{
    readSocket(connection);
    connection.rawLength = 0;
    if (connection.state != ConnectionFinishing)
        return;
    if (connection.peerClosed && !connection.halfClosed && !connection.closeNotified)
        return fail(connection, AlertErrorClosed);
    flush(connection, nowMs);
    if (connection.state == ConnectionFinishing && !connection.halfClosed && !connection.peerClosed &&
        alertConnectionDrained(connection))
        halfClose(connection);
    if (connection.state != ConnectionFinishing)
        return;
    if (connection.peerClosed)
        witnessClose(connection, nowMs);
    else if (nowMs >= connection.deadlineMs)
        fail(connection, AlertErrorTimedOut);
}

void step(AlertConnection& connection, long long nowMs)
{
    switch (connection.state) {
    case ConnectionResolving: pollResolve(connection, nowMs); break;
    case ConnectionConnecting: pollConnect(connection, nowMs); break;
    case ConnectionHandshaking: pumpHandshake(connection, nowMs); break;
    case ConnectionOpen: pumpOpen(connection, nowMs); break;
    case ConnectionFinishing: pumpFinishing(connection, nowMs); break;
    default: break;
    }
}

} // namespace

void alertConnectionInit(AlertConnection& connection, int resolveSlot)
{
    connection.state = ConnectionClosed;
    connection.socket = kNoSocket;
    connection.tlsSession = 0;
    connection.resolveSlot = resolveSlot;
}

void alertConnectionOpen(AlertConnection& connection, const AlertEndpoint& endpoint, long long nowMs)
{
    alertConnectionClose(connection);
    std::strncpy(connection.host, endpoint.host, sizeof connection.host - 1);
    connection.host[sizeof connection.host - 1] = '\0';
    connection.port = endpoint.port;
    connection.wantTls = endpoint.tls;
    connection.fingerprint = endpoint.fingerprint ? *endpoint.fingerprint : AlertFingerprint{};
    connection.state = ConnectionResolving;
    connection.deadlineMs = nowMs + kResolveTimeOutMs;
    if (!netResolveStart(connection.resolveSlot, connection.host))
        fail(connection, AlertErrorResolve);
}

void alertConnectionPump(AlertConnection& connection, long long nowMs)
{
    // Resolve, connect and handshake may each be done at once.
    for (int steps = 0; steps < kStepsPerPump; ++steps) {
        const AlertConnectionState before = connection.state;
        step(connection, nowMs);
        if (connection.state == before || connection.state == ConnectionFailed ||
            connection.state == ConnectionFinished)
            return;
    }
}

int alertConnectionWrite(AlertConnection& connection, const char* data, int length)
{
    if (connection.state != ConnectionOpen || connection.peerClosed || length <= 0)
        return 0;
    if (!connection.tlsSession) {
        const int room = outboxRoom(connection);
        const int taken = length < room ? length : room;
        std::memcpy(connection.outbox + connection.outboxLength, data, static_cast<size_t>(taken));
        connection.outboxLength += taken;
        return taken;
    }
    if (outboxRoom(connection) < kTlsMaxPlain + kTlsRecordOverhead)
        return 0;
    int produced = 0;
    const int taken = tlsEncrypt(connection.tlsSession, data, length, connection.outbox + connection.outboxLength,
                                 kConnectionOutboxSize - connection.outboxLength, produced);
    if (taken == 0) {
        fail(connection, AlertErrorProtocol);
        return 0;
    }
    connection.outboxLength += produced;
    return taken;
}

int alertConnectionDrained(const AlertConnection& connection)
{
    return connection.outboxSent == connection.outboxLength;
}

void alertConnectionConsume(AlertConnection& connection, int count)
{
    if (count > connection.inboxLength)
        count = connection.inboxLength;
    std::memmove(connection.inbox, connection.inbox + count, static_cast<size_t>(connection.inboxLength - count));
    connection.inboxLength -= count;
}

void alertConnectionStartTls(AlertConnection& connection, long long nowMs)
{
    if (connection.state != ConnectionOpen || connection.tlsSession)
        return;
    // Bytes that came in the clear before the handshake are not trusted after it.
    connection.inboxLength = 0;
    beginHandshake(connection, nowMs);
}

void alertConnectionFinish(AlertConnection& connection, long long nowMs)
{
    if (connection.state != ConnectionOpen)
        return;
    if (connection.tlsSession) {
        char notify[256];
        const int length = tlsCloseNotify(connection.tlsSession, notify, sizeof notify);
        if (length > outboxRoom(connection) || length == 0)
            return fail(connection, AlertErrorProtocol);
        std::memcpy(connection.outbox + connection.outboxLength, notify, static_cast<size_t>(length));
        connection.outboxLength += length;
    }
    connection.state = ConnectionFinishing;
    connection.deadlineMs = nowMs + kFinishTimeOutMs;
    connection.rawLength = 0;
    pumpFinishing(connection, nowMs);
}

void alertConnectionClose(AlertConnection& connection)
{
    if (connection.state == ConnectionResolving)
        netResolveCancel(connection.resolveSlot);
    netClose(connection.socket);
    connection.socket = kNoSocket;
    tlsFree(connection.tlsSession);
    connection.tlsSession = 0;
    connection.state = ConnectionClosed;
    connection.rawLength = connection.inboxLength = connection.outboxLength = connection.outboxSent = 0;
    connection.peerClosed = connection.halfClosed = connection.closeNotified = connection.closeWaitSeen = 0;
    connection.deadlineMs = connection.sendByMs = 0;
    connection.error = AlertErrorNone;
    connection.tlsFailure = TlsFailureNone;
}

void alertConnectionExpectBy(AlertConnection& connection, long long deadlineMs)
{
    connection.deadlineMs = deadlineMs;
}
