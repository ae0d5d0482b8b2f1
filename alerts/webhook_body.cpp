#include "alerts/webhook_body.h"

#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

enum { kTextSize = 512 };

// Text appended to a fixed buffer, nul-ended; `full` once anything did not fit.
struct Out {
    char* data;
    int size;
    int length;
    int full;
};

Out outInto(char* data, int size)
{
    data[0] = '\0';
    return Out{data, size, 0, 0};
}

void put(Out& out, const char* text, int length)
{
    if (out.length + length >= out.size) {
        out.full = 1;
        return;
    }
    std::memcpy(out.data + out.length, text, static_cast<size_t>(length));
    out.length += length;
    out.data[out.length] = '\0';
}

void put(Out& out, const char* text)
{
    put(out, text, static_cast<int>(std::strlen(text)));
}

void putNumber(Out& out, long long value)
{
    char digits[24];
    put(out, digits, std::snprintf(digits, sizeof digits, "%lld", value));
}

void putJsonString(Out& out, const char* text)
{
    put(out, "\"");
    for (const char* c = text; *c; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        char escaped[8];
        if (byte == '"' || byte == '\\')
            put(out, escaped, std::snprintf(escaped, sizeof escaped, "\\%c", *c));
        else if (byte < 32 || byte > 126)
            put(out, escaped, std::snprintf(escaped, sizeof escaped, "\\u%04x", byte));
        else
            put(out, c, 1);
    }
    put(out, "\"");
}

// `,"key":` (no comma after the opening brace).
void putKey(Out& out, const char* key)
{
    if (out.length > 0 && out.data[out.length - 1] != '{')
        put(out, ",");
    putJsonString(out, key);
    put(out, ":");
}

void stringField(Out& out, const char* key, const char* value)
{
    putKey(out, key);
    putJsonString(out, value);
}

void numberField(Out& out, const char* key, long long value)
{
    putKey(out, key);
    putNumber(out, value);
}

// RFC 3339 with milliseconds: "Z", or the offset for a time on this PC's clock.
void timeField(Out& out, const char* key, const CalendarTime& time, int offsetMinutes, int utc)
{
    const int away = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[48], zone[8] = "Z";
    if (!utc)
        std::snprintf(zone, sizeof zone, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', away / 60 % 100, away % 60);
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%s", time.year % 10000, time.month % 100,
                  time.day % 100, time.hour % 100, time.minute % 100, time.second % 100, time.millisecond % 1000,
                  zone);
    stringField(out, key, text);
}

int carriesPort(const AlertFacts& facts)
{
    return facts.event == AlertHeartbeat ? facts.heartbeat.listening : facts.event != AlertTest;
}

void heartbeatFields(Out& out, const AlertHeartbeatFacts& heartbeat)
{
    stringField(out, "state", heartbeat.listening ? "listening" : "standing by");
    numberField(out, "callers", static_cast<long long>(heartbeat.callers));
    numberField(out, "sent", static_cast<long long>(heartbeat.sent));
    numberField(out, "waiting", static_cast<long long>(heartbeat.waiting));
    numberField(out, "dropped", static_cast<long long>(heartbeat.dropped));
    numberField(out, "ignored", static_cast<long long>(heartbeat.ignored));
}

void summaryFields(Out& out, const AlertFacts& facts)
{
    numberField(out, "connections", static_cast<long long>(facts.summary.connections));
    numberField(out, "addresses", static_cast<long long>(facts.summary.addresses));
    timeField(out, "from", facts.summary.firstLocal, facts.time.utcOffsetMinutes, 0);
    timeField(out, "to", facts.summary.lastLocal, facts.time.utcOffsetMinutes, 0);
}

