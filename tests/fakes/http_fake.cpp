#include "fakes/http_fake.h"

#include <cstring>
#include <utility>

namespace {

FakeHttp http;

HttpOutcome outcomeOf(int status, long retryAfterSeconds, const char* replyStart, HttpFailure failure)
{
    HttpOutcome outcome{status, retryAfterSeconds, {}, failure};
    std::strncpy(outcome.replyStart, replyStart, sizeof outcome.replyStart - 1);
    return outcome;
}

} // namespace

FakeHttp& fakeHttp() { return http; }
void resetFakeHttp() { http = FakeHttp(); }
void fakeHttpAnswer(int status, long retryAfterSeconds, const char* replyStart)
{
    http.outcomes.push_back(outcomeOf(status, retryAfterSeconds, replyStart, HttpFailureNone));
}

int httpPostStart(int slot, const char* url, const char* headers, const char* body, int bodyLength,
                  HttpOutcome& outcome)
{
    outcome = outcomeOf(0, -1, "", HttpFailureNone);
    if (http.underWay[slot])
        return 0;
    http.underWay[slot] = true;
    http.posted.push_back({slot, url, headers, std::string(body, static_cast<std::size_t>(bodyLength))});
    return 1;
}

HttpState httpPostPoll(int slot, HttpOutcome& outcome)
{
    outcome = outcomeOf(0, -1, "", HttpFailureOther);
    if (!http.underWay[slot] || http.outcomes.empty())
        return http.underWay[slot] ? HttpPending : HttpFailed;
    outcome = http.outcomes.front();
    http.outcomes.pop_front();
    http.underWay[slot] = false;
    return outcome.failure == HttpFailureNone ? HttpAnswered : HttpFailed;
}

void httpPostCancel(int slot) { http.cancels += std::exchange(http.underWay[slot], false); }
void httpSetWake(void (*)()) {}
