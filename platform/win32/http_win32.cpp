// WinHTTP, each request on a worker thread of its own in WinHTTP's plain
// synchronous mode. The proxy look-up of automatic detection and PAC scripts
// (WinHttpGetProxyForUrl) blocks in any mode, so a thread is needed anyway;
// with it a request reads as one straight line, and its only contact with
// the window's thread is its worker slot. TLS 1.2 or later, and the
// certificate's revocation checked where it can be, as for the other channels.
#include "platform/http.h"

#include "platform/win32/filetime.h"
#include "platform/worker.h"

#include <windows.h>
#include <winhttp.h>

#include <cstring>

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace {

enum { kResolveMs = 15000, kConnectMs = 10000, kSendMs = 30000, kReceiveMs = 30000, kHostSize = 256 };

struct Slot {
    WorkerSlot worker;
    char url[kHttpUrlSize];
    char headers[kHttpHeadersSize];
    char body[kHttpBodySize];
    int bodyLength;
    HttpOutcome outcome;
};

Slot slots[kHttpSlots];
void (*volatile wakeHook)() = nullptr;

struct Handles {
    HINTERNET session, connection, request;
};

// The request and its connection; the session stays.
void closeRequest(Handles& handles)
{
    const HINTERNET inOrder[] = {handles.request, handles.connection};
    for (HINTERNET handle : inOrder)
        if (handle)
            WinHttpCloseHandle(handle);
    handles.request = handles.connection = nullptr;
}

void closeAll(Handles& handles)
{
    closeRequest(handles);
    if (handles.session)
        WinHttpCloseHandle(handles.session);
}

HttpOutcome noOutcome(HttpFailure failure)
{
    HttpOutcome outcome;
    std::memset(&outcome, 0, sizeof outcome);
    outcome.retryAfterSeconds = -1;
    outcome.failure = failure;
    return outcome;
}

// 1 when all of `text` fit into `copy` (nul-ended).
int copyText(char* copy, const char* text, int size)
{
    int length = 0;
    for (; text[length] && length < size - 1; ++length)
        copy[length] = text[length];
    copy[length] = '\0';
    return text[length] == '\0';
}

// URLs and headers are ASCII; anything else passes as Latin-1.
void widen(const char* text, WCHAR* wide)
{
    for (; *text; ++text, ++wide)
        *wide = static_cast<unsigned char>(*text);
    *wide = 0;
}

int startsWith(const char* text, const char* prefix)
{
    for (; *prefix; ++text, ++prefix)
        if ((*text | 0x20) != *prefix)
            return 0;
    return 1;
}

HttpFailure failureOf(DWORD error)
{
    switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return HttpFailureResolve;
    case ERROR_WINHTTP_CANNOT_CONNECT: return HttpFailureConnect;
    case ERROR_WINHTTP_TIMEOUT: case WSAETIMEDOUT: return HttpFailureTimedOut;  // Wine's, for an answer
    // Wine reports an untrusted certificate as a failure of the secure
    // channel, which on Windows is any failed handshake: both count here.
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_FAILURE: case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT: case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED: case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        return HttpFailureCertificate;
    case ERROR_WINHTTP_INVALID_URL: case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return HttpFailureUrl;
    default: return HttpFailureOther;
    }
}

// TLS 1.2 and later; a system that does not know TLS 1.3 refuses its flag and
// gets TLS 1.2 alone. 0 when it takes neither.
int limitProtocols(HINTERNET session)
{
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
        return 1;
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    return WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
}

// A session that cannot be held to TLS 1.2 or later is not used.
HINTERNET openSession(DWORD access, const WCHAR* proxy, const WCHAR* bypass)
{
    HINTERNET session = WinHttpOpen(L"Velmoranth", access, proxy, bypass, 0);
    if (session && !limitProtocols(session)) {
        WinHttpCloseHandle(session);
        session = nullptr;
    }
    if (session)
        WinHttpSetTimeouts(session, kResolveMs, kConnectMs, kSendMs, kReceiveMs);
    return session;
}

