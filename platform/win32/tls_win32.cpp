// TLS through Schannel. Schannel does the protocol; the certificate is checked
// here (manual validation), so that each way it can fail has its own name.
// Every call returns at once: the bytes come and go through the caller, and
// the chain, which may load the trust store or fetch from the network, is
// built on a worker thread of the session's own.
#include "platform/tls.h"

#include "platform/worker.h"

#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS            // declares SCH_CREDENTIALS
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS  // declares the chain's URL time-out
#include <windows.h>
#include <wincrypt.h>
#include <subauth.h>
#include <schannel.h>
#include <security.h>

#include <cstring>

namespace {

enum {
    kNameSize = 256,
    kRecordHeader = 5,
    kAlertRecord = 21,
    kOwedSize = 256,
    kHandshakeRounds = 16,
};

// Revocation that could not be checked (no list or responder named, or none
// reachable) lets a certificate pass; a revoked one does not.
const DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

struct Session {
    int open;
    int hasContext;
    int ready;     // handshake done, certificate accepted
    int shut;      // close_notify made: nothing more is encrypted
    int failed;
    CredHandle credentials;
    CtxtHandle context;
    SecPkgContext_StreamSizes sizes;
    char name[kNameSize];
    int pinned;
    unsigned char fingerprint[kTlsFingerprintSize];
    // Schannel's answer to a server's message after the handshake (a TLS 1.3
    // KeyUpdate): it goes out in front of the next record we send.
    char owed[kOwedSize];
    int owedLength;
    int checking;  // the chain check runs; what the handshake owes the server is held meanwhile
    char held[kTlsHandshakeOut];
    int heldLength;
};

// The chain check of the session of the same number, on a worker thread. The
// worker owns its copies of the certificate and of the store that came with
// it, and frees them when it ends, heard or not; the session may be gone by
// then, so it touches nothing else.
struct Check {
    WorkerSlot worker;
    PCCERT_CONTEXT certificate;
    HCERTSTORE store;
    WCHAR name[kNameSize];
    TlsFailure failure;
};

Session sessions[kTlsSessions];
Check checks[kTlsSessions];
// DecryptMessage works in place and the caller's bytes are const: one record is copied here.
char record[kTlsMaxRecord];

const ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                       ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION |
                       ISC_REQ_USE_SUPPLIED_CREDS;

Session* find(int session)
{
    if (session < 1 || session > kTlsSessions || !sessions[session - 1].open)
        return nullptr;
    return &sessions[session - 1];
}

int acquireWith(void* data, CredHandle& credentials)
{
    TimeStamp expiry;
    return AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, data,
                                     nullptr, nullptr, &credentials, &expiry) == SEC_E_OK;
}

// TLS 1.3 comes only with SCH_CREDENTIALS (Windows 10 1809 on); a system that
// does not know that structure gets SCHANNEL_CRED and TLS 1.2 alone.
int acquire(CredHandle& credentials)
{
    const DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TLS_PARAMETERS parameters = {};
    parameters.grbitDisabledProtocols =
        SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    SCH_CREDENTIALS current = {};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = flags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    if (acquireWith(&current, credentials))
        return 1;
    SCHANNEL_CRED legacy = {};
    legacy.dwVersion = SCHANNEL_CRED_VERSION;
    legacy.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    legacy.dwFlags = flags;
    return acquireWith(&legacy, credentials);
}

