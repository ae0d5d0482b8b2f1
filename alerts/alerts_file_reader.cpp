#include "alerts/alerts_file_reader.h"

#include "storage/scratch_save.h"
#include "platform/secret_store.h"
#include "storage/stored_values.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char kHeader[] = "[Velmoranth Alerts]";

// A full To= list (ten addresses of 254 characters) and some blanks fit; a longer line is damage.
enum { kLineSize = 3072 };
enum LineRead { LineNone, LineWhole, LineTooLong };

enum { kQuietMinutes = 10, kHeartbeatMinutes = 15 };
enum { kCtrlZ = 26, kMostMinutes = 1440, kShownSize = 48, kEntrySize = 40, kFingerprintTextSize = 100 };

enum Section { SectionAlerts, SectionMail, SectionWebhook, SectionOther };
const char* const kSectionNames[] = {"[Velmoranth Alerts]", "[E-mail]", "[Webhook]"};
// Where each scope's keys are, for its problem texts.
const Section kScopeSections[kAlertProblemScopes] = {SectionAlerts, SectionMail, SectionWebhook, SectionAlerts};

const char* const kProtocolNames[] = {"udp", "tcp", "tls", "relp"};
const char* const kFramingNames[] = {"octet", "lf"};
const char* const kSecurityNames[] = {"none", "starttls", "tls"};
const char* const kFormatNames[] = {"json", "slack", "discord", "teams", "ntfy"};
const char* const kEventSetNames[] = {"connect", "connect,listen,standby"};
const char* const kEventNames[] = {"connect", "listen", "standby"};

const char kHexDigits[] = "0123456789abcdef";
const char kPortTold[] = "The port must be a number from 1 to 65535.";

// ---- Text helpers -------------------------------------------------------

char lowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(const char* a, const char* b)
{
    for (; *a && lowerCase(*a) == lowerCase(*b); ++a, ++b) {
    }
    return lowerCase(*a) == lowerCase(*b);
}

// `text` after `prefix` (any case); nullptr when it does not start so.
const char* afterPrefix(const char* text, const char* prefix)
{
    for (; *prefix; ++text, ++prefix) {
        if (lowerCase(*text) != lowerCase(*prefix))
            return nullptr;
    }
    return text;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetterOrDigit(char c)
{
    return isDigit(c) || (lowerCase(c) >= 'a' && lowerCase(c) <= 'z');
}

// Printable ASCII; blanks too when `blanks`.
bool printable(const char* text, bool blanks)
{
    for (; *text; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        if (c < 32 || c > 126 || (c == ' ' && !blanks))
            return false;
    }
    return true;
}

// `text` without its leading and trailing white space, in place.
char* trimmed(char* text)
{
    while (isBlank(static_cast<unsigned char>(*text)))
        ++text;
    std::size_t length = std::strlen(text);
    while (length > 0 && isBlank(static_cast<unsigned char>(text[length - 1])))
        text[--length] = '\0';
    return text;
}

bool blankOnly(const char* text)
{
    for (; isBlank(static_cast<unsigned char>(*text)); ++text) {
    }
    return *text == '\0';
}

// A value as a problem text quotes it: printable, at most 40 characters.
struct Shown {
    char text[kShownSize];
};

Shown shown(const char* value)
{
    Shown quoted{};
    int length = 0;
    for (; value[length] && length < 40; ++length) {
        const unsigned char c = static_cast<unsigned char>(value[length]);
        quoted.text[length] = c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    }
    if (value[length])
        std::memcpy(quoted.text + length, "...", 4);
    return quoted;
}

// Plain decimal digits (at most six) from `text` into `value`, which must lie
// in [low, high]; the character after them, or nullptr.
const char* readNumberIn(const char* text, int low, int high, int& value)
{
    long number = 0;
    const char* c = text;
    for (; isDigit(*c) && c - text < 6; ++c)
        number = number * 10 + (*c - '0');
    if (c == text || isDigit(*c) || number < low || number > high)
        return nullptr;
    value = static_cast<int>(number);
    return c;
}

// Four dotted numbers 0 to 255, no leading zeros (which some resolvers read
// as octal); the character after them, or nullptr.
const char* readIpv4(const char* text, unsigned long& address)
{
    address = 0;
    for (int part = 0; part < 4; ++part) {
        int value = 0;
        const char* end = readNumberIn(text, 0, 255, value);
        if (!end || (end - text > 1 && *text == '0') || (part < 3 && *end != '.'))
            return nullptr;
        address = address << 8 | static_cast<unsigned long>(value);
        text = part < 3 ? end + 1 : end;
    }
    return text;
}

// The next comma-separated entry of a list, without the blanks around it, into
// `entry` (cut to fit, `fits` false then). False once the list is over; `next`
// is nullptr after its last entry.
bool takeEntry(const char*& next, char* entry, int size, bool& fits)
{
    if (!next)
        return false;
    const char* comma = std::strchr(next, ',');
    const char* end = comma ? comma : next + std::strlen(next);
    while (next < end && isBlank(static_cast<unsigned char>(*next)))
        ++next;
    while (end > next && isBlank(static_cast<unsigned char>(end[-1])))
        --end;
    fits = end - next < size;
    const int length = fits ? static_cast<int>(end - next) : size - 1;
    std::memcpy(entry, next, length);
    entry[length] = '\0';
    next = comma ? comma + 1 : nullptr;
    return true;
}

template <int N> int nameIndex(const char* value, const char* const (&names)[N])
{
    for (int i = 0; i < N; ++i) {
        if (sameIgnoringCase(value, names[i]))
            return i;
    }
    return -1;
}

bool inRange(int value, int count)
{
    return static_cast<unsigned>(value) < static_cast<unsigned>(count);
}

template <int N> const char* nameOf(const char* const (&names)[N], int index)
{
    return inRange(index, N) ? names[index] : names[0];
}

// ---- Checks shared by the dialog and the file ---------------------------

// What the record checks tell; the window's thread alone checks settings.
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
    return isLetterOrDigit(c) || c == '-' || c == '_' || c == '.';
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
    unsigned long address = 0;
    const char* end = numeric ? readIpv4(host, address) : "";
    return previous == '.' || !end || *end ? HostBad : HostSound;
}