// WinHTTP tells why a secure connection failed only through a callback, on
// this thread in synchronous mode: its flags are gathered into the DWORD that
// the request's context points to.
void CALLBACK noteSecureFailure(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD length)
{
    if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && context && information && length >= sizeof(DWORD))
        *reinterpret_cast<DWORD*>(context) |= *static_cast<const DWORD*>(information);
}

// Runs automatic detection and the PAC script on a session of their own.
int discoverProxy(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user, const WCHAR* url, WINHTTP_PROXY_INFO& found)
{
    const HINTERNET lookUp = openSession(WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS);
    WINHTTP_AUTOPROXY_OPTIONS options;
    std::memset(&options, 0, sizeof options);
    options.dwFlags = (user.fAutoDetect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0) |
                      (user.lpszAutoConfigUrl ? WINHTTP_AUTOPROXY_CONFIG_URL : 0);
    options.dwAutoDetectFlags = user.fAutoDetect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
    options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
    options.fAutoLogonIfChallenged = TRUE;
    const int discovered = lookUp && WinHttpGetProxyForUrl(lookUp, url, &options, &found);
    if (lookUp)
        WinHttpCloseHandle(lookUp);
    return discovered;
}

// A session through the user's proxy for `url`, as Windows has it: automatic
// detection or a PAC script when set (the fixed proxy when they find none, as
// browsers do), else the fixed proxy with its bypass list, else none. The
// proxy is the session's from its start: Wine ignores one set on a request.
HINTERNET openUserSession(const WCHAR* url)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user;
    std::memset(&user, 0, sizeof user);
    if (!WinHttpGetIEProxyConfigForCurrentUser(&user))
        std::memset(&user, 0, sizeof user);
    WINHTTP_PROXY_INFO found;
    std::memset(&found, 0, sizeof found);
    const int discovered = (user.fAutoDetect || user.lpszAutoConfigUrl) && discoverProxy(user, url, found);
    const WCHAR* proxy = discovered ? found.lpszProxy : user.lpszProxy;
    const WCHAR* bypass = discovered ? found.lpszProxyBypass : user.lpszProxyBypass;
    const int named = proxy && proxy[0];
    const HINTERNET session = openSession(named ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                                          named ? proxy : WINHTTP_NO_PROXY_NAME,
                                          named && bypass ? bypass : WINHTTP_NO_PROXY_BYPASS);
    const LPWSTR owned[] = {found.lpszProxy, found.lpszProxyBypass, user.lpszAutoConfigUrl, user.lpszProxy,
                            user.lpszProxyBypass};
    for (LPWSTR text : owned)
        if (text)
            GlobalFree(text);
    return session;
}

// Connects the session to the URL's server and opens the POST, with the
// certificate's revocation checked or not; the failure when the URL cannot be
// used or WinHTTP refuses.
HttpFailure openRequest(Handles& handles, const WCHAR* url, int checkRevocation)
{
    URL_COMPONENTS parts;
    std::memset(&parts, 0, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url, 0, 0, &parts) || parts.dwHostNameLength == 0 || parts.dwHostNameLength >= kHostSize)
        return HttpFailureUrl;
    WCHAR host[kHostSize];
    std::memcpy(host, parts.lpszHostName, parts.dwHostNameLength * sizeof(WCHAR));
    host[parts.dwHostNameLength] = 0;
    // The path and query run to the end of the URL; a fragment is not sent.
    WCHAR object[kHttpUrlSize + 1] = L"/";
    const WCHAR* path = parts.lpszUrlPath ? parts.lpszUrlPath : L"";
    int length = path[0] == '/' ? 0 : 1;
    for (const WCHAR* c = path; *c && *c != '#'; ++c)
        object[length++] = *c;
    object[length] = 0;
    handles.connection = WinHttpConnect(handles.session, host, parts.nPort, 0);
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    if (handles.connection)
        handles.request = WinHttpOpenRequest(handles.connection, L"POST", object, nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, secure);
    if (!handles.request)
        return failureOf(GetLastError());
    // A connection of its own each time: Wine would otherwise reuse a proxy
    // tunnel opened for another server, whatever that server's certificate.
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(handles.request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    // The wait for the answer's headers has a time-out of its own (90 s in Wine).
    DWORD answerMs = kReceiveMs;
    WinHttpSetOption(handles.request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerMs, sizeof answerMs);
    DWORD revocation = WINHTTP_ENABLE_SSL_REVOCATION;
    if (secure && checkRevocation &&
        !WinHttpSetOption(handles.request, WINHTTP_OPTION_ENABLE_FEATURE, &revocation, sizeof revocation))
        return HttpFailureOther;
    WinHttpSetStatusCallback(handles.request, noteSecureFailure, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
    return HttpFailureNone;
}

long secondsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to)
{
    const unsigned long long a = fileTimeTicks(from), b = fileTimeTicks(to);
    if (a == 0 || b == 0)
        return -1;
    const long long seconds = static_cast<long long>(b - a) / static_cast<long long>(kTicksPerSecond);
    return seconds <= 0 ? 0 : seconds > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<long>(seconds);
}