SECURITY_STATUS initialize(Session& session, SecBufferDesc* input, SecBuffer& token)
{
    token = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output = {SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    SECURITY_STATUS status =
        InitializeSecurityContextA(&session.credentials, session.hasContext ? &session.context : nullptr, session.name[0] ? session.name : nullptr,
                                   kRequest, 0, 0, input, 0, &session.context, &output, &attributes, nullptr);
    if (!FAILED(status))
        session.hasContext = 1;
    return status;
}

// Moves a token Schannel allocated to the end of `out` and frees it; 0 when it does not fit.
int append(SecBuffer& token, char* out, int outSize, int& outLength)
{
    const int fits = static_cast<int>(token.cbBuffer) <= outSize - outLength;
    if (fits && token.cbBuffer) {
        std::memcpy(out + outLength, token.pvBuffer, token.cbBuffer);
        outLength += static_cast<int>(token.cbBuffer);
    }
    if (token.pvBuffer)
        FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    return fits;
}

// The bytes owed to the server, into the front of `out`; 0 when they do not fit.
int payOwed(Session& session, char* out, int outSize)
{
    if (session.owedLength > outSize)
        return 0;
    std::memcpy(out, session.owed, session.owedLength);
    session.owedLength = 0;
    return 1;
}

int extraOf(const SecBuffer* buffers, int count, int length)
{
    for (int i = 0; i < count; ++i)
        if (buffers[i].BufferType == SECBUFFER_EXTRA && static_cast<int>(buffers[i].cbBuffer) <= length)
            return static_cast<int>(buffers[i].cbBuffer);
    return 0;
}

TlsFailure failureOf(DWORD error)
{
    switch (static_cast<HRESULT>(error)) {
    case 0: return TlsFailureNone;
    case CERT_E_UNTRUSTEDROOT: case CERT_E_CHAINING: case CERT_E_UNTRUSTEDCA: case CERT_E_UNTRUSTEDTESTROOT:
        return TlsFailureUntrusted;
    case CERT_E_CN_NO_MATCH: return TlsFailureName;
    case CERT_E_EXPIRED: case CERT_E_VALIDITYPERIODNESTING: return TlsFailureExpired;
    case CRYPT_E_REVOKED: return TlsFailureUntrusted;
    case CRYPT_E_NO_REVOCATION_CHECK: case CRYPT_E_REVOCATION_OFFLINE: return TlsFailureNone;
    default: return TlsFailureHandshake;
    }
}

// What the chain engine found, for what the policy let pass (Wine's SSL
// policy passes a chain that ends at no root at all).
TlsFailure failureOfChain(DWORD status)
{
    status &= ~(static_cast<DWORD>(CERT_TRUST_IS_NOT_TIME_NESTED) | kRevocationUnknown);  // the first long ignored
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_REVOKED))
        return TlsFailureUntrusted;
    if (status & CERT_TRUST_IS_NOT_TIME_VALID)
        return TlsFailureExpired;
    return status ? TlsFailureHandshake : TlsFailureNone;
}

TlsFailure checkFingerprint(const Session& session, PCCERT_CONTEXT certificate)
{
    BYTE hash[kTlsFingerprintSize];
    DWORD size = sizeof hash;
    if (!CryptHashCertificate2(L"SHA256", 0, nullptr, certificate->pbCertEncoded, certificate->cbCertEncoded, hash,
                               &size) || size != sizeof hash)
        return TlsFailureHandshake;
    return std::memcmp(hash, session.fingerprint, sizeof hash) == 0 ? TlsFailureNone : TlsFailureFingerprint;
}

// On the worker: the chain to the user's trust store, then the SSL policy,
// which also matches the name against the certificate's DNS names. Missing
// intermediates and roots may be fetched (Windows adds most public roots only
// when a chain first needs one), and the revocation of all but the root is
// checked; all the fetching of one check shares one time-out.
TlsFailure checkChain(const WCHAR* name, PCCERT_CONTEXT certificate, HCERTSTORE store)
{
    char* usage[] = {const_cast<char*>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
    chainPara.dwUrlRetrievalTimeout = kTlsCheckFetchMs;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const DWORD flags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, store, &chainPara, flags, nullptr, &chain))
        return TlsFailureHandshake;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<WCHAR*>(name);
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    // A policy that stops at the chain's first error would never come to the
    // name: it judges a copy without the revocation that could not be checked.
    CERT_CHAIN_CONTEXT judged = *chain;
    judged.TrustStatus.dwErrorStatus &= ~kRevocationUnknown;
    TlsFailure failure = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, &judged, &policy, &status)
                             ? failureOf(status.dwError) : TlsFailureHandshake;
    if (failure == TlsFailureNone)
        failure = failureOfChain(chain->TrustStatus.dwErrorStatus);
    CertFreeCertificateChain(chain);
    return failure;
}

// The worker's whole life: the verdict is written before the slot says Done.
void runCheck(void* argument)
{
    Check& check = *static_cast<Check*>(argument);
    const TlsFailure failure = checkChain(check.name, check.certificate, check.store);
    CertFreeCertificateContext(check.certificate);
    CertCloseStore(check.store, 0);
    check.failure = failure;
    workerSlotFinish(check.worker);
}

