#pragma once
// A TLS layer for the core's tests, linked in place of the platform's: records are the plain bytes themselves, so
// the fake collector reads what was sent; the handshake is "<hello>" answered "<welcome>", and close_notify is
// "<close_notify>" both ways. A session fails its handshake with `failure` once the welcome comes. With a
// `recordSize`, what comes after the welcome is records of that size, each carrying its first kTlsMaxPlain bytes.
#include "platform/tls.h"

#include <string>

struct FakeTls {
    TlsFailure failure = TlsFailureNone;
    int opened = 0, live = 0, helloSentBy = 0, recordSize = 0;
    std::string serverName;
    bool pinned = false;  // the last session was given a fingerprint
};

FakeTls& fakeTls();
void resetFakeTls();