void jsonDocument(Out& out, const SyslogOrigin& origin, const AlertFacts& facts, const char* text)
{
    put(out, "{");
    stringField(out, "event", alertEventName(facts.event));
    timeField(out, "time", facts.time.utc, 0, 1);
    stringField(out, "host", origin.hostName);
    if (facts.event == AlertConnect || (facts.event == AlertSummary && facts.summary.addresses == 1))
        stringField(out, "src", facts.callerAddress);
    if (facts.event == AlertConnect)
        numberField(out, "srcPort", facts.callerPort);
    if (carriesPort(facts)) {
        numberField(out, "dstPort", facts.localPort);
        stringField(out, "daemon", alertDaemonName(facts.daemonKind));
    }
    if (facts.event == AlertHeartbeat)
        heartbeatFields(out, facts.heartbeat);
    if (facts.event == AlertSummary)
        summaryFields(out, facts);
    stringField(out, "version", VELMO_VERSION_TEXT);
    numberField(out, "sequenceId", static_cast<long long>(facts.sequenceId));
    stringField(out, "text", text);
    put(out, "}");
}

void teamsMessage(Out& out, const char* chatText)
{
    put(out, "{\"type\":\"message\",\"attachments\":[{\"contentType\":\"application/vnd.microsoft.card.adaptive\","
             "\"contentUrl\":null,\"content\":{\"$schema\":\"http://adaptivecards.io/schemas/adaptive-card.json\","
             "\"type\":\"AdaptiveCard\",\"version\":\"1.4\",\"body\":[{\"type\":\"TextBlock\",\"text\":");
    putJsonString(out, chatText);
    put(out, ",\"wrap\":true}]}}]}");
}

void oneKeyObject(Out& out, const char* key, const char* value)
{
    put(out, "{");
    stringField(out, key, value);
    put(out, "}");
}

void ntfyHeaders(Out& out, const SyslogOrigin& origin, const AlertFacts& facts)
{
    const int urgent = facts.event == AlertConnect || facts.event == AlertSummary;
    put(out, "Content-Type: text/plain\r\nTitle: Velmoranth on ");
    put(out, origin.hostName);
    put(out, urgent ? "\r\nPriority: 4\r\nTags: warning," : "\r\nPriority: 3\r\nTags: ");
    put(out, alertEventName(facts.event));
    put(out, "\r\n");
}

} // namespace

int buildWebhookRequest(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts,
                        WebhookRequest& request)
{
    char text[kTextSize], chatText[kTextSize + sizeof origin.hostName + 32];
    alertReadableText(facts, text, sizeof text);
    std::snprintf(chatText, sizeof chatText, "Velmoranth on %s: %s", origin.hostName, text);
    Out headers = outInto(request.headers, sizeof request.headers);
    Out body = outInto(request.body, sizeof request.body);
    if (format == WebhookNtfy)
        ntfyHeaders(headers, origin, facts);
    else
        put(headers, "Content-Type: application/json\r\n");
    switch (format) {
    case WebhookSlack: oneKeyObject(body, "text", chatText); break;
    case WebhookDiscord: oneKeyObject(body, "content", chatText); break;
    case WebhookTeams: teamsMessage(body, chatText); break;
    case WebhookNtfy: put(body, text); break;
    default: jsonDocument(body, origin, facts, text); break;
    }
    request.headersLength = headers.length;
    request.bodyLength = body.length;
    return !headers.full && !body.full;
}

int buildWebhookMessage(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts, char* message,
                        int size)
{
    WebhookRequest request;
    if (!buildWebhookRequest(format, origin, facts, request) || size <= 0)
        return 0;
    Out out = outInto(message, size);
    put(out, request.headers, request.headersLength);
    put(out, "\r\n");
    put(out, request.body, request.bodyLength);
    return out.full ? 0 : out.length;
}

int splitWebhookMessage(const char* message, int length, char* headers, int headersSize, const char*& body,
                        int& bodyLength)
{
    for (int i = 0; i + 1 < length; ++i) {
        const int lineStart = i == 0 || (i >= 2 && message[i - 2] == '\r' && message[i - 1] == '\n');
        if (!lineStart || message[i] != '\r' || message[i + 1] != '\n')
            continue;
        if (i >= headersSize)
            return 0;
        std::memcpy(headers, message, static_cast<size_t>(i));
        headers[i] = '\0';
        body = message + i + 2;
        bodyLength = length - i - 2;
        return 1;
    }
    return 0;
}