int checkBusy(int index)
{
    const WorkerSlotState state = workerSlotState(checks[index].worker);
    return state == WorkerSlotWorking || state == WorkerSlotAbandoned;
}

// Hands the check to the session's worker with copies of what it needs; 0 when no thread could be had.
int startCheck(const Session& session, PCCERT_CONTEXT certificate)
{
    Check& check = checks[&session - sessions];
    check.certificate = CertDuplicateCertificateContext(certificate);
    check.store = CertDuplicateStore(certificate->hCertStore);
    for (int i = 0; i < kNameSize; ++i)
        check.name[i] = static_cast<unsigned char>(session.name[i]);
    check.failure = TlsFailureHandshake;
    if (workerSlotStart(check.worker, runCheck, &check))
        return 1;
    CertFreeCertificateContext(check.certificate);
    CertCloseStore(check.store, 0);
    return 0;
}

DWORD protocolOf(Session& session)
{
    SecPkgContext_ConnectionInfo info;
    return QueryContextAttributesA(&session.context, SECPKG_ATTR_CONNECTION_INFO, &info) == SEC_E_OK ? info.dwProtocol : 0;
}

TlsResult fail(Session* session, TlsFailure reason, TlsFailure& failure)
{
    if (session)
        session->failed = 1;
    failure = reason;
    return TlsFailed;
}

// A pinned certificate is a hash away, checked at once; any other goes to the
// worker, and what this step made for the server waits in `held` for its
// verdict. TlsFailureNone and 1 when the check started.
TlsFailure checkCertificate(Session& session, const char* out, int outLength, int& started)
{
    started = 0;
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesA(&session.context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK || !certificate)
        return TlsFailureHandshake;
    TlsFailure failure = TlsFailureHandshake;
    if (session.pinned) {
        failure = checkFingerprint(session, certificate);
    } else if (outLength <= kTlsHandshakeOut && startCheck(session, certificate)) {
        std::memcpy(session.held, out, outLength);
        session.heldLength = outLength;
        session.checking = started = 1;
        failure = TlsFailureNone;
    }
    CertFreeCertificateContext(certificate);
    return failure;
}

// Schannel said the handshake is over: the version and the certificate
// decide. The version is checked again because Wine takes SCH_CREDENTIALS but
// ignores its disabled protocols.
TlsResult finish(Session& session, const char* out, int& outLength, TlsFailure& failure)
{
    const int recent = (protocolOf(session) & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) != 0;
    const int sized = QueryContextAttributesA(&session.context, SECPKG_ATTR_STREAM_SIZES, &session.sizes) == SEC_E_OK;
    TlsFailure reason = recent && sized ? TlsFailureNone : TlsFailureHandshake;
    int started = 0;
    if (reason == TlsFailureNone)
        reason = checkCertificate(session, out, outLength, started);
    if (reason != TlsFailureNone || started)
        outLength = 0;  // not even our Finished goes to a server we refused, or before the check passed
    if (reason != TlsFailureNone)
        return fail(&session, reason, failure);
    if (started)
        return TlsNeedMore;
    session.ready = 1;
    return TlsDone;
}

// The worker's verdict once it has one; the bytes held for the server go only
// with a pass.
TlsResult collectCheck(Session& session, char* out, int outSize, int& outLength, TlsFailure& failure)
{
    Check& check = checks[&session - sessions];
    const WorkerSlotState state = workerSlotState(check.worker);
    if (state == WorkerSlotWorking)
        return TlsNeedMore;
    const TlsFailure reason = state == WorkerSlotDone ? check.failure : TlsFailureHandshake;
    workerSlotRelease(check.worker);
    session.checking = 0;
    if (reason != TlsFailureNone || session.heldLength > outSize)
        return fail(&session, reason != TlsFailureNone ? reason : TlsFailureHandshake, failure);
    std::memcpy(out, session.held, session.heldLength);
    outLength = session.heldLength;
    session.ready = 1;
    return TlsDone;
}

