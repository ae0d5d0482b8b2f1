#pragma once
// Webhook requests: one event rendered as the header lines and the body of a
// POST, in the format the receiver takes. Everything is ASCII; only
// addresses, ports, names and numbers go in, and JSON strings are escaped
// (", \ and any byte outside 32 to 126 as \u00XX).
//
// `chat text` below is "Velmoranth on HOST: " and the event's readable text,
// as alertReadableText gives it. Each JSON format is sent with
// "Content-Type: application/json", with no blank between tokens:
//
// json, a document of our own, one key per fact, in this order:
//   event       "connect", "listen", "standby", "test", "heartbeat", "summary", "scan"
//   time        "2024-05-01T08:41:07.123Z" (RFC 3339, UTC, milliseconds)
//   host        "FRONTDESK-PC"
//   src         "203.0.113.7"        connect, scan; a summary of one address
//   srcPort     51234                connect
//   dstPort     23                   connect, listen, standby, summary; heartbeat when listening
//   daemon      "FreeBSD 5.1"        as dstPort
//   state       "listening" or "standing by"                          heartbeat
//   callers, sent, waiting, dropped, ignored   (numbers)              heartbeat
//   tripwires, refused "21,22,3389"; scans (a number)   heartbeat, when the tripwires are on
//   evicted     (a number)           heartbeat, when a full scan tracker dropped a source
//   ports       "21,22,3389"         scan; a summary of more than one port
//   connections, seconds (numbers)   scan
//   connections, addresses   (numbers)                                summary
//   from, to    "2024-05-01T10:41:00.000+02:00" (the first and last    summary
//               connection counted, on this PC's clock, with its offset)
//   version     "1.9"
//   sequenceId  17
//   text        "Connection from 203.0.113.7:51234 to port 23 (FreeBSD 5.1)"
// slack (Slack, Mattermost, Rocket.Chat): {"text":"<chat text>"}
// discord: {"content":"<chat text>"}
// teams, a Microsoft Teams Workflows webhook: a message whose one attachment
//   is an Adaptive Card 1.4 with one TextBlock of the chat text:
//   {"type":"message","attachments":[{"contentType":
//   "application/vnd.microsoft.card.adaptive","contentUrl":null,"content":
//   {"$schema":"http://adaptivecards.io/schemas/adaptive-card.json",
//   "type":"AdaptiveCard","version":"1.4","body":[{"type":"TextBlock",
//   "text":"<chat text>","wrap":true}]}}]}
// ntfy: the readable text alone as a text/plain body, with the headers
//   "Title: Velmoranth on HOST", "Priority: 4" for a connect, a summary or a scan
//   (3 otherwise) and "Tags: warning,connect" ("warning," for a connect, a
//   summary or a scan, then the event's name).
#include "alerts/alert_event.h"
#include "alerts/alert_targets.h"

enum {
    kWebhookHeadersSize = 512,   // the longest header lines, with a 255-byte host name, fit
    kWebhookBodySize = 4096,     // and the longest body (a scan of every port, a long host name)
    kWebhookMessageSize = kWebhookHeadersSize + 2 + kWebhookBodySize,
};

struct WebhookRequest {
    char headers[kWebhookHeadersSize];  // "Name: value" lines, each ending in CR LF; nul-ended
    int headersLength;
    char body[kWebhookBodySize];        // nul-ended too
    int bodyLength;
};

// Renders the event in `format`. 1, or 0 when it does not fit (it always
// does for facts as alert_event.h bounds them).
int buildWebhookRequest(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts,
                        WebhookRequest& request);

// The queued form of one request, one blob for the channel's queue: the
// header lines, an empty line (CR LF), the body. Returns its length, or 0
// when it does not fit `size`.
int buildWebhookMessage(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts, char* message,
                        int size);

// Splits a queued message back: the header lines are copied to `headers`
// (nul-ended), and `body` points into `message`. 1, or 0 when the message has
// no empty line or its header lines do not fit `headersSize`.
int splitWebhookMessage(const char* message, int length, char* headers, int headersSize, const char*& body,
                        int& bodyLength);
