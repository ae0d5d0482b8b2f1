#include "alerts/mail_message.h"

#include "platform/ascii.h"
#include "platform/bounded_text.h"
#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

enum { kFoldAt = 78, kLineSize = 640 };

// The mail's lines: header values are folded before a blank when a line
// would pass 78 characters; a word longer than that stays whole on its own line.
struct MailText {
    BoundedText out;
    int lineStart;

    void endLine()
    {
        out.text("\r\n");
        lineStart = out.length;
    }
    // A blank and the word, or a fold (CR LF and a blank) before it when the
    // line would pass 78 characters; the first word stays by the name.
    void word(const char* s, int n, bool first)
    {
        if (!first && out.length - lineStart + 1 + n > kFoldAt)
            endLine();
        out.put(' ');
        out.bytes(s, n);
    }
    void header(const char* name, const char* value)
    {
        out.text(name);
        out.put(':');
        for (bool first = true; *value; first = false) {
            const int n = static_cast<int>(std::strcspn(value, " "));
            word(value, n, first);
            value += n;
            value += std::strspn(value, " ");
        }
        endLine();
    }
    void line(const char* s)
    {
        out.text(s);
        endLine();
    }
};

// The characters RFC 5322 allows in a Message-ID's right side (dot-atom).
bool atext(char c)
{
    return isAsciiLetter(c) || isDigit(c) || (c && std::strchr("!#$%&'*+-/=?^_`{|}~.", c));
}

// 0 is Sunday.
int weekday(int year, int month, int day)
{
    static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int m = month >= 1 && month <= 12 ? month : 1;
    const int y = year - (m < 3);
    return ((y + y / 4 - y / 100 + y / 400 + kOffsets[m - 1] + day) % 7 + 7) % 7;
}

// "Mon, 07 Dec 2026 10:41:27 +0100", as RFC 5322 writes a date.
void dateText(const WallTime& time, char* text, int size)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CalendarTime& local = time.local;
    const int month = local.month >= 1 && local.month <= 12 ? local.month - 1 : 0;
    const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
    std::snprintf(text, static_cast<size_t>(size), "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                  kDays[weekday(local.year, local.month, local.day)], local.day, kMonths[month], local.year,
                  local.hour, local.minute, local.second, time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60 % 100,
                  offset % 60);
}

void calendarText(const CalendarTime& time, char* text, int size)
{
    std::snprintf(text, static_cast<size_t>(size), "%04d-%02d-%02d %02d:%02d:%02d.%03d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
}

// Unique per message: the sequence id, the process, the instant, and for the
// summaries that share the last sequence id and the same instant, the event,
// port and address that tell them apart.
void messageId(const SyslogOrigin& origin, const AlertFacts& facts, char* text, int size)
{
    const CalendarTime& utc = facts.time.utc;
    char host[sizeof origin.hostName];
    int kept = 0;
    for (const char* c = origin.hostName; *c; ++c)
        host[kept++] = atext(*c) ? *c : '-';
    host[kept] = '\0';
    std::snprintf(text, static_cast<size_t>(size), "<%lu.%lu.%04d%02d%02d%02d%02d%02d%03d.%s-%d%s%s@%s>",
                  facts.sequenceId, origin.processId, utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second,
                  utc.millisecond, alertEventName(facts.event), facts.localPort, facts.callerAddress[0] ? "-" : "",
                  facts.callerAddress, host);
}

int summarySubject(const AlertFacts& facts, char* text, int size)
{
    const AlertSummaryFacts& summary = facts.summary;
    const char* plural = summary.connections == 1 ? "" : "s";
    char ports[kPortsPhraseSize];
    alertPortsPhrase(facts, ports, sizeof ports);
    if (summary.addresses == 1)
        return std::snprintf(text, static_cast<size_t>(size), "%lu more connection%s from %s to %s",
                             summary.connections, plural, facts.callerAddress, ports);
    return std::snprintf(text, static_cast<size_t>(size), "%lu more connection%s from %lu addresses to %s",
                         summary.connections, plural, summary.addresses, ports);
}

// "Velmoranth: connection from 203.0.113.7 to port 23 on FRONTDESK-PC".
void subjectText(const SyslogOrigin& origin, const AlertFacts& facts, char* text, int size)
{
    char what[kPortsPhraseSize + 96];
    switch (facts.event) {
    case AlertConnect:
        std::snprintf(what, sizeof what, "connection from %s to port %d", facts.callerAddress, facts.localPort);
        break;
    case AlertListen: std::snprintf(what, sizeof what, "listening on port %d", facts.localPort); break;
    case AlertStandby: std::snprintf(what, sizeof what, "stopped listening on port %d", facts.localPort); break;
    case AlertSummary: summarySubject(facts, what, sizeof what); break;
    case AlertScan: std::snprintf(what, sizeof what, "port scan from %s", facts.callerAddress); break;
    case AlertHeartbeat: std::snprintf(what, sizeof what, "heartbeat"); break;
    default: std::snprintf(what, sizeof what, "test message"); break;
    }
    const bool fromThePc = facts.event == AlertTest || facts.event == AlertHeartbeat;
    std::snprintf(text, static_cast<size_t>(size), "Velmoranth: %s %s %s", what, fromThePc ? "from" : "on",
                  origin.hostName);
}

void fact(MailText& out, const char* name, const char* value)
{
    char line[kLineSize];
    std::snprintf(line, sizeof line, "%s: %s", name, value);
    out.line(line);
}

void number(MailText& out, const char* name, unsigned long value)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%lu", value);
    fact(out, name, digits);
}