// "" when `host` is sound; `missing` when empty; else "<what> "<host>" ...".
const char* hostProblem(const char* what, const char* host, const char* missing)
{
    const HostFault fault = hostFault(host);
    if (fault == HostSound || fault == HostMissing)
        return fault == HostSound ? "" : missing;
    return tell("%s \"%s\" %s", what, shown(host).text, kHostFaultTexts[fault]);
}

bool isAtext(char c)
{
    return isLetterOrDigit(c) || (c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c));
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
    return tell("%s \"%s\" is not a plain e-mail address (name@domain).", what, shown(address).text);
}

// http:// or https://, a host, an optional :port, then a path or nothing.
const char* urlProblem(const char* url)
{
    const char* rest = afterPrefix(url, "https://");
    rest = rest ? rest : afterPrefix(url, "http://");
    if (std::strlen(url) >= kAlertUrlSize)
        return tell("The URL is longer than %d characters.", kAlertUrlSize - 1);
    if (!rest || !printable(url, false))
        return tell("The URL \"%s\" is not an http:// or https:// address without blanks.", shown(url).text);
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
            return tell("The URL's port \"%s\" is not a number from 1 to 65535.", shown(colon + 1).text);
        *colon = '\0';
    }
    return hostProblem("The URL's host", host, "The URL names no host.");
}

// ---- Reading the bytes --------------------------------------------------

enum Encoding { EncodingBytes, EncodingUtf16Le, EncodingUtf16Be };

// The file as UTF-8 bytes (ANSI and UTF-8 pass as they are), one at a time.
struct TextSource {
    std::FILE* file;
    Encoding encoding;
    int heldUnit;  // a UTF-16 unit read after a lone high surrogate; -1 when none
    int heldByte;  // the byte after a lone CR; -1 when none
    unsigned char pending[4];
    int pendingAt, pendingCount;
    bool ended;
};

TextSource openSource(std::FILE* file)
{
    TextSource source{file, EncodingBytes, -1, -1, {}, 0, 0, false};
    unsigned char bom[3] = {};
    const std::size_t got = std::fread(bom, 1, sizeof bom, file);
    long skip = 0;
    if (got == 3 && bom[0] == 0xEF && bom[1] == 0xBB && bom[2] == 0xBF)
        skip = 3;
    if (got >= 2 && ((bom[0] == 0xFF && bom[1] == 0xFE) || (bom[0] == 0xFE && bom[1] == 0xFF))) {
        source.encoding = bom[0] == 0xFF ? EncodingUtf16Le : EncodingUtf16Be;
        skip = 2;
    }
    std::fseek(file, skip, SEEK_SET);
    return source;
}

