#include "alerts/alert_channel.h"
#include "alerts/webhook_body.h"
#include "fakes/http_fake.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const SyslogOrigin kOrigin = {"FRONTDESK-PC", 4242};

// At 08:41:07.123 UTC, on a clock 5:30 behind it.
AlertFacts factsOf(AlertEvent event, int listening = 1, unsigned long addresses = 1)
{
    return {event, 17, {{2024, 5, 1, 8, 41, 7, 123}, {2024, 5, 1, 3, 11, 7, 123}, -330}, "203.0.113.7", 51234, 23, 1,
            {listening, 12, 9, 2, 1, 3, 0, {}, {}, 0, 0},
            {4, addresses, {2024, 5, 1, 3, 1, 0, 0}, {2024, 5, 1, 3, 11, 59, 999}, {}}, {}};
}

std::string readable(const AlertFacts& facts)
{
    char text[kReadableTextSize];
    alertReadableText(facts, text, sizeof text);
    return text;
}

std::string bodyOf(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts)
{
    WebhookRequest request{};
    EXPECT_TRUE(buildWebhookRequest(format, origin, facts, request));
    EXPECT_STREQ(request.headers, format == WebhookNtfy ? request.headers : "Content-Type: application/json\r\n");
    return std::string(request.body, request.bodyLength);
}

const std::string kStart = "{\"event\":\"",
                  kTimeHost = "\"time\":\"2024-05-01T08:41:07.123Z\",\"host\":\"FRONTDESK-PC\",",
                  kPort = "\"dstPort\":23,\"daemon\":\"FreeBSD 5.1\",",
                  kCounts = "\"callers\":12,\"sent\":9,\"waiting\":2,\"dropped\":1,\"ignored\":3,",
                  kTail = "\"version\":\"" VELMO_VERSION_TEXT "\",\"sequenceId\":17,\"text\":\"";

} // namespace

// Each body is compared whole: what the row gives, the event's readable text, then the row's end.
TEST(WebhookBody, EachFormatWhole)
{
    const std::string chat = "Velmoranth on FRONTDESK-PC: ";
    AlertFacts scan = factsOf(AlertScan), sweep = factsOf(AlertSummary);
    scan.scan = AlertScanFacts{{{21, 22, 23}, 3}, 5, 2};
    sweep.summary.ports = PortList{{21, 3389}, 2};
    const std::tuple<WebhookFormat, AlertFacts, std::string, std::string> cases[] = {
        {WebhookJson, factsOf(AlertConnect),
         kStart + "connect\"," + kTimeHost + "\"src\":\"203.0.113.7\",\"srcPort\":51234," + kPort + kTail, "\"}"},
        {WebhookSlack, factsOf(AlertConnect), "{\"text\":\"" + chat, "\"}"},
        {WebhookDiscord, factsOf(AlertConnect), "{\"content\":\"" + chat, "\"}"},
        {WebhookTeams, factsOf(AlertConnect),
         "{\"type\":\"message\",\"attachments\":[{\"contentType\":\"application/vnd.microsoft.card.adaptive\","
         "\"contentUrl\":null,\"content\":{\"$schema\":\"http://adaptivecards.io/schemas/adaptive-card.json\","
         "\"type\":\"AdaptiveCard\",\"version\":\"1.4\",\"body\":[{\"type\":\"TextBlock\",\"text\":\"" + chat,
         "\",\"wrap\":true}]}}]}"},
        {WebhookNtfy, factsOf(AlertConnect), "", ""},
        {WebhookJson, factsOf(AlertSummary),
         kStart + "summary\"," + kTimeHost + "\"src\":\"203.0.113.7\"," + kPort + "\"connections\":4,\"addresses\":1,"
         "\"from\":\"2024-05-01T03:01:00.000-05:30\",\"to\":\"2024-05-01T03:11:59.999-05:30\"," + kTail, "\"}"},
        {WebhookJson, factsOf(AlertSummary, 1, 7),  // a flood's rest: no one address
         kStart + "summary\"," + kTimeHost + kPort + "\"connections\":4,\"addresses\":7,"
         "\"from\":\"2024-05-01T03:01:00.000-05:30\",\"to\":\"2024-05-01T03:11:59.999-05:30\"," + kTail, "\"}"},
        {WebhookJson, factsOf(AlertHeartbeat),
         kStart + "heartbeat\"," + kTimeHost + kPort + "\"state\":\"listening\"," + kCounts + kTail, "\"}"},
        {WebhookJson, factsOf(AlertHeartbeat, 0),
         kStart + "heartbeat\"," + kTimeHost + "\"state\":\"standing by\"," + kCounts + kTail, "\"}"},
        {WebhookJson, scan,
         kStart + "scan\"," + kTimeHost + "\"src\":\"203.0.113.7\",\"ports\":\"21,22,23\",\"connections\":5,"
         "\"seconds\":2," + kTail, "\"}"},
        {WebhookJson, sweep,
         kStart + "summary\"," + kTimeHost + "\"src\":\"203.0.113.7\"," + kPort + "\"connections\":4,\"addresses\":1,"
         "\"ports\":\"21,3389\",\"from\":\"2024-05-01T03:01:00.000-05:30\",\"to\":\"2024-05-01T03:11:59.999-05:30\"," +
         kTail, "\"}"},
    };
    for (const auto& [format, facts, start, end] : cases)
        EXPECT_EQ(bodyOf(format, kOrigin, facts), start + readable(facts) + end);
    const std::string ntfy = "Content-Type: text/plain\r\nTitle: Velmoranth on FRONTDESK-PC\r\nPriority: ";
    for (const auto& [event, headers] : {std::pair(AlertConnect, ntfy + "4\r\nTags: warning,connect\r\n"),
                                         std::pair(AlertListen, ntfy + "3\r\nTags: listen\r\n")}) {
        WebhookRequest request{};
        buildWebhookRequest(WebhookNtfy, kOrigin, factsOf(event), request);
        EXPECT_EQ(request.headers, headers);
    }
}

