#pragma once
// The webhook channel's sender: posts the oldest queued message (the blob of
// buildWebhookMessage) to the channel's URL through http.h, one at a time on
// the channel's own HTTP slot, and reports to the channel:
//   2xx: confirmed;
//   429 and 5xx (and 407, 408: the way there, not the message): failed, and
//     the pause is at least the reply's Retry-After (up to an hour);
//   any other status (3xx, as redirects are not followed, and 4xx): refused
//     for good, with "HTTP <status>: <the reply's start>" as the last error;
//   no answer: failed, with the reason in words.
// The message stays locked in the queue while it is posted.
struct AlertChannel;

// What the webhook sender keeps between pumps.
struct WebhookSenderState {
    int requestUnderWay;   // the oldest message is being posted (and locked in the queue)
    long long giveUpAtMs;  // when the request is abandoned, should WinHTTP's own time-outs not end it
};

// Polls the request under way; starts the next one when none is and the
// channel is not pausing. Never waits.
void webhookSenderPump(AlertChannel& channel, long long nowMs);

// Abandons the request under way: its answer is never heard, and the
// message stays queued for the next attempt.
void webhookSenderClose(AlertChannel& channel);