// -1 at the end; an odd last byte ends the file.
long readUnit(TextSource& source)
{
    if (source.heldUnit >= 0) {
        const long unit = source.heldUnit;
        source.heldUnit = -1;
        return unit;
    }
    const int first = std::fgetc(source.file);
    const int second = first == EOF ? EOF : std::fgetc(source.file);
    if (second == EOF)
        return -1;
    return source.encoding == EncodingUtf16Le ? first | second << 8 : first << 8 | second;
}

// One character of a UTF-16 file; a lone surrogate becomes U+FFFD. -1 at the end.
long readCodePoint(TextSource& source)
{
    const long unit = readUnit(source);
    if (unit < 0xD800 || unit > 0xDFFF)
        return unit;
    if (unit < 0xDC00) {
        const long low = readUnit(source);
        if (low >= 0xDC00 && low <= 0xDFFF)
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        source.heldUnit = static_cast<int>(low);
    }
    return 0xFFFD;
}

void queueUtf8(TextSource& source, long c)
{
    const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    const unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = length - 1; i > 0; --i, c >>= 6)
        source.pending[i] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    source.pending[0] = static_cast<unsigned char>(lead[length] | c);
    source.pendingAt = 0;
    source.pendingCount = length;
}

// The next byte; EOF at the end and from a Ctrl-Z on, as readTextChar. A NUL
// becomes DEL, so that it spoils its value rather than cut it short.
int nextByte(TextSource& source)
{
    if (source.heldByte >= 0) {
        const int c = source.heldByte;
        source.heldByte = -1;
        return c;
    }
    if (source.pendingAt < source.pendingCount)
        return source.pending[source.pendingAt++];
    if (source.ended)
        return EOF;
    const long c = source.encoding == EncodingBytes ? std::fgetc(source.file) : readCodePoint(source);
    source.ended = c < 0 || c == kCtrlZ;
    if (source.ended)
        return EOF;
    if (c == 0)
        return 127;
    if (c < 0x80 || source.encoding == EncodingBytes)
        return static_cast<int>(c);
    queueUtf8(source, c);
    return source.pending[source.pendingAt++];
}

// One line without its end (LF, CR LF or a lone CR) into `line`. A line that
// does not fit is read to its end and reported, never cut into a shorter value.
LineRead readLine(TextSource& source, char (&line)[kLineSize])
{
    int length = 0, c = nextByte(source);
    if (c == EOF)
        return LineNone;
    LineRead read = LineWhole;
    for (; c != EOF && c != '\n' && c != '\r'; c = nextByte(source)) {
        if (length == kLineSize - 1)
            read = LineTooLong;
        else
            line[length++] = static_cast<char>(c);
    }
    if (c == '\r' && (c = nextByte(source)) != '\n' && c != EOF)
        source.heldByte = c;
    line[length] = '\0';
    return read;
}

// ---- Values -------------------------------------------------------------

// The file's own name, after any folders, for the problem texts.
const char* baseName(const char* path)
{
    const char* name = path;
    for (const char* c = path; *c; ++c) {
        if (*c == '/' || *c == '\\')
            name = c + 1;
    }
    return name;
}

bool parseEvents(const char* text, AlertEventChoice& events)
{
    int seen = blankOnly(text) ? 1 : 0;
    char name[16];
    bool fits = true;
    for (const char* next = seen ? nullptr : text; takeEntry(next, name, sizeof name, fits);) {
        const int index = fits ? nameIndex(name, kEventNames) : -1;
        if (index < 0)
            return false;
        seen |= 1 << index;
    }
    events = seen == 7 ? AlertEventsConnectAndListen : AlertEventsConnect;
    return seen == 1 || seen == 7;
}

bool readIgnoreEntry(const char* text, IgnoreEntry& entry)
{
    unsigned long address = 0;
    int prefix = 32;
    entry.port = 0;
    const char* c = readIpv4(text, address);
    if (c && *c == '/')
        c = readNumberIn(c + 1, 0, 32, prefix);
    if (c && *c == ':')
        c = readNumberIn(c + 1, 1, 65535, entry.port);
    entry.mask = prefix ? 0xFFFFFFFFul << (32 - prefix) & 0xFFFFFFFFul : 0;
    entry.network = address & entry.mask;
    return c && *c == '\0';
}

