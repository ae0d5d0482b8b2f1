#pragma once
// HTTP POSTs that never wait: the platform's own HTTP stack does the work
// (WinHTTP on Windows, with the user's proxy settings and the system's
// certificate checks; nothing elsewhere), and the webhook sender polls for
// the outcome. Each asker has a slot of its own (0 to kHttpSlots - 1) with at
// most one request under way.
//
// A request waits at most 15 s for a name, 10 s for a connection, 30 s to
// send and 30 s for each read of the answer. Redirects are not followed: a
// POST that a 3xx would turn into a GET elsewhere must not pass for
// delivered, so the 3xx itself is the answer.

enum {
    kHttpSlots = 8,
    kHttpReplyStartSize = 200,
    kHttpUrlSize = 1024,      // a URL of up to 1023 characters
    kHttpHeadersSize = 1024,  // the request's header lines, up to 1023 characters
    kHttpBodySize = 16384,    // the request's body, up to 16 KiB
};

enum HttpState {
    HttpPending,
    HttpAnswered,  // the server answered: see the status
    HttpFailed,    // no answer: see the failure
};

enum HttpFailure {
    HttpFailureNone,
    HttpFailureResolve,      // the name (or the proxy's) could not be resolved
    HttpFailureConnect,      // no connection to the server or proxy
    HttpFailureTimedOut,
    HttpFailureCertificate,  // the server's certificate did not pass the checks (or TLS failed)
    HttpFailureUrl,          // the URL cannot be used
    HttpFailureOther,
};

struct HttpOutcome {
    int status;                               // 100 to 599
    long retryAfterSeconds;                   // Retry-After: delta-seconds, or an HTTP-date less the
                                              // reply's Date; -1 when the answer had none we could read
    char replyStart[kHttpReplyStartSize];     // the reply body's start, nul-ended; any byte but
                                              // printable ASCII became '?', a line end a blank
    HttpFailure failure;
};

// Starts POSTing `body` to `url` with `headers` ("Name: value" lines, each
// ending in CR LF, Content-Type among them). The three are copied, so the
// caller's buffers may go at once. 0 when the slot is busy (the outcome's
// failure is HttpFailureNone: try again later; an abandoned request keeps its
// slot busy until its work ends) or the request could not be started (the
// failure says why: HttpFailureUrl for a URL that is not http:// or https://,
// or that does not fit, HttpFailureOther for anything else).
int httpPostStart(int slot, const char* url, const char* headers, const char* body, int bodyLength,
                  HttpOutcome& outcome);

// The outcome so far; an answer or a failure ends the request and frees the
// slot. A slot with no request gives HttpFailed (HttpFailureOther).
HttpState httpPostPoll(int slot, HttpOutcome& outcome);

// Abandons the slot's request: its work ends unheard.
void httpPostCancel(int slot);

// `wake`, when set, is called once an answer or a failure is ready to poll,
// on the thread that did the work: the window posts itself a message there,
// so it polls at once rather than at its next timer tick. Set once, at start.
void httpSetWake(void (*wake)());