// Retry-After as delta-seconds, or as an HTTP-date counted from the reply's
// own Date (so that the two clocks' difference does not matter); -1 when
// there is none that reads.
long retryAfterOf(HINTERNET request)
{
    WCHAR value[64];
    DWORD size = sizeof value;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, L"Retry-After", value, &size, WINHTTP_NO_HEADER_INDEX))
        return -1;
    const WCHAR* c = value;
    while (*c == ' ')
        ++c;
    long seconds = 0;
    const WCHAR* digits = c;
    for (; *c >= '0' && *c <= '9'; ++c)
        seconds = seconds > 99999999 ? seconds : seconds * 10 + (*c - '0');
    if (c != digits)
        return *c == 0 || *c == ' ' ? seconds : -1;
    SYSTEMTIME when, now;
    if (!WinHttpTimeToSystemTime(value, &when))
        return -1;
    size = sizeof now;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_DATE | WINHTTP_QUERY_FLAG_SYSTEMTIME, WINHTTP_HEADER_NAME_BY_INDEX,
                             &now, &size, WINHTTP_NO_HEADER_INDEX))
        GetSystemTime(&now);
    return secondsBetween(now, when);
}

// The first bytes of the reply's body, as far as they come within one
// receive time-out, made printable: it is shown to the user, never kept raw.
void readReplyStart(HINTERNET request, char* text)
{
    int length = 0;
    DWORD got = 0;
    const DWORD started = GetTickCount();
    while (length < kHttpReplyStartSize - 1 && GetTickCount() - started < kReceiveMs &&
           WinHttpReadData(request, text + length, static_cast<DWORD>(kHttpReplyStartSize - 1 - length), &got) &&
           got > 0)
        length += static_cast<int>(got);
    for (int i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        text[i] = byte == '\r' || byte == '\n' || byte == '\t' ? ' ' : byte < 32 || byte > 126 ? '?' : text[i];
    }
    text[length] = '\0';
}

