#pragma once
// A TLS layer for the core's tests, linked in place of the platform's: records are the plain bytes themselves, so
// the fake collector reads what was sent; the handshake is "<hello>" answered "<welcome>", and close_notify is
// "<close_notify>" both ways. A session fails its handshake with `failure` once the welcome comes; with `holdCheck`
// set, an unpinned session's certificate check stays pending after the welcome until it is cleared. With a
// `recordSize`, what comes after the welcome is records of that size, each carrying its first kTlsMaxPlain bytes.
#include "platform/tls.h"

#include <string>

struct FakeTls {
    TlsFailure failure = TlsFailureNone;
    bool holdCheck = false;
    int opened = 0, live = 0, helloSentBy = 0, checking = 0;  // checking: the session whose check is pending
    int recordSize = 0;
    std::string serverName;
    bool pinned = false;  // the last session was given a fingerprint
};

FakeTls& fakeTls();
void resetFakeTls();