void ignoreEntryText(const IgnoreEntry& entry, char* text, int size)
{
    int prefix = 0;
    for (unsigned long bit = 0x80000000ul; bit && (entry.mask & bit); bit >>= 1)
        ++prefix;
    const unsigned long n = entry.network;
    int used = std::snprintf(text, size, "%lu.%lu.%lu.%lu", n >> 24 & 255, n >> 16 & 255, n >> 8 & 255, n & 255);
    if (prefix < 32 && used > 0 && used < size)
        used += std::snprintf(text + used, size - used, "/%d", prefix);
    if (entry.port && used > 0 && used < size)
        std::snprintf(text + used, size - used, ":%d", entry.port);
}

int defaultSyslogPort(SyslogProtocol protocol)
{
    if (protocol == SyslogTls || protocol == SyslogRelp)
        return protocol == SyslogTls ? kSyslogDefaultTlsPort : kSyslogDefaultRelpPort;
    return kSyslogDefaultPort;
}

int defaultMailPort(MailSecurity security)
{
    if (security == MailSecurityTls || security == MailSecurityStartTls)
        return security == MailSecurityTls ? kMailTlsPort : kMailStartTlsPort;
    return kMailDefaultPort;
}

struct Reader {
    AlertSettingsReading& reading;
    const char* fileName;
    Section section;
    bool syslogPortGiven, mailPortGiven;
    char line[kLineSize];

    // Only the first problem of a scope is told: it is the one to fix first.
    __attribute__((format(printf, 4, 5))) void complainIn(AlertProblemScope scope, const char* place,
                                                          const char* format, ...)
    {
        char* problem = reading.problem[scope];
        if (problem[0])
            return;
        const int used = std::snprintf(problem, kAlertProblemSize, "%s: %s", baseName(fileName), place);
        va_list values;
        va_start(values, format);
        if (used > 0 && used < kAlertProblemSize)
            std::vsnprintf(problem + used, kAlertProblemSize - used, format, values);
        va_end(values);
    }

    // With the section of the scope's keys named.
    template <typename... Values> void complain(AlertProblemScope scope, const char* format, Values... values)
    {
        char place[32];
        std::snprintf(place, sizeof place, "%s ", kSectionNames[kScopeSections[scope]]);
        complainIn(scope, place, format, values...);
    }

    // A record check's text, its first letter made small to follow the file's name.
    void complainOfRecord(AlertProblemScope scope, const char* problem)
    {
        if (problem[0])
            complain(scope, "%c%s", lowerCase(problem[0]), problem + 1);
    }

    void readSwitch(AlertProblemScope scope, const char* value, int& enabled)
    {
        if (value[0] && std::strcmp(value, "0") != 0 && std::strcmp(value, "1") != 0)
            complain(scope, "Enabled \"%s\" is neither 0 nor 1.", shown(value).text);
        enabled = value[0] == '1';
    }

    void readText(AlertProblemScope scope, const char* what, const char* value, char* field, int size)
    {
        const bool fits = std::strlen(value) < static_cast<std::size_t>(size);
        if (!fits)
            complain(scope, "%s is longer than %d characters.", what, size - 1);
        std::snprintf(field, size, "%s", fits ? value : "");
    }

    void readPort(AlertProblemScope scope, const char* value, int& port, bool& given)
    {
        given = value[0] != '\0';
        const char* end = given ? readNumberIn(value, 1, 65535, port) : "";
        if (!end || *end)
            complain(scope, "the port \"%s\" is not a number from 1 to 65535.", shown(value).text);
    }

    // One of `names` (any case); empty: the first. A bad value leaves the first, too.
    template <typename Choice, int N>
    void readChoice(AlertProblemScope scope, const char* what, const char* value, const char* const (&names)[N],
                    const char* choices, Choice& choice)
    {
        const int index = value[0] ? nameIndex(value, names) : 0;
        if (index < 0)
            complain(scope, "the %s \"%s\" is not %s.", what, shown(value).text, choices);
        choice = static_cast<Choice>(index < 0 ? 0 : index);
    }