// Sends the opened request and reads the answer into `outcome`: 0, or the
// error WinHTTP gave, with the secure-failure flags it told in `secureFailure`.
DWORD exchange(const Handles& handles, const WCHAR* headers, Slot& slot, DWORD& secureFailure, HttpOutcome& outcome)
{
    const DWORD length = static_cast<DWORD>(slot.bodyLength);
    DWORD status = 0, size = sizeof status;
    secureFailure = 0;
    if (!WinHttpSendRequest(handles.request, headers[0] ? headers : WINHTTP_NO_ADDITIONAL_HEADERS,
                            headers[0] ? static_cast<DWORD>(-1L) : 0, slot.body, length, length,
                            reinterpret_cast<DWORD_PTR>(&secureFailure)) ||
        !WinHttpReceiveResponse(handles.request, nullptr) ||
        !WinHttpQueryHeaders(handles.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return GetLastError();
    outcome.status = static_cast<int>(status);
    outcome.retryAfterSeconds = retryAfterOf(handles.request);
    readReplyStart(handles.request, outcome.replyStart);
    return 0;
}

// The handshake may have failed only because the certificate's revocation
// could not be checked (no list or responder named, or none reachable): the
// flags say so and nothing else (a revoked one has a flag of its own). Wine
// tells no flags and folds every certificate fault into a failure of the
// secure channel, so one without flags may be that too.
int revocationUnknownOnly(DWORD error, DWORD secureFailure)
{
    return error == ERROR_WINHTTP_SECURE_CERT_REV_FAILED ||
           (error == ERROR_WINHTTP_SECURE_FAILURE && secureFailure == WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED) ||
           (error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR && secureFailure == 0);
}

// The POST with the revocation checked; once more without the check when
// that alone failed: nothing of the request went before the handshake.
void post(Slot& slot, HttpOutcome& outcome)
{
    WCHAR url[kHttpUrlSize], headers[kHttpHeadersSize];
    widen(slot.url, url);
    widen(slot.headers, headers);
    Handles handles = {nullptr, nullptr, nullptr};
    handles.session = openUserSession(url);
    DWORD error = 0, secureFailure = 0;
    outcome.failure = handles.session ? openRequest(handles, url, 1) : HttpFailureOther;
    if (outcome.failure == HttpFailureNone)
        error = exchange(handles, headers, slot, secureFailure, outcome);
    if (revocationUnknownOnly(error, secureFailure)) {
        closeRequest(handles);
        outcome.failure = openRequest(handles, url, 0);
        error = outcome.failure == HttpFailureNone ? exchange(handles, headers, slot, secureFailure, outcome) : 0;
    }
    if (error)
        outcome.failure = failureOf(error);
    closeAll(handles);
}

void work(void* parameter)
{
    Slot& slot = *static_cast<Slot*>(parameter);
    HttpOutcome outcome = noOutcome(HttpFailureNone);
    post(slot, outcome);
    slot.outcome = outcome;
    if (workerSlotFinish(slot.worker)) {
        if (void (*wake)() = wakeHook)
            wake();
    }
}

int validSlot(int slot)
{
    return slot >= 0 && slot < kHttpSlots;
}

} // namespace

int httpPostStart(int slot, const char* url, const char* headers, const char* body, int bodyLength,
                  HttpOutcome& outcome)
{
    outcome = noOutcome(HttpFailureOther);
    if (!validSlot(slot) || !url || !headers || bodyLength < 0 || bodyLength > kHttpBodySize ||
        (bodyLength > 0 && !body))
        return 0;
    Slot& chosen = slots[slot];
    if (workerSlotState(chosen.worker) != WorkerSlotFree) {
        outcome.failure = HttpFailureNone;
        return 0;
    }
    if (!(startsWith(url, "http://") || startsWith(url, "https://")) || !copyText(chosen.url, url, kHttpUrlSize)) {
        outcome.failure = HttpFailureUrl;
        return 0;
    }
    if (!copyText(chosen.headers, headers, kHttpHeadersSize))
        return 0;
    if (bodyLength > 0)
        std::memcpy(chosen.body, body, static_cast<size_t>(bodyLength));
    chosen.bodyLength = bodyLength;
    if (!workerSlotStart(chosen.worker, work, &chosen))
        return 0;
    outcome.failure = HttpFailureNone;
    return 1;
}

HttpState httpPostPoll(int slot, HttpOutcome& outcome)
{
    const WorkerSlotState state = validSlot(slot) ? workerSlotState(slots[slot].worker) : WorkerSlotFree;
    if (state != WorkerSlotDone) {
        outcome = noOutcome(state == WorkerSlotWorking ? HttpFailureNone : HttpFailureOther);
        return state == WorkerSlotWorking ? HttpPending : HttpFailed;
    }
    outcome = slots[slot].outcome;
    workerSlotRelease(slots[slot].worker);
    return outcome.failure == HttpFailureNone ? HttpAnswered : HttpFailed;
}

void httpPostCancel(int slot)
{
    if (validSlot(slot))
        workerSlotCancel(slots[slot].worker);
}

void httpSetWake(void (*wake)())
{
    wakeHook = wake;
}