void portsFact(MailText& out, const PortList& ports)
{
    char text[kPortsPhraseSize];
    portListText(ports, ", ", text, sizeof text);
    fact(out, "Ports", text);
}

void summaryFacts(MailText& out, const AlertSummaryFacts& summary)
{
    char text[40];
    number(out, "Connections", summary.connections);
    number(out, "Addresses", summary.addresses);
    if (summary.ports.count > 1)
        portsFact(out, summary.ports);
    calendarText(summary.firstLocal, text, sizeof text);
    fact(out, "First (local)", text);
    calendarText(summary.lastLocal, text, sizeof text);
    fact(out, "Last (local)", text);
}

void appendFacts(MailText& out, const SyslogOrigin& origin, const AlertFacts& facts)
{
    char text[48];
    fact(out, "Event", alertEventName(facts.event));
    calendarText(facts.time.utc, text, sizeof text);
    fact(out, "Time (UTC)", text);
    const int offset = facts.time.utcOffsetMinutes < 0 ? -facts.time.utcOffsetMinutes : facts.time.utcOffsetMinutes;
    calendarText(facts.time.local, text, sizeof text);
    std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), " %c%02d%02d",
                  facts.time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60);
    fact(out, "Time (local)", text);
    if (facts.callerAddress[0])
        fact(out, "Caller address", facts.callerAddress);
    if (facts.event == AlertConnect)
        number(out, "Caller port", static_cast<unsigned long>(facts.callerPort));
    if (facts.event == AlertSummary)
        summaryFacts(out, facts.summary);
    if (facts.event == AlertScan) {
        portsFact(out, facts.scan.ports);
        number(out, "Connections", facts.scan.connections);
        number(out, "Seconds", static_cast<unsigned long>(facts.scan.seconds));
    }
    if (facts.localPort)
        number(out, "Local port", static_cast<unsigned long>(facts.localPort));
    if (facts.event != AlertTest && facts.event != AlertScan)
        fact(out, "Daemon", alertDaemonName(facts.daemonKind));
    fact(out, "PC", origin.hostName);
    fact(out, "Version", VELMO_VERSION_TEXT);
    number(out, "Sequence id", facts.sequenceId);
}

void appendHeaders(MailText& out, const SyslogOrigin& origin, const MailTarget& target, const AlertFacts& facts)
{
    char text[kAlertRecipients * (kAlertAddressSize + 2)];
    dateText(facts.time, text, sizeof text);
    out.header("Date", text);
    char address[kAlertAddressSize];
    copyVisible(target.from, address, sizeof address);  // no setting can start a header of its own
    std::snprintf(text, sizeof text, "Velmoranth <%s>", address);
    out.header("From", text);
    text[0] = '\0';
    size_t length = 0;  // there is room for every recipient
    for (int i = 0; i < target.toCount && i < kAlertRecipients && length < sizeof text; ++i) {
        copyVisible(target.to[i], address, sizeof address);
        const int added = std::snprintf(text + length, sizeof text - length, "%s%s", i ? ", " : "", address);
        length += static_cast<size_t>(added);
    }
    out.header("To", text);
    subjectText(origin, facts, text, sizeof text);
    out.header("Subject", text);
    messageId(origin, facts, text, sizeof text);
    out.header("Message-ID", text);
    out.line("MIME-Version: 1.0");
    out.line("Content-Type: text/plain; charset=us-ascii");
    out.line("Content-Transfer-Encoding: 7bit");
}

} // namespace

int buildMailMessage(const SyslogOrigin& origin, const MailTarget& target, const AlertFacts& facts, char* message,
                     int size)
{
    MailText out{boundedText(message, size), 0};
    appendHeaders(out, origin, target, facts);
    out.endLine();
    appendFacts(out, origin, facts);
    out.endLine();
    char text[kReadableTextSize];
    alertReadableText(facts, text, sizeof text);
    out.line(text);
    return out.out.fits() ? out.out.length : 0;
}
