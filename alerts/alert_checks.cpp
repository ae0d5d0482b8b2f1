#include "alerts/alert_checks.h"

#include "alerts/alert_value_syntax.h"
#include "platform/ascii.h"
#include "platform/ipv4_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char kPortTold[] = "The port must be a number from 1 to 65535.";

// What the checks tell.
char told[kAlertProblemSize];

__attribute__((format(printf, 1, 2))) const char* tell(const char* format, ...)
{
    va_list values;
    va_start(values, format);
    std::vsnprintf(told, sizeof told, format, values);
    va_end(values);
    return told;
}

enum HostFault { HostSound, HostMissing, HostIpv6, HostWithPort, HostTooLong, HostBad };

// What follows a quoted host name in a problem text.
const char* const kHostFaultTexts[] = {
    "", "",
    "is an IPv6 address: Velmoranth sends over IPv4; give a host name or an IPv4 address.",
    "holds a port: give the port in its own field.", "is longer than 253 characters.",
    "is not a host name or an IPv4 address."};

bool isDnsChar(char c)
{
    return isAsciiLetter(c) || isDigit(c) || c == '-' || c == '_' || c == '.';
}

HostFault hostFault(const char* host)
{
    if (!*host)
        return HostMissing;
    const char* colon = std::strchr(host, ':');
    if (*host == '[' || (colon && std::strchr(colon + 1, ':')))
        return HostIpv6;
    if (colon)
        return HostWithPort;
    if (std::strlen(host) > 253)
        return HostTooLong;
    bool numeric = true;
    char previous = '.';  // no empty label, first or anywhere
    for (const char* c = host; *c; previous = *c++) {
        if (!isDnsChar(*c) || (*c == '.' && previous == '.'))
            return HostBad;
        numeric = numeric && (*c == '.' || isDigit(*c));
    }
    // Digits and dots alone are an IPv4 address or nothing: a resolver would read "10.1" as 10.0.0.1.
    unsigned char address[4];
    return previous == '.' || (numeric && !parseIpv4(host, address)) ? HostBad : HostSound;
}

// "" when `host` is sound; `missing` when empty; else "<what> "<host>" ...".
const char* hostProblem(const char* what, const char* host, const char* missing)
{
    const HostFault fault = hostFault(host);
    if (fault == HostSound || fault == HostMissing)
        return fault == HostSound ? "" : missing;
    return tell("%s \"%s\" %s", what, quoted(host).text, kHostFaultTexts[fault]);
}

bool isAtext(char c)
{
    return isAsciiLetter(c) || isDigit(c) || (c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c));
}

// A plain address: a dot-atom, '@', a host name. No blanks, quotes, angle
// brackets or control characters, so an address can never end a header or
// an SMTP command line early.
bool plainAddress(const char* address)
{
    const char* at = std::strrchr(address, '@');
    if (!at || at == address || at - address > 64)
        return false;
    char previous = '.';
    for (const char* c = address; c < at; previous = *c++) {
        if ((!isAtext(*c) && *c != '.') || (*c == '.' && previous == '.'))
            return false;
    }
    return previous != '.' && hostFault(at + 1) == HostSound;
}

const char* addressProblem(const char* what, const char* address)
{
    if (plainAddress(address))
        return "";
    return tell("%s \"%s\" is not a plain e-mail address (name@domain).", what, quoted(address).text);
}

// http:// or https://, a host, an optional :port, then a path or nothing.
const char* urlProblem(const char* url)
{
    const char* rest = afterPrefix(url, "https://");
    rest = rest ? rest : afterPrefix(url, "http://");
    if (std::strlen(url) >= kAlertUrlSize)
        return tell("The URL is longer than %d characters.", kAlertUrlSize - 1);
    if (!rest || !allPrintable(url, false))
        return tell("The URL \"%s\" is not an http:// or https:// address without blanks.", quoted(url).text);
    char host[kAlertHostSize + 8];
    const std::size_t length = std::strcspn(rest, "/");
    if (length >= sizeof host)
        return "The URL's host is longer than 253 characters.";
    std::memcpy(host, rest, length);
    host[length] = '\0';
    char* colon = std::strchr(host, ':');
    int port = 0;
    if (colon && hostFault(host) != HostIpv6) {
        const char* end = readNumberIn(colon + 1, 1, 65535, port);
        if (!end || *end)
            return tell("The URL's port \"%s\" is not a number from 1 to 65535.", quoted(colon + 1).text);
        *colon = '\0';
    }
    return hostProblem("The URL's host", host, "The URL names no host.");
}

} // namespace

QuotedValue quoted(const char* value)
{
    QuotedValue shown{};
    int length = 0;
    for (; value[length] && length < 40; ++length) {
        const unsigned char c = static_cast<unsigned char>(value[length]);
        shown.text[length] = isPrintable(c) ? static_cast<char>(c) : '?';
    }
    if (value[length])
        std::memcpy(shown.text + length, "...", 4);
    return shown;
}

const char* alertHostProblem(const char* host)
{
    return hostProblem("The name", host, "Give a host name or an IPv4 address.");
}

const char* syslogTargetProblem(const SyslogTarget& target)
{
    if (target.port < 1 || target.port > 65535)
        return kPortTold;
    if (!inRange(target.protocol, 4) || !inRange(target.framing, 2))
        return "The protocol must be udp, tcp, tls or relp, the framing octet or lf.";
    return target.enabled ? hostProblem("The collector", target.collector, "No collector is given.") : "";
}

const char* mailTargetProblem(const MailTarget& mail)
{
    if (mail.port < 1 || mail.port > 65535)
        return kPortTold;
    if (!inRange(mail.security, 3) || !inRange(mail.events, 2) || !inRange(mail.toCount, kAlertRecipients + 1))
        return "The security must be none, starttls or tls; the events connect or connect,listen,standby; "
               "the recipients at most 10.";
    if (!mail.enabled)
        return "";
    const char* problem = hostProblem("The server", mail.server, "No mail server is given.");
    if (problem[0])
        return problem;
    if (!allPrintable(mail.user, true) || !allPrintable(mail.password, true))
        return "The user name and the password may hold printable ASCII characters only.";
    if (mail.user[0] && mail.security == MailSecurityNone)
        return "A sign-in goes only over TLS: choose starttls or tls, or leave the user name empty.";
    if (!mail.from[0])
        return "No sender (From) is given.";
    if (mail.toCount == 0)
        return "No recipient (To) is given.";
    problem = addressProblem("The sender", mail.from);
    for (int i = 0; !problem[0] && i < mail.toCount; ++i)
        problem = addressProblem("The recipient", mail.to[i]);
    return problem;
}

const char* webhookTargetProblem(const WebhookTarget& webhook)
{
    if (!inRange(webhook.format, 5) || !inRange(webhook.events, 2))
        return "The format must be json, slack, discord, teams or ntfy; the events connect or connect,listen,standby.";
    if (!webhook.enabled)
        return "";
    return webhook.url[0] ? urlProblem(webhook.url) : "No URL is given.";
}
