#include "alerts/webhook_body.h"

#include "platform/bounded_text.h"
#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

enum { kTextSize = kReadableTextSize };

void putJsonString(BoundedText& out, const char* text)
{
    out.put('"');
    for (const char* c = text; *c; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        char escaped[8];
        if (byte == '"' || byte == '\\')
            out.bytes(escaped, std::snprintf(escaped, sizeof escaped, "\\%c", *c));
        else if (byte < 32 || byte > 126)
            out.bytes(escaped, std::snprintf(escaped, sizeof escaped, "\\u%04x", byte));
        else
            out.put(*c);
    }
    out.put('"');
}

// `,"key":` (no comma after the opening brace).
void putKey(BoundedText& out, const char* key)
{
    if (out.length > 0 && out.last != '{')
        out.put(',');
    putJsonString(out, key);
    out.put(':');
}

void stringField(BoundedText& out, const char* key, const char* value)
{
    putKey(out, key);
    putJsonString(out, value);
}

void numberField(BoundedText& out, const char* key, long long value)
{
    putKey(out, key);
    out.number(value);
}

// RFC 3339 with milliseconds: "Z", or the offset for a time on this PC's clock.
void timeField(BoundedText& out, const char* key, const CalendarTime& time, int offsetMinutes, int utc)
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
    if (facts.event == AlertHeartbeat)
        return facts.heartbeat.listening;
    return facts.event != AlertTest && facts.event != AlertScan;
}

// "21,22,3389", as syslog gives it.
void portsField(BoundedText& out, const char* key, const PortList& ports)
{
    char text[kPortsPhraseSize];
    portListText(ports, ",", text, sizeof text);
    stringField(out, key, text);
}

void heartbeatFields(BoundedText& out, const AlertHeartbeatFacts& heartbeat)
{
    stringField(out, "state", heartbeat.listening ? "listening" : "standing by");
    numberField(out, "callers", static_cast<long long>(heartbeat.callers));
    numberField(out, "sent", static_cast<long long>(heartbeat.sent));
    numberField(out, "waiting", static_cast<long long>(heartbeat.waiting));
    numberField(out, "dropped", static_cast<long long>(heartbeat.dropped));
    numberField(out, "ignored", static_cast<long long>(heartbeat.ignored));
    if (heartbeat.tripwiresOn) {
        portsField(out, "tripwires", heartbeat.armed);
        portsField(out, "refused", heartbeat.refused);
        numberField(out, "scans", static_cast<long long>(heartbeat.scans));
    }
    if (heartbeat.evicted)
        numberField(out, "evicted", static_cast<long long>(heartbeat.evicted));
}

void scanFields(BoundedText& out, const AlertScanFacts& scan)
{
    portsField(out, "ports", scan.ports);
    numberField(out, "connections", static_cast<long long>(scan.connections));
    numberField(out, "seconds", scan.seconds);
}

void summaryFields(BoundedText& out, const AlertFacts& facts)
{
    numberField(out, "connections", static_cast<long long>(facts.summary.connections));
    numberField(out, "addresses", static_cast<long long>(facts.summary.addresses));
    if (facts.summary.ports.count > 1)
        portsField(out, "ports", facts.summary.ports);
    timeField(out, "from", facts.summary.firstLocal, facts.time.utcOffsetMinutes, 0);
    timeField(out, "to", facts.summary.lastLocal, facts.time.utcOffsetMinutes, 0);
}

void jsonDocument(BoundedText& out, const SyslogOrigin& origin, const AlertFacts& facts, const char* text)
{
    out.text("{");
    stringField(out, "event", alertEventName(facts.event));
    timeField(out, "time", facts.time.utc, 0, 1);
    stringField(out, "host", origin.hostName);
    if (facts.event == AlertConnect || facts.event == AlertScan ||
        (facts.event == AlertSummary && facts.summary.addresses == 1))
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
    if (facts.event == AlertScan)
        scanFields(out, facts.scan);
    stringField(out, "version", VELMO_VERSION_TEXT);
    numberField(out, "sequenceId", static_cast<long long>(facts.sequenceId));
    stringField(out, "text", text);
    out.text("}");
}

void teamsMessage(BoundedText& out, const char* chatText)
{
    out.text("{\"type\":\"message\",\"attachments\":[{\"contentType\":\"application/vnd.microsoft.card.adaptive\","
             "\"contentUrl\":null,\"content\":{\"$schema\":\"http://adaptivecards.io/schemas/adaptive-card.json\","
             "\"type\":\"AdaptiveCard\",\"version\":\"1.4\",\"body\":[{\"type\":\"TextBlock\",\"text\":");
    putJsonString(out, chatText);
    out.text(",\"wrap\":true}]}}]}");
}

void oneKeyObject(BoundedText& out, const char* key, const char* value)
{
    out.text("{");
    stringField(out, key, value);
    out.text("}");
}

void ntfyHeaders(BoundedText& out, const SyslogOrigin& origin, const AlertFacts& facts)
{
    const int urgent = facts.event == AlertConnect || facts.event == AlertSummary || facts.event == AlertScan;
    out.text("Content-Type: text/plain\r\nTitle: Velmoranth on ");
    out.text(origin.hostName);
    out.text(urgent ? "\r\nPriority: 4\r\nTags: warning," : "\r\nPriority: 3\r\nTags: ");
    out.text(alertEventName(facts.event));
    out.text("\r\n");
}

} // namespace

int buildWebhookRequest(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts,
                        WebhookRequest& request)
{
    char text[kTextSize], chatText[kTextSize + sizeof origin.hostName + 32];
    alertReadableText(facts, text, sizeof text);
    std::snprintf(chatText, sizeof chatText, "Velmoranth on %s: %s", origin.hostName, text);
    BoundedText headers = boundedText(request.headers, sizeof request.headers);
    BoundedText body = boundedText(request.body, sizeof request.body);
    if (format == WebhookNtfy)
        ntfyHeaders(headers, origin, facts);
    else
        headers.text("Content-Type: application/json\r\n");
    switch (format) {
    case WebhookSlack: oneKeyObject(body, "text", chatText); break;
    case WebhookDiscord: oneKeyObject(body, "content", chatText); break;
    case WebhookTeams: teamsMessage(body, chatText); break;
    case WebhookNtfy: body.text(text); break;
    default: jsonDocument(body, origin, facts, text); break;
    }
    request.headersLength = headers.heldLength();
    request.bodyLength = body.heldLength();
    return headers.fits() && body.fits();
}

int buildWebhookMessage(WebhookFormat format, const SyslogOrigin& origin, const AlertFacts& facts, char* message,
                        int size)
{
    WebhookRequest request;
    if (!buildWebhookRequest(format, origin, facts, request) || size <= 0)
        return 0;
    BoundedText out = boundedText(message, size);
    out.bytes(request.headers, request.headersLength);
    out.text("\r\n");
    out.bytes(request.body, request.bodyLength);
    return out.fits() ? out.length : 0;
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
