#include "engine/syslog_message.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#ifndef VELMO_VERSION_TEXT
#define VELMO_VERSION_TEXT "0"
#endif

namespace {

// Facility 4: security and authorization messages.
enum { kFacility = 4, kSeverityWarning = 4, kSeverityNotice = 5 };

// The structured-data ID needs a private enterprise number; 32473 is the one
// reserved for documentation and examples (RFC 5612), as the project has none.
const char kStructuredDataId[] = "velmoranth@32473";

const char* messageId(AlertEvent event)
{
    switch (event) {
    case AlertConnect: return "connect";
    case AlertListen: return "listen";
    case AlertStandby: return "standby";
    default: return "test";
    }
}

// A parameter ` name="value"`, with '"', '\' and ']' escaped as RFC 5424 asks.
void appendParameter(std::string& out, const char* name, const std::string& value)
{
    out += ' ';
    out += name;
    out += "=\"";
    for (char c : value) {
        if (c == '"' || c == '\\' || c == ']')
            out += '\\';
        out += c;
    }
    out += '"';
}

void appendStructuredData(std::string& out, const AlertFacts& facts)
{
    out += '[';
    out += kStructuredDataId;
    if (facts.event == AlertConnect) {
        appendParameter(out, "src", facts.callerAddress);
        appendParameter(out, "srcPort", std::to_string(facts.callerPort));
    }
    if (facts.event != AlertTest) {
        appendParameter(out, "dstPort", std::to_string(facts.localPort));
        appendParameter(out, "daemon", alertDaemonName(facts.daemonKind));
    }
    appendParameter(out, "version", VELMO_VERSION_TEXT);
    out += ']';
}

std::string readableText(const AlertFacts& facts)
{
    const std::string port = std::to_string(facts.localPort);
    const std::string daemon = std::string(" (") + alertDaemonName(facts.daemonKind) + ")";
    switch (facts.event) {
    case AlertConnect:
        return std::string("Connection from ") + facts.callerAddress + ":" + std::to_string(facts.callerPort) +
               " to port " + port + daemon;
    case AlertListen: return "Listening on port " + port + daemon;
    case AlertStandby: return "Stopped listening on port " + port + daemon;
    default: return "Test message from Velmoranth " VELMO_VERSION_TEXT;
    }
}

// Days since 1970-01-01 to a civil date (the proleptic Gregorian calendar).
void civilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

} // namespace

void syslogOriginInit(SyslogOrigin& origin, const char* rawHostName, unsigned long processId)
{
    std::size_t kept = 0;
    for (const char* c = rawHostName ? rawHostName : ""; *c && kept < sizeof origin.hostName - 1; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte >= 33 && byte <= 126)
            origin.hostName[kept++] = *c;
    }
    if (kept == 0)
        origin.hostName[kept++] = '-';
    origin.hostName[kept] = '\0';
    origin.processId = processId;
}

const char* alertDaemonName(int daemonKind)
{
    static const char* const kNames[] = {"None", "FreeBSD 5.1", "RedHat 8.0", "SubSeven 2.1", "NetBus 1.60",
                                         "Custom"};
    return daemonKind >= 1 && daemonKind <= 5 ? kNames[daemonKind] : kNames[0];
}

std::string buildSyslogMessage(const SyslogOrigin& origin, const UtcTime& time, const AlertFacts& facts)
{
    const int severity = facts.event == AlertConnect ? kSeverityWarning : kSeverityNotice;
    char header[400];
    std::snprintf(header, sizeof header, "<%d>1 %04d-%02d-%02dT%02d:%02d:%02d.%03dZ %s velmoranth %lu %s ",
                  kFacility * 8 + severity, time.year, time.month, time.day, time.hour, time.minute,
                  time.second, time.millisecond, origin.hostName, origin.processId, messageId(facts.event));
    std::string message = header;
    appendStructuredData(message, facts);
    message += ' ';
    message += readableText(facts);
    return message;
}

std::string frameOctetCounted(const std::string& message)
{
    return std::to_string(message.size()) + " " + message;
}

UtcTime utcNow()
{
    using namespace std::chrono;
    return utcFromUnixMs(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

UtcTime utcFromUnixMs(long long ms)
{
    const long long days = (ms >= 0 ? ms : ms - 86399999) / 86400000;
    const long long msOfDay = ms - days * 86400000;
    UtcTime time;
    civilFromDays(days, time.year, time.month, time.day);
    time.hour = static_cast<int>(msOfDay / 3600000);
    time.minute = static_cast<int>(msOfDay / 60000 % 60);
    time.second = static_cast<int>(msOfDay / 1000 % 60);
    time.millisecond = static_cast<int>(msOfDay % 1000);
    return time;
}

AlertFacts callerAlertFacts(const PeerAddress& peer, int localPort, int daemonKind)
{
    AlertFacts facts{};
    facts.event = AlertConnect;
    netAddressText(peer, facts.callerAddress);
    unsigned char port[2];
    std::memcpy(port, &peer.portNetworkOrder, sizeof port);  // as on the wire: high byte first
    facts.callerPort = port[0] << 8 | port[1];
    facts.localPort = localPort;
    facts.daemonKind = daemonKind;
    return facts;
}
