#pragma once
// HTTP POSTs that never wait: the platform's own HTTP stack does the work
// (WinHTTP on Windows, with the user's proxy settings and the system's
// certificate checks; nothing elsewhere), and the webhook sender polls for
// the outcome. Each asker has a slot of its own (0 to kHttpSlots - 1) with at
// most one request under way.

enum { kHttpSlots = 8, kHttpReplyStartSize = 200 };

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
    HttpFailureCertificate,  // the server's certificate did not pass the checks
    HttpFailureUrl,          // the URL cannot be used
    HttpFailureOther,
};

struct HttpOutcome {
    int status;                               // 100 to 599
    long retryAfterSeconds;                   // -1 when the answer had none (or none we read)
    char replyStart[kHttpReplyStartSize];     // the start of the reply's body, printable ASCII only
    HttpFailure failure;
};

// Starts POSTing `body` to `url` with `headers` ("Name: value" lines, each
// ending in CR LF, Content-Type among them). 0 when the slot is busy or the
// request could not be started (the outcome's failure says why).
int httpPostStart(int slot, const char* url, const char* headers, const char* body, int bodyLength,
                  HttpOutcome& outcome);

// The outcome so far; an answer or a failure ends the request and frees the slot.
HttpState httpPostPoll(int slot, HttpOutcome& outcome);

// Abandons the slot's request: its work ends unheard.
void httpPostCancel(int slot);