    void readMinutes(AlertProblemScope scope, const char* what, const char* value, int& minutes, int byDefault)
    {
        minutes = byDefault;
        const char* end = value[0] ? readNumberIn(value, 0, kMostMinutes, minutes) : "";
        if (!end || *end)
            complain(scope, "the %s \"%s\" is not a number of minutes from 0 to %d.", what, shown(value).text,
                     kMostMinutes);
    }

    void readFingerprint(AlertProblemScope scope, const char* value, AlertFingerprint& fingerprint)
    {
        if (!parseFingerprint(value, fingerprint))
            complain(scope, "the fingerprint \"%s\" is not a SHA-256 in hex.", shown(value).text);
    }

    void readEvents(AlertProblemScope scope, const char* value, AlertEventChoice& events)
    {
        if (!parseEvents(value, events))
            complain(scope, "the events \"%s\" are neither connect nor connect,listen,standby.", shown(value).text);
    }

    void readIgnore(const char* value)
    {
        char bad[kEntrySize];
        AlertFilters& filters = reading.settings.filters;
        if (parseIgnoreList(value, filters, bad, sizeof bad))
            return;
        if (filters.ignoreCount == kAlertIgnoreEntries)
            complain(AlertProblemShared, "the ignore list holds more than %d entries.", kAlertIgnoreEntries);
        else
            complain(AlertProblemShared,
                     "the ignore list's entry \"%s\" is not an IPv4 address or network (a.b.c.d/n), with an "
                     "optional :port.", shown(bad).text);
    }

    // Never quoted: a password stays out of every problem text.
    void readPassword(const char* value)
    {
        MailTarget& mail = reading.settings.mail;
        if (!isProtectedSecret(value)) {
            readText(AlertProblemMail, "the password", value, mail.password, sizeof mail.password);
            reading.passwordWasPlain = mail.password[0] != '\0';
        } else if (!unprotectSecret(value, mail.password, sizeof mail.password)) {
            mail.password[0] = '\0';
            complain(AlertProblemMail, "%s", "the password was protected for another Windows user or is damaged; "
                                             "enter it again.");
        }
    }

    void readAlertsKey(const char* key, const char* value)
    {
        SyslogTarget& target = reading.settings.syslog;
        AlertFilters& filters = reading.settings.filters;
        const AlertProblemScope scope = AlertProblemSyslog;
        if (sameIgnoringCase(key, "Enabled"))
            readSwitch(scope, value, target.enabled);
        else if (sameIgnoringCase(key, "Collector"))
            readText(scope, "the collector's name", value, target.collector, sizeof target.collector);
        else if (sameIgnoringCase(key, "Port"))
            readPort(scope, value, target.port, syslogPortGiven);
        else if (sameIgnoringCase(key, "Protocol"))
            readChoice(scope, "protocol", value, kProtocolNames, "udp, tcp, tls or relp", target.protocol);
        else if (sameIgnoringCase(key, "Framing"))
            readChoice(scope, "framing", value, kFramingNames, "octet or lf", target.framing);
        else if (sameIgnoringCase(key, "Fingerprint"))
            readFingerprint(scope, value, target.fingerprint);
        else if (sameIgnoringCase(key, "Heartbeat"))
            readMinutes(scope, "heartbeat", value, filters.heartbeatMinutes, kHeartbeatMinutes);
        else if (sameIgnoringCase(key, "Quiet"))
            readMinutes(AlertProblemShared, "quiet time", value, filters.quietMinutes, kQuietMinutes);
        else if (sameIgnoringCase(key, "Ignore"))
            readIgnore(value);
    }

    void readMailKey(const char* key, const char* value)
    {
        MailTarget& mail = reading.settings.mail;
        const AlertProblemScope scope = AlertProblemMail;
        if (sameIgnoringCase(key, "Enabled"))
            readSwitch(scope, value, mail.enabled);
        else if (sameIgnoringCase(key, "Server"))
            readText(scope, "the server's name", value, mail.server, sizeof mail.server);
        else if (sameIgnoringCase(key, "Port"))
            readPort(scope, value, mail.port, mailPortGiven);
        else if (sameIgnoringCase(key, "Security"))
            readChoice(scope, "security", value, kSecurityNames, "none, starttls or tls", mail.security);
        else if (sameIgnoringCase(key, "User"))
            readText(scope, "the user name", value, mail.user, sizeof mail.user);
        else if (sameIgnoringCase(key, "Password"))
            readPassword(value);
        else if (sameIgnoringCase(key, "From"))
            readText(scope, "the sender's address", value, mail.from, sizeof mail.from);
        else if (sameIgnoringCase(key, "To") && !parseRecipients(value, mail))
            complain(scope, "the recipients are not up to %d addresses of at most %d characters, separated by "
                            "commas.", kAlertRecipients, kAlertAddressSize - 1);
        else if (sameIgnoringCase(key, "Events"))
            readEvents(scope, value, mail.events);
        else if (sameIgnoringCase(key, "Fingerprint"))
            readFingerprint(scope, value, mail.fingerprint);
    }

