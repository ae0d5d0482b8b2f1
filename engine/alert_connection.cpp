#include "engine/alert_connection.h"

#include <cstring>

namespace {

// Each pump reads at most this many times from the socket, so that a peer
// that sends without end cannot hold the window.
enum { kReadsPerPump = 8, kStepsPerPump = 8 };

void fail(AlertConnection& c, AlertError error, TlsFailure tlsFailure = TlsFailureNone)
{
    netClose(c.socket);
    c.socket = kNoSocket;
    tlsFree(c.tlsSession);
    c.tlsSession = 0;
    if (c.state == ConnectionResolving)
        netResolveCancel(c.resolveSlot);
    c.state = ConnectionFailed;
    c.error = error;
    c.tlsFailure = tlsFailure;
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
void becomeOpen(AlertConnection& c)
{
    c.state = ConnectionOpen;
    c.deadlineMs = 0;
}

int outboxRoom(AlertConnection& c)
{
    if (c.outboxSent > 0) {
        std::memmove(c.outbox, c.outbox + c.outboxSent, static_cast<size_t>(c.outboxLength - c.outboxSent));
        c.outboxLength -= c.outboxSent;
        c.outboxSent = 0;
    }
    return kConnectionOutboxSize - c.outboxLength;
}

// Sends what the outbox holds, as far as the socket takes it now.
void flush(AlertConnection& c)
{
    while (c.outboxSent < c.outboxLength) {
        const int taken = netSendSome(c.socket, c.outbox + c.outboxSent, c.outboxLength - c.outboxSent);
        if (taken == NetSendFailed)
            return fail(c, AlertErrorSend);
        if (taken == 0)
            return;
        c.outboxSent += taken;
    }
    c.outboxLength = c.outboxSent = 0;
}

// Reads what the peer sent into `raw` (TLS, or a plain connection that is
// finishing) or the inbox. Notes the peer's end of stream; a reset fails.
void readSocket(AlertConnection& c)
{
    const bool toRaw = c.tlsSession != 0 || c.state == ConnectionFinishing;
    for (int reads = 0; reads < kReadsPerPump && !c.peerClosed; ++reads) {
        char* into = toRaw ? c.raw + c.rawLength : c.inbox + c.inboxLength;
        const int room = toRaw ? kConnectionRawSize - c.rawLength : kConnectionInboxSize - c.inboxLength;
        if (room == 0)
            return;
        const int received = netReceive(c.socket, into, room);
        if (received == NetReceiveWouldBlock)
            return;
        if (received == NetReceiveFailed)
            return fail(c, AlertErrorReset);
        if (received == 0)
            c.peerClosed = 1;
        (toRaw ? c.rawLength : c.inboxLength) += received;
    }
}

void consumeRaw(AlertConnection& c, int used)
{
    std::memmove(c.raw, c.raw + used, static_cast<size_t>(c.rawLength - used));
    c.rawLength -= used;
}

// Whole records from `raw` into the inbox, while it has room for one.
void decrypt(AlertConnection& c)
{
    while (c.rawLength > 0 && kConnectionInboxSize - c.inboxLength >= kTlsMaxPlain) {
        int used = 0, plainLength = 0;
        const TlsResult result = tlsDecrypt(c.tlsSession, c.raw, c.rawLength, used, c.inbox + c.inboxLength,
                                            kConnectionInboxSize - c.inboxLength, plainLength);
        if (result == TlsFailed)
            return fail(c, AlertErrorProtocol);
        consumeRaw(c, used);
        c.inboxLength += plainLength;
        if (result == TlsClosed)
            c.peerClosed = 1;
        if (result == TlsNeedMore || result == TlsClosed)
            return;
    }
    if (c.rawLength == kConnectionRawSize)
        fail(c, AlertErrorProtocol);  // more than a record, and still not one
}

// One handshake step for each batch of the server's bytes.
void handshake(AlertConnection& c)
{
    for (int steps = 0; steps < kStepsPerPump && c.state == ConnectionHandshaking; ++steps) {
        if (outboxRoom(c) < kTlsHandshakeOut)
            return;
        int used = 0, produced = 0;
        TlsFailure failure = TlsFailureNone;
        const TlsResult result = tlsHandshake(c.tlsSession, c.raw, c.rawLength, used, c.outbox + c.outboxLength,
                                              kConnectionOutboxSize - c.outboxLength, produced, failure);
        consumeRaw(c, used);
        c.outboxLength += produced;
        if (result == TlsFailed)
            return fail(c, AlertErrorTls, failure == TlsFailureNone ? TlsFailureHandshake : failure);
        if (result == TlsDone)
            becomeOpen(c);
        else if (used == 0 && produced == 0)
            return;  // it needs more of the server's bytes
    }
}

void beginHandshake(AlertConnection& c, long long nowMs)
{
    c.tlsSession = tlsOpen(c.host, c.fingerprint.present ? c.fingerprint.sha256 : nullptr);
    if (!c.tlsSession)
        return fail(c, AlertErrorSocket);
    c.state = ConnectionHandshaking;
    c.deadlineMs = nowMs + kHandshakeTimeOutMs;
    handshake(c);
}

void startConnect(AlertConnection& c, long long nowMs)
{
    NetError error = NetErrorNone;
    c.socket = netConnectStart(c.address, c.port, error);
    c.state = ConnectionConnecting;
    c.deadlineMs = nowMs + kConnectTimeOutMs;
    if (c.socket == kNoSocket)
        fail(c, errorOf(error));
}

void pollResolve(AlertConnection& c, long long nowMs)
{
    const NetResolveState state = netResolvePoll(c.resolveSlot, c.address);
    if (state == NetResolved)
        startConnect(c, nowMs);
    else if (state == NetResolveFailed || nowMs >= c.deadlineMs)
        fail(c, AlertErrorResolve);
}

void pollConnect(AlertConnection& c, long long nowMs)
{
    NetError error = NetErrorNone;
    const NetConnectState state = netConnectPoll(c.socket, 0, error);
    if (state == NetConnectFailed)
        fail(c, errorOf(error));
    else if (state == NetConnectPending && nowMs >= c.deadlineMs)
        fail(c, AlertErrorTimedOut);
    else if (state == NetConnected && c.wantTls)
        beginHandshake(c, nowMs);
    else if (state == NetConnected)
        becomeOpen(c);
}

void pumpHandshake(AlertConnection& c, long long nowMs)
{
    flush(c);
    if (c.state == ConnectionHandshaking)
        readSocket(c);
    if (c.state == ConnectionHandshaking)
        handshake(c);
    if (c.state != ConnectionHandshaking)
        return;
    // A server that closes or never finishes the handshake is not a TLS collector.
    if (c.peerClosed)
        fail(c, AlertErrorTls, TlsFailureHandshake);
    else if (nowMs >= c.deadlineMs)
        fail(c, AlertErrorTimedOut);
}

void pumpOpen(AlertConnection& c, long long nowMs)
{
    readSocket(c);
    if (c.state == ConnectionOpen && c.tlsSession)
        decrypt(c);
    if (c.state == ConnectionOpen)
        flush(c);
    if (c.state == ConnectionOpen && c.deadlineMs != 0 && nowMs >= c.deadlineMs)
        fail(c, AlertErrorTimedOut);
}

// What the peer sends now is not read as an answer: it goes.
void pumpFinishing(AlertConnection& c, long long nowMs)
{
    readSocket(c);
    c.rawLength = 0;
    if (c.state != ConnectionFinishing)
        return;
    if (c.peerClosed && !c.halfClosed)
        return fail(c, AlertErrorClosed);
    flush(c);
    if (c.state == ConnectionFinishing && !c.halfClosed && alertConnectionDrained(c)) {
        if (!netShutdownSend(c.socket))
            return fail(c, AlertErrorSend);
        c.halfClosed = 1;
        readSocket(c);
        c.rawLength = 0;
    }
    if (c.state != ConnectionFinishing)
        return;
    if (c.peerClosed && c.halfClosed) {
        alertConnectionClose(c);
        c.state = ConnectionFinished;
    } else if (nowMs >= c.deadlineMs) {
        fail(c, AlertErrorTimedOut);
    }
}

void step(AlertConnection& c, long long nowMs)
{
    switch (c.state) {
    case ConnectionResolving: pollResolve(c, nowMs); break;
    case ConnectionConnecting: pollConnect(c, nowMs); break;
    case ConnectionHandshaking: pumpHandshake(c, nowMs); break;
    case ConnectionOpen: pumpOpen(c, nowMs); break;
    case ConnectionFinishing: pumpFinishing(c, nowMs); break;
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

void alertConnectionOpen(AlertConnection& c, const AlertEndpoint& endpoint, long long nowMs)
{
    alertConnectionClose(c);
    std::strncpy(c.host, endpoint.host, sizeof c.host - 1);
    c.host[sizeof c.host - 1] = '\0';
    c.port = endpoint.port;
    c.wantTls = endpoint.tls;
    c.fingerprint = endpoint.fingerprint ? *endpoint.fingerprint : AlertFingerprint{};
    c.state = ConnectionResolving;
    c.deadlineMs = nowMs + kResolveTimeOutMs;
    if (!netResolveStart(c.resolveSlot, c.host))
        fail(c, AlertErrorResolve);
}

void alertConnectionPump(AlertConnection& c, long long nowMs)
{
    // Resolve, connect and handshake may each be done at once.
    for (int steps = 0; steps < kStepsPerPump; ++steps) {
        const AlertConnectionState before = c.state;
        step(c, nowMs);
        if (c.state == before || c.state == ConnectionFailed || c.state == ConnectionFinished)
            return;
    }
}

int alertConnectionWrite(AlertConnection& c, const char* data, int length)
{
    if (c.state != ConnectionOpen || c.peerClosed || length <= 0)
        return 0;
    if (!c.tlsSession) {
        const int room = outboxRoom(c);
        const int taken = length < room ? length : room;
        std::memcpy(c.outbox + c.outboxLength, data, static_cast<size_t>(taken));
        c.outboxLength += taken;
        return taken;
    }
    if (outboxRoom(c) < kTlsMaxPlain + kTlsRecordOverhead)
        return 0;
    int produced = 0;
    const int taken = tlsEncrypt(c.tlsSession, data, length, c.outbox + c.outboxLength,
                                 kConnectionOutboxSize - c.outboxLength, produced);
    if (taken == 0) {
        fail(c, AlertErrorProtocol);
        return 0;
    }
    c.outboxLength += produced;
    return taken;
}

int alertConnectionDrained(const AlertConnection& connection)
{
    return connection.outboxSent == connection.outboxLength;
}

void alertConnectionConsume(AlertConnection& c, int count)
{
    if (count > c.inboxLength)
        count = c.inboxLength;
    std::memmove(c.inbox, c.inbox + count, static_cast<size_t>(c.inboxLength - count));
    c.inboxLength -= count;
}

void alertConnectionStartTls(AlertConnection& c, long long nowMs)
{
    if (c.state != ConnectionOpen || c.tlsSession)
        return;
    // Bytes that came in the clear before the handshake are not trusted after it.
    c.inboxLength = 0;
    beginHandshake(c, nowMs);
}

void alertConnectionFinish(AlertConnection& c, long long nowMs)
{
    if (c.state != ConnectionOpen)
        return;
    if (c.tlsSession) {
        char notify[256];
        const int length = tlsCloseNotify(c.tlsSession, notify, sizeof notify);
        if (length > outboxRoom(c) || length == 0)
            return fail(c, AlertErrorProtocol);
        std::memcpy(c.outbox + c.outboxLength, notify, static_cast<size_t>(length));
        c.outboxLength += length;
    }
    c.state = ConnectionFinishing;
    c.deadlineMs = nowMs + kFinishTimeOutMs;
    c.rawLength = 0;
    pumpFinishing(c, nowMs);
}

void alertConnectionClose(AlertConnection& c)
{
    if (c.state == ConnectionResolving)
        netResolveCancel(c.resolveSlot);
    netClose(c.socket);
    c.socket = kNoSocket;
    tlsFree(c.tlsSession);
    c.tlsSession = 0;
    c.state = ConnectionClosed;
    c.rawLength = c.inboxLength = c.outboxLength = c.outboxSent = 0;
    c.peerClosed = c.halfClosed = 0;
    c.deadlineMs = 0;
    c.error = AlertErrorNone;
    c.tlsFailure = TlsFailureNone;
}

void alertConnectionExpectBy(AlertConnection& connection, long long deadlineMs)
{
    connection.deadlineMs = deadlineMs;
}
