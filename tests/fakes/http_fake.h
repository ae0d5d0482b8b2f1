#pragma once
// A recording HTTP layer for the core's tests, linked in place of the platform's: it keeps every request started;
// a request stays pending until the test scripts an outcome, and the next poll takes it.
#include "platform/http.h"

#include <deque>
#include <string>
#include <vector>

struct FakeHttpRequest {
    int slot;
    std::string url, headers, body;
};

struct FakeHttp {
    std::vector<FakeHttpRequest> posted;
    std::deque<HttpOutcome> outcomes;  // for the requests under way, in the order they end
    bool underWay[kHttpSlots] = {};
    int cancels = 0;
};

FakeHttp& fakeHttp();
void resetFakeHttp();
// Scripts the next outcome: an answer, with a reply start of up to 199 characters.
void fakeHttpAnswer(int status, long retryAfterSeconds = -1, const char* replyStart = "");
