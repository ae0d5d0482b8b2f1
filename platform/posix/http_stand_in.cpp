// No HTTP stack of the platform's own here: the webhook channel exists on
// Windows only, and the core's tests link a fake in this file's place.
#include "platform/http.h"

namespace {

HttpOutcome failed()
{
    HttpOutcome outcome = {};
    outcome.retryAfterSeconds = -1;
    outcome.failure = HttpFailureOther;
    return outcome;
}

} // namespace

int httpPostStart(int, const char*, const char*, const char*, int, HttpOutcome& outcome)
{
    outcome = failed();
    return 0;
}

HttpState httpPostPoll(int, HttpOutcome& outcome)
{
    outcome = failed();
    return HttpFailed;
}

void httpPostCancel(int) {}

void httpSetWake(void (*)()) {}