    void readWebhookKey(const char* key, const char* value)
    {
        WebhookTarget& webhook = reading.settings.webhook;
        const AlertProblemScope scope = AlertProblemWebhook;
        if (sameIgnoringCase(key, "Enabled"))
            readSwitch(scope, value, webhook.enabled);
        else if (sameIgnoringCase(key, "URL"))
            readText(scope, "the URL", value, webhook.url, sizeof webhook.url);
        else if (sameIgnoringCase(key, "Format"))
            readChoice(scope, "format", value, kFormatNames, "json, slack, discord, teams or ntfy", webhook.format);
        else if (sameIgnoringCase(key, "Events"))
            readEvents(scope, value, webhook.events);
    }

    void readValue(const char* key, const char* value)
    {
        if (section == SectionAlerts)
            readAlertsKey(key, value);
        else if (section == SectionMail)
            readMailKey(key, value);
        else if (section == SectionWebhook)
            readWebhookKey(key, value);
    }

    // An overlong line is damage of whatever its key belongs to; in a section of no
    // channel it does not matter.
    void complainOfLongLine(char* text, int number)
    {
        char* equals = std::strchr(text, '=');
        if (equals)
            *equals = '\0';
        const char* key = trimmed(text);
        AlertProblemScope scope = AlertProblemSyslog;
        if (section == SectionAlerts && (sameIgnoringCase(key, "Ignore") || sameIgnoringCase(key, "Quiet")))
            scope = AlertProblemShared;
        else if (section != SectionAlerts)
            scope = section == SectionMail ? AlertProblemMail : AlertProblemWebhook;
        if (section != SectionOther)
            complain(scope, "line %d is too long.", number);
    }

    Section sectionOf(const char* header)
    {
        for (int i = 0; i < SectionOther; ++i) {
            if (sameIgnoringCase(header, kSectionNames[i]))
                return static_cast<Section>(i);
        }
        return SectionOther;
    }

    void readLines(TextSource& source)
    {
        if (readLine(source, line) != LineWhole || !sameIgnoringCase(trimmed(line), kHeader)) {
            complainIn(AlertProblemShared, "", "the first line is not %s.", kHeader);
            return;
        }
        section = SectionAlerts;
        // Read on after a problem, so the dialog shows all that the file holds.
        for (int number = 2;; ++number) {
            const LineRead read = readLine(source, line);
            if (read == LineNone)
                return;
            char* text = trimmed(line);
            char* equals = std::strchr(text, '=');
            if (read == LineTooLong)
                complainOfLongLine(text, number);
            else if (text[0] == '[' && text[std::strlen(text) - 1] == ']')
                section = sectionOf(text);
            else if (equals) {
                *equals = '\0';
                readValue(trimmed(text), trimmed(equals + 1));
            }
        }
    }

    // Ports by protocol where none is given, then each channel whole.
    void finish()
    {
        AlertSettings& settings = reading.settings;
        settings.syslog.port = syslogPortGiven ? settings.syslog.port : defaultSyslogPort(settings.syslog.protocol);
        settings.mail.port = mailPortGiven ? settings.mail.port : defaultMailPort(settings.mail.security);
        complainOfRecord(AlertProblemSyslog, syslogTargetProblem(settings.syslog));
        complainOfRecord(AlertProblemMail, mailTargetProblem(settings.mail));
        complainOfRecord(AlertProblemWebhook, webhookTargetProblem(settings.webhook));
        const bool shared = reading.problem[AlertProblemShared][0] == '\0';
        settings.syslog.enabled = settings.syslog.enabled && shared && !reading.problem[AlertProblemSyslog][0];
        settings.mail.enabled = settings.mail.enabled && shared && !reading.problem[AlertProblemMail][0];
        settings.webhook.enabled = settings.webhook.enabled && shared && !reading.problem[AlertProblemWebhook][0];
    }
};

