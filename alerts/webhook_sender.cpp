#include "alerts/webhook_sender.h"

#include "alerts/alert_channel.h"
#include "alerts/webhook_body.h"
#include "platform/http.h"

#include <cstdio>

namespace {

// WinHTTP's own time-outs end a request within about 85 s (15 + 10 + 30 +
// 30); this is the last resort should they not.
enum : long long { kGiveUpMs = 120000 };

const char* failureText(HttpFailure failure)
{
    switch (failure) {
    case HttpFailureResolve: return "The webhook's host name (or the proxy's) could not be resolved.";
    case HttpFailureConnect: return "No connection to the webhook's server (or the proxy).";
    case HttpFailureTimedOut: return "The webhook's server did not answer in time.";
    case HttpFailureCertificate: return "The webhook server's certificate (or its TLS) did not pass the checks.";
    case HttpFailureUrl: return "The webhook URL cannot be used.";
    default: return "The webhook request failed.";
    }
}

void endRequest(AlertChannel& channel)
{
    channel.web.requestUnderWay = 0;
    channel.queue.locked = 0;
}

void startRequest(AlertChannel& channel, long long nowMs)
{
    unsigned long length = 0;
    const char* message = alertQueueMessage(channel.queue, 0, length);
    char headers[kWebhookHeadersSize];
    const char* body = nullptr;
    int bodyLength = 0;
    if (!splitWebhookMessage(message, static_cast<int>(length), headers, sizeof headers, body, bodyLength))
        return alertChannelReject(channel, "A queued webhook message is not in the webhook form.", nowMs);
    HttpOutcome outcome;
    if (httpPostStart(channel.httpSlot, channel.webhook.url, headers, body, bodyLength, outcome)) {
        channel.web.requestUnderWay = 1;
        channel.web.giveUpAtMs = nowMs + kGiveUpMs;
        channel.queue.locked = 1;
    } else if (outcome.failure != HttpFailureNone) {  // none: the slot is still busy with an abandoned request
        alertChannelFail(channel, failureText(outcome.failure), nowMs);
    }
}

void reportAnswer(AlertChannel& channel, const HttpOutcome& outcome, long long nowMs)
{
    const int status = outcome.status;
    char why[kAlertErrorTextSize];
    std::snprintf(why, sizeof why, "HTTP %d%s%.180s", status, outcome.replyStart[0] ? ": " : "", outcome.replyStart);
    if (status >= 200 && status <= 299)
        return alertChannelConfirm(channel, 1);
    // Busy, broken, or the way there (a proxy that wants a sign-in, a time-out)
    // rather than the message: it waits for another try.
    if (status == 407 || status == 408 || status == 429 || (status >= 500 && status <= 599)) {
        const long long asked = outcome.retryAfterSeconds < 0 ? 0 : outcome.retryAfterSeconds * 1000LL;
        return alertChannelFail(channel, why, nowMs,
                                asked < kAlertLongestRetryAfterMs ? asked : kAlertLongestRetryAfterMs);
    }
    alertChannelReject(channel, why, nowMs);
}

// 1 when the request under way ended (answered, failed or given up).
int pollRequest(AlertChannel& channel, long long nowMs)
{
    HttpOutcome outcome;
    const HttpState state = httpPostPoll(channel.httpSlot, outcome);
    if (state == HttpPending && nowMs < channel.web.giveUpAtMs)
        return 0;
    if (state == HttpPending)
        httpPostCancel(channel.httpSlot);
    endRequest(channel);
    if (state == HttpAnswered)
        reportAnswer(channel, outcome, nowMs);
    else
        alertChannelFail(channel, failureText(state == HttpPending ? HttpFailureTimedOut : outcome.failure), nowMs);
    return 1;
}

} // namespace

void webhookSenderPump(AlertChannel& channel, long long nowMs)
{
    if (channel.web.requestUnderWay && !pollRequest(channel, nowMs))
        return;
    const int pausing = channel.waitingToRetry && nowMs < channel.retryAtMs;
    if (!channel.web.requestUnderWay && !pausing && channel.queue.count > 0)
        startRequest(channel, nowMs);
}

void webhookSenderClose(AlertChannel& channel)
{
    if (!channel.web.requestUnderWay)
        return;
    httpPostCancel(channel.httpSlot);
    endRequest(channel);
}