// One InitializeSecurityContext over the server's bytes.
SECURITY_STATUS feed(Session& session, const char* in, int length, int& consumed, SecBuffer& token)
{
    SecBuffer buffers[2] = {{static_cast<ULONG>(length), SECBUFFER_TOKEN, const_cast<char*>(in)},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc input = {SECBUFFER_VERSION, 2, buffers};
    const SECURITY_STATUS status = initialize(session, &input, token);
    consumed = length - extraOf(buffers, 2, length);
    return status;
}

// A post-handshake message of TLS 1.3 (a session ticket, a key update) goes
// back through InitializeSecurityContext. A TLS 1.2 renegotiation is refused:
// it could bring a certificate nobody checks.
int afterHandshake(Session& session, const SecBuffer* buffers, int& leftover)
{
    if (!(protocolOf(session) & SP_PROT_TLS1_3_CLIENT))
        return 0;
    const SecBuffer* extra = nullptr;
    for (int i = 0; i < 4; ++i)
        if (buffers[i].BufferType == SECBUFFER_EXTRA)
            extra = &buffers[i];
    SecBuffer token;
    int consumed = 0;
    const int length = extra ? static_cast<int>(extra->cbBuffer) : 0;
    const SECURITY_STATUS status = feed(session, extra ? static_cast<char*>(extra->pvBuffer) : record, length, consumed, token);
    leftover = length - consumed;
    return append(token, session.owed, kOwedSize, session.owedLength) && status == SEC_E_OK;
}

int plainOf(const SecBuffer* buffers, char* plain, int plainSize, int& plainLength)
{
    for (int i = 0; i < 4; ++i) {
        if (buffers[i].BufferType != SECBUFFER_DATA)
            continue;
        if (static_cast<int>(buffers[i].cbBuffer) > plainSize)
            return 0;
        std::memcpy(plain, buffers[i].pvBuffer, buffers[i].cbBuffer);
        plainLength = static_cast<int>(buffers[i].cbBuffer);
    }
    return 1;
}

} // namespace

int tlsOpen(const char* serverName, const unsigned char* fingerprint)
{
    const int length = serverName ? static_cast<int>(strnlen(serverName, kNameSize)) : kNameSize;
    if (length >= kNameSize)
        return 0;
    for (int i = 0; i < kTlsSessions; ++i) {
        Session& session = sessions[i];
        if (session.open || checkBusy(i))
            continue;
        std::memset(&session, 0, sizeof session);
        if (!acquire(session.credentials))
            return 0;
        session.open = 1;
        std::memcpy(session.name, serverName, length);
        session.pinned = fingerprint != nullptr;
        if (fingerprint)
            std::memcpy(session.fingerprint, fingerprint, kTlsFingerprintSize);
        return i + 1;
    }
    return 0;
}

TlsResult tlsHandshake(int session, const char* in, int inLength, int& used, char* out, int outSize,
                       int& outLength, TlsFailure& failure)
{
    used = 0;
    outLength = 0;
    failure = TlsFailureNone;
    Session* entry = find(session);
    if (!entry || entry->failed)
        return fail(entry, TlsFailureHandshake, failure);
    if (entry->ready)
        return TlsDone;
    if (entry->checking)
        return collectCheck(*entry, out, outSize, outLength, failure);
    SecBuffer token;
    if (!entry->hasContext) {
        const SECURITY_STATUS status = initialize(*entry, nullptr, token);
        if (!append(token, out, outSize, outLength) || status != SEC_I_CONTINUE_NEEDED)
            return fail(entry, TlsFailureHandshake, failure);
        return TlsNeedMore;
    }
    // Schannel may stop after one record (TLS 1.3's ServerHello): it gets the rest at once.
    int askedForCertificate = 0;
    for (int round = 0; round < kHandshakeRounds && used < inLength; ++round) {
        int consumed = 0;
        const SECURITY_STATUS status = feed(*entry, in + used, inLength - used, consumed, token);
        if (status == SEC_I_INCOMPLETE_CREDENTIALS && !askedForCertificate++) {
            append(token, out, outSize, outLength);
            continue;  // the server asks for a client certificate: called again, Schannel goes on without
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            append(token, out, outSize, outLength);
            return TlsNeedMore;
        }
        if (!append(token, out, outSize, outLength) || (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED))
            return fail(entry, TlsFailureHandshake, failure);
        used += consumed;
        if (status == SEC_E_OK)
            return finish(*entry, out, outLength, failure);
        if (consumed == 0)
            break;
    }
    return TlsNeedMore;
}

