// No HTTP yet: every request fails at once.
#include "engine/http.h"

int httpPostStart(int, const char*, const char*, const char*, int, HttpOutcome& outcome)
{
    outcome = HttpOutcome{0, -1, "", HttpFailureOther};
    return 0;
}
HttpState httpPostPoll(int, HttpOutcome& outcome)
{
    outcome = HttpOutcome{0, -1, "", HttpFailureOther};
    return HttpFailed;
}
void httpPostCancel(int) {}
