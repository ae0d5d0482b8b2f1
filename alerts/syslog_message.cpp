#include "alerts/syslog_message.h"

#include "platform/bounded_text.h"
#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

// Facility 4: security and authorization messages.
enum { kFacility = 4, kSeverityWarning = 4, kSeverityNotice = 5, kSeverityInformational = 6 };

// The structured-data ID needs a private enterprise number; 32473 is the one
// reserved for documentation and examples (RFC 5612), as the project has none.
const char kStructuredDataId[] = "velmoranth@32473";

// A parameter ` name="value"`, with '"', '\\' and ']' escaped as RFC 5424 asks.
void parameter(BoundedText& out, const char* name, const char* value)
{
    out.put(' ');
    out.text(name);
    out.text("=\"");
    for (; *value; ++value) {
        if (*value == '"' || *value == '\\' || *value == ']')
            out.put('\\');
        out.put(*value);
    }
    out.put('"');
}

void number(BoundedText& out, const char* name, unsigned long value)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%lu", value);
    parameter(out, name, digits);
}

// "21,22,3389": ascending, no blanks.
void ports(BoundedText& out, const char* name, const PortList& list)
{
    char text[kPortsPhraseSize];
    portListText(list, ",", text, sizeof text);
    parameter(out, name, text);
}

int severityOf(AlertEvent event)
{
    switch (event) {
    case AlertConnect:
    case AlertScan: return kSeverityWarning;
    case AlertHeartbeat: return kSeverityInformational;
    default: return kSeverityNotice;
    }
}

void appendHeartbeat(BoundedText& out, const AlertFacts& facts)
{
    const AlertHeartbeatFacts& heartbeat = facts.heartbeat;
    parameter(out, "state", heartbeat.listening ? "listening" : "standby");
    if (heartbeat.listening) {
        number(out, "dstPort", static_cast<unsigned long>(facts.localPort));
        parameter(out, "daemon", alertDaemonName(facts.daemonKind));
    }
    number(out, "callers", heartbeat.callers);
    number(out, "sent", heartbeat.sent);
    number(out, "waiting", heartbeat.waiting);
    number(out, "dropped", heartbeat.dropped);
    number(out, "ignored", heartbeat.ignored);
    if (heartbeat.tripwiresOn) {
        ports(out, "tripwires", heartbeat.armed);
        ports(out, "refused", heartbeat.refused);
        number(out, "scans", heartbeat.scans);
    }
    if (heartbeat.evicted)
        number(out, "evicted", heartbeat.evicted);
}

void appendScan(BoundedText& out, const AlertFacts& facts)
{
    parameter(out, "src", facts.callerAddress);
    ports(out, "ports", facts.scan.ports);
    number(out, "connections", facts.scan.connections);
    number(out, "seconds", static_cast<unsigned long>(facts.scan.seconds));
}

void appendStructuredData(BoundedText& out, const AlertFacts& facts)
{
    out.put('[');
    out.text(kStructuredDataId);
    if (facts.event == AlertConnect) {
        parameter(out, "src", facts.callerAddress);
        number(out, "srcPort", static_cast<unsigned long>(facts.callerPort));
    }
    if (facts.event == AlertHeartbeat) {
        appendHeartbeat(out, facts);
    } else if (facts.event == AlertScan) {
        appendScan(out, facts);
    } else if (facts.event != AlertTest) {
        number(out, "dstPort", static_cast<unsigned long>(facts.localPort));
        parameter(out, "daemon", alertDaemonName(facts.daemonKind));
    }
    parameter(out, "version", VELMO_VERSION_TEXT);
    out.text("][meta");
    number(out, "sequenceId", facts.sequenceId);
    out.put(']');
}

} // namespace

int buildSyslogMessage(const SyslogOrigin& origin, const AlertFacts& facts, char* message, int size)
{
    const CalendarTime& utc = facts.time.utc;
    BoundedText out = boundedText(message, size);
    char header[400];
    std::snprintf(header, sizeof header, "<%d>1 %04d-%02d-%02dT%02d:%02d:%02d.%03dZ %s velmoranth %lu %s ",
                  kFacility * 8 + severityOf(facts.event), utc.year, utc.month, utc.day, utc.hour, utc.minute,
                  utc.second, utc.millisecond, origin.hostName, origin.processId, alertEventName(facts.event));
    out.text(header);
    appendStructuredData(out, facts);
    out.put(' ');
    char text[kReadableTextSize];
    alertReadableText(facts, text, sizeof text);
    out.text(text);
    return out.heldLength();
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