TEST(WebhookBody, JsonStringsAreEscapedToAscii)
{
    SyslogOrigin origin = {"a\"b\\c\x01\x1f\x7f\xe9", 1};
    EXPECT_EQ(bodyOf(WebhookJson, origin, factsOf(AlertTest)),
              kStart + "test\",\"time\":\"2024-05-01T08:41:07.123Z\","
                       "\"host\":\"a\\\"b\\\\c\\u0001\\u001f\\u007f\\u00e9\"," +
                  kTail + readable(factsOf(AlertTest)) + "\"}");
}

TEST(WebhookBody, TheQueuedFormSplitsBackAtTheFirstEmptyLine)
{
    char message[kWebhookMessageSize];
    WebhookRequest request{};
    buildWebhookRequest(WebhookNtfy, kOrigin, factsOf(AlertConnect), request);
    const int length = buildWebhookMessage(WebhookNtfy, kOrigin, factsOf(AlertConnect), message, sizeof message);
    EXPECT_EQ(std::string(message, length), request.headers + std::string("\r\n") + request.body);
    EXPECT_EQ(buildWebhookMessage(WebhookNtfy, kOrigin, factsOf(AlertConnect), message, length), 0) << "no room";
    const std::pair<std::string, std::string> splits[] = {
        {"A: b\r\nC: d\r\n\r\nx\r\n\r\ny", "A: b\r\nC: d\r\n|x\r\n\r\ny"},
        {"\r\nbody", "|body"},
        {"A: b\r\n", "none"},
        {"A: b\r\nCC: d\r\n\r\n", "none"},  // 13 characters of header lines: one more than the buffer takes
    };
    for (const auto& [blob, parts] : splits) {
        char headers[13];
        const char* body = nullptr;
        int bodyLength = 0;
        EXPECT_EQ(splitWebhookMessage(blob.data(), int(blob.size()), headers, sizeof headers, body, bodyLength)
                      ? headers + std::string("|") + std::string(body, bodyLength) : "none", parts);
    }
}

namespace {

// A webhook channel on slot 2 with `events` connects (sequence ids from 17) queued as JSON at 0 and pumped once.
AlertChannel& webhookChannel(int events)
{
    static AlertChannel channel;
    static char bytes[64 * 1024];
    static AlertQueueEntry entries[16];
    resetFakeHttp();
    alertChannelInitSmall(channel, bytes, sizeof bytes, entries, 16, 2);
    alertChannelConfigureWebhook(channel, {1, "https://hooks.example/T0/B0", WebhookJson, AlertEventsConnect});
    for (AlertFacts facts = factsOf(AlertConnect); facts.sequenceId < 17ul + events; ++facts.sequenceId) {
        char message[kWebhookMessageSize];
        alertChannelPost(channel, message, buildWebhookMessage(WebhookJson, kOrigin, facts, message, sizeof message));
    }
    alertChannelPump(channel, 0);
    return channel;
}

// "sent waiting dropped last error"
std::string status(const AlertChannel& channel)
{
    const AlertStatus status = alertChannelStatus(channel);
    return std::to_string(status.sent) + " " + std::to_string(status.waiting) + " " + std::to_string(status.dropped) +
           " " + status.lastError;
}

} // namespace