int tlsCheckPending(int session)
{
    const Session* entry = find(session);
    return entry && entry->checking;
}

int tlsEncrypt(int session, const char* plain, int length, char* out, int outSize, int& outLength)
{
    outLength = 0;
    Session* entry = find(session);
    if (!entry || !entry->ready || entry->shut || entry->failed || length <= 0)
        return 0;
    const int header = static_cast<int>(entry->sizes.cbHeader), trailer = static_cast<int>(entry->sizes.cbTrailer);
    int take = length < kTlsMaxPlain ? length : kTlsMaxPlain;
    if (take > static_cast<int>(entry->sizes.cbMaximumMessage))
        take = static_cast<int>(entry->sizes.cbMaximumMessage);
    if (take > outSize - entry->owedLength - header - trailer)
        take = outSize - entry->owedLength - header - trailer;
    if (take <= 0)
        return 0;
    char* start = out + entry->owedLength;
    std::memcpy(start + header, plain, take);
    SecBuffer buffers[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, start},
                            {static_cast<ULONG>(take), SECBUFFER_DATA, start + header},
                            {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, start + header + take},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message = {SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&entry->context, 0, &message, 0) != SEC_E_OK) {
        entry->failed = 1;
        return 0;
    }
    outLength = entry->owedLength + static_cast<int>(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    payOwed(*entry, out, outSize);
    return take;
}

TlsResult tlsDecrypt(int session, const char* in, int inLength, int& used, char* plain, int plainSize,
                     int& plainLength)
{
    used = 0;
    plainLength = 0;
    Session* entry = find(session);
    if (!entry || !entry->ready || entry->failed)
        return TlsFailed;
    if (inLength < kRecordHeader)
        return TlsNeedMore;
    const int length = kRecordHeader + (static_cast<unsigned char>(in[3]) << 8 | static_cast<unsigned char>(in[4]));
    if (length > kTlsMaxRecord) {
        entry->failed = 1;
        return TlsFailed;
    }
    if (inLength < length)
        return TlsNeedMore;
    std::memcpy(record, in, length);
    SecBuffer buffers[4] = {{static_cast<ULONG>(length), SECBUFFER_DATA, record},
                            {0, SECBUFFER_EMPTY, nullptr}, {0, SECBUFFER_EMPTY, nullptr}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message = {SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&entry->context, &message, 0, nullptr);
    int leftover = extraOf(buffers, 4, length);
    int ok = (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) && plainOf(buffers, plain, plainSize, plainLength);
    if (ok && status == SEC_I_RENEGOTIATE)
        ok = afterHandshake(*entry, buffers, leftover);
    used = length - leftover;
    // Wine gives the close_notify back as an empty record, not SEC_I_CONTEXT_EXPIRED:
    // a TLS 1.2 alert record that decrypts to nothing is the close.
    if (status == SEC_I_CONTEXT_EXPIRED || (ok && !plainLength && in[0] == kAlertRecord))
        return TlsClosed;
    if (!ok) {
        plainLength = 0;
        entry->failed = 1;
        return TlsFailed;
    }
    return TlsDone;
}

int tlsCloseNotify(int session, char* out, int outSize)
{
    Session* entry = find(session);
    if (!entry || !entry->ready || entry->shut || entry->failed)
        return 0;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc = {SECBUFFER_VERSION, 1, &control};
    if (ApplyControlToken(&entry->context, &controlDesc) != SEC_E_OK)
        return 0;
    entry->shut = 1;
    SecBuffer token;
    const SECURITY_STATUS status = initialize(*entry, nullptr, token);
    int length = entry->owedLength;
    const int paid = payOwed(*entry, out, outSize);
    const int added = append(token, out, outSize, length);  // frees the token in any case
    return paid && added && !FAILED(status) ? length : 0;
}

void tlsFree(int session)
{
    Session* entry = find(session);
    if (!entry)
        return;
    if (entry->checking)
        workerSlotCancel(checks[entry - sessions].worker);
    if (entry->hasContext)
        DeleteSecurityContext(&entry->context);
    FreeCredentialsHandle(&entry->credentials);
    std::memset(entry, 0, sizeof *entry);
}