bool sound(const AlertSettingsReading& reading)
{
    for (const auto& problem : reading.problem) {
        if (problem[0])
            return false;
    }
    return true;
}

// ---- Writing ------------------------------------------------------------

// Every text a save writes ends where its line does.
bool fitsOnItsLine(const char* text)
{
    return text[std::strcspn(text, "\r\n\x1a")] == '\0';
}

bool writable(const AlertSettings& settings)
{
    const MailTarget& mail = settings.mail;
    bool fits = fitsOnItsLine(settings.syslog.collector) && fitsOnItsLine(mail.server) && fitsOnItsLine(mail.user) &&
                fitsOnItsLine(mail.from) && fitsOnItsLine(settings.webhook.url) &&
                inRange(mail.toCount, kAlertRecipients + 1);
    for (int i = 0; fits && i < mail.toCount; ++i)
        fits = fitsOnItsLine(mail.to[i]);
    return fits;
}

void writeAlertsSection(std::FILE* file, const SyslogTarget& target, const AlertFilters& filters)
{
    char fingerprint[kFingerprintTextSize], ignore[kLineSize];
    fingerprintText(target.fingerprint, fingerprint, sizeof fingerprint);
    ignoreListText(filters, ignore, sizeof ignore);
    std::fprintf(file,
                 "%s\r\nEnabled=%d\r\nCollector=%s\r\nPort=%d\r\nProtocol=%s\r\nFraming=%s\r\nFingerprint=%s\r\n"
                 "Heartbeat=%d\r\nIgnore=%s\r\nQuiet=%d\r\n",
                 kHeader, target.enabled ? 1 : 0, target.collector, target.port,
                 nameOf(kProtocolNames, target.protocol), nameOf(kFramingNames, target.framing), fingerprint,
                 filters.heartbeatMinutes, ignore, filters.quietMinutes);
}

void writeMailSection(std::FILE* file, const MailTarget& mail, const char* password)
{
    std::fprintf(file, "\r\n%s\r\nEnabled=%d\r\nServer=%s\r\nPort=%d\r\nSecurity=%s\r\nUser=%s\r\nPassword=%s\r\n"
                       "From=%s\r\nTo=", kSectionNames[SectionMail], mail.enabled ? 1 : 0, mail.server, mail.port,
                 nameOf(kSecurityNames, mail.security), mail.user, password, mail.from);
    for (int i = 0; i < mail.toCount; ++i)
        std::fprintf(file, "%s%s", i ? ", " : "", mail.to[i]);
    char fingerprint[kFingerprintTextSize];
    fingerprintText(mail.fingerprint, fingerprint, sizeof fingerprint);
    std::fprintf(file, "\r\nEvents=%s\r\nFingerprint=%s\r\n", nameOf(kEventSetNames, mail.events), fingerprint);
}

void writeWebhookSection(std::FILE* file, const WebhookTarget& webhook)
{
    std::fprintf(file, "\r\n%s\r\nEnabled=%d\r\nURL=%s\r\nFormat=%s\r\nEvents=%s\r\n", kSectionNames[SectionWebhook],
                 webhook.enabled ? 1 : 0, webhook.url, nameOf(kFormatNames, webhook.format),
                 nameOf(kEventSetNames, webhook.events));
}

} // namespace