// Each reply, then when the message goes again (never: it left the queue).
TEST(WebhookSender, RepliesConfirmKeepOrDrop)
{
    const long long kNever = -1, kHour = 3600000;
    const std::tuple<HttpOutcome, std::string, long long> cases[] = {
        {{200, -1, "ok", HttpFailureNone}, "1 0 0 ", kNever},
        {{299, -1, "", HttpFailureNone}, "1 0 0 ", kNever},
        {{500, -1, "oops", HttpFailureNone}, "0 1 0 HTTP 500: oops", 1000},
        {{503, 99999, "", HttpFailureNone}, "0 1 0 HTTP 503", kHour},
        {{404, 30, "no_team", HttpFailureNone}, "0 0 1 HTTP 404: no_team", kNever},
        {{301, -1, "", HttpFailureNone}, "0 0 1 HTTP 301", kNever},
        {{407, -1, "", HttpFailureNone}, "0 1 0 HTTP 407", 1000},
        {{0, -1, "", HttpFailureCertificate},
         "0 1 0 The webhook server's certificate (or its TLS) did not pass the checks.", 1000},
        {{0, -1, "", HttpFailureConnect}, "0 1 0 No connection to the webhook's server (or the proxy).", 1000},
    };
    for (const auto& [outcome, after, retryAtMs] : cases) {
        AlertChannel& channel = webhookChannel(1);
        fakeHttp().outcomes.push_back(outcome);
        alertChannelPump(channel, 0);
        EXPECT_EQ(status(channel), after);
        alertChannelPump(channel, retryAtMs == kNever ? kHour : retryAtMs - 1);
        EXPECT_EQ(fakeHttp().posted.size(), 1u) << after << ": nothing more before the pause ends";
        alertChannelPump(channel, retryAtMs);
        EXPECT_EQ(fakeHttp().posted.size(), retryAtMs == kNever ? 1u : 2u) << after;
    }
}

TEST(WebhookSender, TooManyRequestsWithRetryAfterThenSuccessDeliversEachOnceInOrder)
{
    AlertChannel& channel = webhookChannel(2);
    const FakeHttpRequest first = fakeHttp().posted.at(0);
    EXPECT_EQ(std::to_string(first.slot) + " " + first.url + " " + first.headers + first.body,
              "2 https://hooks.example/T0/B0 Content-Type: application/json\r\n" +
                  bodyOf(WebhookJson, kOrigin, factsOf(AlertConnect)));
    fakeHttpAnswer(429, 120, "slow down");
    alertChannelPump(channel, 5);
    alertChannelPump(channel, 120004);
    EXPECT_EQ(status(channel) + " " + std::to_string(fakeHttp().posted.size()), "0 2 0 HTTP 429: slow down 1");
    fakeHttpAnswer(200);
    fakeHttpAnswer(200);
    for (long long now = 120005; now < 120010; ++now)
        alertChannelPump(channel, now);
    const auto& posted = fakeHttp().posted;
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[1].body, first.body);
    EXPECT_NE(posted[2].body.find("\"sequenceId\":18"), std::string::npos);
    EXPECT_EQ(status(channel).substr(0, 6), "2 0 0 ");
}

TEST(WebhookSender, NoAnswerInTwoMinutesIsAbandonedAndTriedAgain)
{
    AlertChannel& channel = webhookChannel(1);
    alertChannelPump(channel, 119999);
    EXPECT_EQ(fakeHttp().cancels, 0);
    alertChannelPump(channel, 120000);
    EXPECT_EQ(status(channel) + " " + std::to_string(fakeHttp().cancels),
              "0 1 0 The webhook's server did not answer in time. 1");
    alertChannelPump(channel, 121000);
    EXPECT_EQ(fakeHttp().posted.size(), 2u);
}
