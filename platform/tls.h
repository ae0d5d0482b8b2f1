#pragma once
// A TLS client session that never touches a socket: the alert connection
// hands it what came from the server and sends what it produces, so the
// session runs in the same never-waiting pump as everything else. Schannel
// on Windows (tls_win32.cpp: TLS 1.2 or later, the system's trust store, the
// certificate's chain checked on a worker thread); no TLS elsewhere
// (tls_stand_in.cpp); the core's tests link a fake.
//
// Sessions are small integers > 0; at most kTlsSessions exist at once.

enum { kTlsSessions = 8, kTlsFingerprintSize = 32 };

// Why a handshake ended without a session one may send on.
enum TlsFailure {
    TlsFailureNone,
    TlsFailureUntrusted,    // the chain does not end at a trusted root
    TlsFailureName,         // the certificate is for another name
    TlsFailureFingerprint,  // not the certificate of the configured fingerprint
    TlsFailureExpired,      // outside its validity
    TlsFailureHandshake,    // anything else: protocol, versions, a server's alert
};

enum TlsResult {
    TlsNeedMore,  // give it more of the server's bytes (handshake or a partial record)
    TlsDone,      // handshake: finished and the certificate accepted; decrypt: plain bytes given
    TlsClosed,    // decrypt: the server's close_notify
    TlsFailed,    // the session is unusable
};

// Starts a session for `serverName` (sent as SNI and checked against the
// certificate). With `fingerprint` (kTlsFingerprintSize bytes) exactly that
// certificate is accepted, whatever its chain or name. 0 when no session
// could be had.
int tlsOpen(const char* serverName, const unsigned char* fingerprint);

// One handshake step: takes server bytes from `in` (`used` says how many it
// consumed; it may consume none) and writes the bytes to send to `out`
// (`outLength`; may be 0). The first call has no input and writes the
// ClientHello. TlsNeedMore: all of `in` that could be used now was; call again
// once more has come. TlsDone only once the certificate check passed (bytes
// after the handshake are left unused, for tlsDecrypt); TlsFailed with
// `failure` set otherwise, and nothing is to be sent. The server's end of
// stream before TlsDone is a TlsFailureHandshake. `out` needs room for
// kTlsHandshakeOut bytes.
//
// Without a fingerprint the certificate's chain is checked on a worker thread
// (the trust store may load, missing certificates and revocation lists may be
// fetched, for up to kTlsCheckFetchMs): while tlsCheckPending says so, every
// call answers TlsNeedMore with nothing used and nothing produced, and what
// the handshake still owes the server waits for the check to pass. A revoked
// certificate is TlsFailureUntrusted; one whose revocation could not be
// checked passes.
enum { kTlsHandshakeOut = 16 * 1024, kTlsCheckFetchMs = 15000 };
TlsResult tlsHandshake(int session, const char* in, int inLength, int& used, char* out, int outSize,
                       int& outLength, TlsFailure& failure);

// 1 while the session's certificate check runs.
int tlsCheckPending(int session);

// The most plain bytes one record carries, and what a record adds to them.
enum { kTlsMaxPlain = 16 * 1024, kTlsRecordOverhead = 1024 };
// The largest record a server may send: a TLS 1.2 ciphertext, its 5-byte
// header and the plain bytes grown by at most 2048.
enum { kTlsMaxRecord = 5 + kTlsMaxPlain + 2048 };

// Encrypts the first min(length, kTlsMaxPlain) bytes of `plain` into one
// record in `out`; fewer when `out` lacks room for them, though room for them
// plus kTlsRecordOverhead always suffices. Returns the plain bytes taken (0
// when `out` is too small or the session failed); `outLength` the bytes to
// send: the record, after any the session owes the server (its answer to a
// TLS 1.3 KeyUpdate).
int tlsEncrypt(int session, const char* plain, int length, char* out, int outSize, int& outLength);

// Decrypts the first whole record of `in`: `used` its length (0 with
// TlsNeedMore when it is not whole yet), the plain bytes in `plain`
// (`plainLength`, which may be 0 for a record that carries none). `plain`
// needs room for kTlsMaxPlain bytes.
TlsResult tlsDecrypt(int session, const char* in, int inLength, int& used, char* plain, int plainSize,
                     int& plainLength);

// The close_notify alert (after any bytes owed, as above), into `out`.
// Returns the length, 0 on failure. Nothing can be encrypted after it.
int tlsCloseNotify(int session, char* out, int outSize);

// Ends the session and frees it; 0 is ignored. A check still running is
// abandoned: its worker ends unheard, and until then its session number is
// not given out again.
void tlsFree(int session);
