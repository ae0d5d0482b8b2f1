#include "alerts/syslog_message.h"

#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

// Facility 4: security and authorization messages.
enum { kFacility = 4, kSeverityWarning = 4, kSeverityNotice = 5, kSeverityInformational = 6 };

// The structured-data ID needs a private enterprise number; 32473 is the one
// reserved for documentation and examples (RFC 5612), as the project has none.
const char kStructuredDataId[] = "velmoranth@32473";

// Appends to a fixed buffer; what does not fit is cut, and the length says so.
struct Writer {
    char* out;
    int size;
    int length;

    void text(const char* s)
    {
        for (; *s; ++s)
            put(*s);
    }
    void put(char c)
    {
        if (length < size - 1)
            out[length] = c;
        ++length;
    }
    // A parameter ` name="value"`, with '"', '\' and ']' escaped as RFC 5424 asks.
    void parameter(const char* name, const char* value)
    {
        put(' ');
        text(name);
        text("=\"");
        for (; *value; ++value) {
            if (*value == '"' || *value == '\\' || *value == ']')
                put('\\');
            put(*value);
        }
        put('"');
    }
    void number(const char* name, unsigned long value)
    {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%lu", value);
        parameter(name, digits);
    }
    int end()
    {
        out[length < size ? length : size - 1] = '\0';
        return length < size ? length : size - 1;
    }
};

int severityOf(AlertEvent event)
{
    switch (event) {
    case AlertConnect: return kSeverityWarning;
    case AlertHeartbeat: return kSeverityInformational;
    default: return kSeverityNotice;
    }
}

void appendHeartbeat(Writer& out, const AlertFacts& facts)
{
    const AlertHeartbeatFacts& h = facts.heartbeat;
    out.parameter("state", h.listening ? "listening" : "standby");
    if (h.listening) {
        out.number("dstPort", static_cast<unsigned long>(facts.localPort));
        out.parameter("daemon", alertDaemonName(facts.daemonKind));
    }
    out.number("callers", h.callers);
    out.number("sent", h.sent);
    out.number("waiting", h.waiting);
    out.number("dropped", h.dropped);
    out.number("ignored", h.ignored);
}

void appendStructuredData(Writer& out, const AlertFacts& facts)
{
    out.put('[');
    out.text(kStructuredDataId);
    if (facts.event == AlertConnect) {
        out.parameter("src", facts.callerAddress);
        out.number("srcPort", static_cast<unsigned long>(facts.callerPort));
    }
    if (facts.event == AlertHeartbeat) {
        appendHeartbeat(out, facts);
    } else if (facts.event != AlertTest) {
        out.number("dstPort", static_cast<unsigned long>(facts.localPort));
        out.parameter("daemon", alertDaemonName(facts.daemonKind));
    }
    out.parameter("version", VELMO_VERSION_TEXT);
    out.text("][meta");
    out.number("sequenceId", facts.sequenceId);
    out.put(']');
}

} // namespace

int buildSyslogMessage(const SyslogOrigin& origin, const AlertFacts& facts, char* message, int size)
{
    const CalendarTime& t = facts.time.utc;
    Writer out{message, size, 0};
    char header[400];
    std::snprintf(header, sizeof header, "<%d>1 %04d-%02d-%02dT%02d:%02d:%02d.%03dZ %s velmoranth %lu %s ",
                  kFacility * 8 + severityOf(facts.event), t.year, t.month, t.day, t.hour, t.minute, t.second,
                  t.millisecond, origin.hostName, origin.processId, alertEventName(facts.event));
    out.text(header);
    appendStructuredData(out, facts);
    out.put(' ');
    char text[256];
    alertReadableText(facts, text, sizeof text);
    out.text(text);
    return out.end();
}

int frameSyslogMessage(SyslogFraming framing, const char* message, int length, char* framed, int size)
{
    char prefix[16] = "";
    if (framing == SyslogFramingOctet)
        std::snprintf(prefix, sizeof prefix, "%d ", length);
    const int prefixLength = static_cast<int>(std::strlen(prefix));
    const int total = prefixLength + length + (framing == SyslogFramingLf ? 1 : 0);
    if (total > size)
        return 0;
    std::memcpy(framed, prefix, static_cast<size_t>(prefixLength));
    std::memcpy(framed + prefixLength, message, static_cast<size_t>(length));
    if (framing == SyslogFramingLf)
        framed[total - 1] = '\n';
    return total;
}