AlertSettings defaultAlertSettings()
{
    AlertSettings settings{};
    settings.syslog.port = kSyslogDefaultPort;
    settings.mail.port = kMailDefaultPort;
    settings.filters.quietMinutes = kQuietMinutes;
    settings.filters.heartbeatMinutes = kHeartbeatMinutes;
    return settings;
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
    if (!printable(mail.user, true) || !printable(mail.password, true))
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

int parseFingerprint(const char* text, AlertFingerprint& fingerprint)
{
    fingerprint = AlertFingerprint{};
    if (!text[0])
        return 1;
    const char* digits = afterPrefix(text, "sha-256:");
    digits = digits ? digits : text;
    int count = 0;
    for (const char* c = digits; *c; ++c) {
        // A colon only between two pairs of digits.
        if (*c == ':' && count > 0 && count % 2 == 0 && c[-1] != ':' && c[1])
            continue;
        const char* hex = std::strchr(kHexDigits, lowerCase(*c));
        if (!hex || count == 2 * kAlertFingerprintSize) {
            fingerprint = AlertFingerprint{};
            return 0;
        }
        unsigned char& byte = fingerprint.sha256[count / 2];
        byte = static_cast<unsigned char>(byte << 4 | (hex - kHexDigits));
        ++count;
    }
    fingerprint.present = count == 2 * kAlertFingerprintSize;
    if (!fingerprint.present)
        fingerprint = AlertFingerprint{};
    return count == 2 * kAlertFingerprintSize;
}

void fingerprintText(const AlertFingerprint& fingerprint, char* text, int size)
{
    char whole[kFingerprintTextSize] = "";
    for (std::size_t i = 0; fingerprint.present && i < kAlertFingerprintSize; ++i) {
        const char* colon = i + 1 < kAlertFingerprintSize ? ":" : "";
        std::snprintf(whole + 3 * i, sizeof whole - 3 * i, "%02X%s", fingerprint.sha256[i], colon);
    }
    if (size > 0)
        std::snprintf(text, size, "%s", whole);
}

int parseIgnoreList(const char* text, AlertFilters& filters, char* bad, int badSize)
{
    std::memset(filters.ignore, 0, sizeof filters.ignore);
    filters.ignoreCount = 0;
    if (badSize > 0)
        bad[0] = '\0';
    char entry[kEntrySize];
    bool fits = true;
    for (const char* next = blankOnly(text) ? nullptr : text; takeEntry(next, entry, sizeof entry, fits);) {
        if (!fits || filters.ignoreCount == kAlertIgnoreEntries ||
            !readIgnoreEntry(entry, filters.ignore[filters.ignoreCount])) {
            if (badSize > 0)
                std::snprintf(bad, badSize, "%s", entry);
            return 0;
        }
        ++filters.ignoreCount;
    }
    return 1;
}

void ignoreListText(const AlertFilters& filters, char* text, int size)
{
    if (size <= 0)
        return;
    text[0] = '\0';
    // Whole entries only, should `text` be short.
    for (int i = 0, used = 0; i < filters.ignoreCount && i < kAlertIgnoreEntries; ++i) {
        char entry[kEntrySize];
        ignoreEntryText(filters.ignore[i], entry, sizeof entry);
        const int length = std::snprintf(text + used, size - used, "%s%s", i ? ", " : "", entry);
        if (length < 0 || length >= size - used) {
            text[used] = '\0';
            return;
        }
        used += length;
    }
}

int parseRecipients(const char* text, MailTarget& target)
{
    std::memset(target.to, 0, sizeof target.to);
    target.toCount = 0;
    char entry[kAlertAddressSize];
    bool fits = true;
    for (const char* next = blankOnly(text) ? nullptr : text; takeEntry(next, entry, sizeof entry, fits);) {
        if (!fits || !entry[0] || target.toCount == kAlertRecipients)
            return 0;
        std::memcpy(target.to[target.toCount++], entry, sizeof entry);
    }
    return 1;
}

AlertSettingsReading loadAlertSettings(const char* fileName)
{
    AlertSettingsReading reading{};
    reading.settings = defaultAlertSettings();
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return reading;
    reading.fileFound = 1;
    Reader reader{reading, fileName, SectionAlerts, false, false, {}};
    TextSource source = openSource(file);
    reader.readLines(source);
    if (std::ferror(file))
        reader.complainIn(AlertProblemShared, "", "%s", "the file could not be read.");
    std::fclose(file);
    reader.finish();
    if (reading.passwordWasPlain && sound(reading))
        reading.rewritten = saveAlertSettings(reading.settings, fileName);
    return reading;
}

int saveAlertSettings(const AlertSettings& settings, const char* fileName)
{
    char password[kSecretTextSize] = "";
    const char* plain = settings.mail.password;
    if (!writable(settings) || (plain[0] && !protectSecret(plain, password, sizeof password)))
        return 0;
    char scratch[kScratchPathSize];
    std::FILE* file = openSaveFile(fileName, scratch, sizeof scratch);
    if (!file)
        return 0;
    writeAlertsSection(file, settings.syslog, settings.filters);
    writeMailSection(file, settings.mail, password);
    writeWebhookSection(file, settings.webhook);
    return finishSave(file, scratch, fileName);
}
