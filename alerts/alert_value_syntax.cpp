#include "alerts/alert_value_syntax.h"

#include "platform/ascii.h"
#include "platform/ipv4_text.h"

#include <cstdio>
#include <cstring>

const char* const kSyslogProtocolNames[4] = {"udp", "tcp", "tls", "relp"};
const char* const kSyslogFramingNames[2] = {"octet", "lf"};
const char* const kMailSecurityNames[3] = {"none", "starttls", "tls"};
const char* const kWebhookFormatNames[5] = {"json", "slack", "discord", "teams", "ntfy"};
const char* const kEventChoiceNames[2] = {"connect", "connect,listen,standby"};

namespace {

enum { kEntrySize = 40 };

const char* const kEventNames[] = {"connect", "listen", "standby"};
const char kHexDigits[] = "0123456789abcdef";

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

} // namespace

int nameIndexIn(const char* value, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i) {
        if (sameIgnoringCase(value, names[i]))
            return i;
    }
    return -1;
}

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

int parseEvents(const char* text, AlertEventChoice& events)
{
    int seen = blankOnly(text) ? 1 : 0;
    char name[16];
    bool fits = true;
    for (const char* next = seen ? nullptr : text; takeEntry(next, name, sizeof name, fits);) {
        const int index = fits ? nameIndex(name, kEventNames) : -1;
        if (index < 0)
            return 0;
        seen |= 1 << index;
    }
    events = seen == 7 ? AlertEventsConnectAndListen : AlertEventsConnect;
    return seen == 1 || seen == 7;
}

namespace {

enum PortEntry { PortEntrySound, PortEntryBad, PortEntryTooMany };

// Adds `port` in its place, once; false when the tripwires are full.
bool addPort(PortList& ports, int port)
{
    return (ports.count < kMostTripwires || portListHas(ports, port)) && portListAdd(ports, port);
}

// One entry: a port, or a range low-high.
PortEntry readPortEntry(const char* entry, TripwireSettings& settings)
{
    int low = 0, high = 0;
    const char* end = readNumberIn(entry, 1, 65535, low);
    high = low;
    if (end && *end == '-')
        end = readNumberIn(end + 1, 1, 65535, high);
    if (!end || *end || high < low)
        return PortEntryBad;
    for (int port = low; port <= high; ++port) {
        if (!addPort(settings.ports, port))
            return PortEntryTooMany;
    }
    return PortEntrySound;
}

} // namespace

int parsePortList(const char* text, TripwireSettings& settings, char* bad, int badSize)
{
    settings.ports.count = 0;
    if (badSize > 0)
        bad[0] = '\0';
    char entry[kEntrySize];
    bool fits = true;
    for (const char* next = blankOnly(text) ? nullptr : text; takeEntry(next, entry, sizeof entry, fits);) {
        const PortEntry read = fits ? readPortEntry(entry, settings) : PortEntryBad;
        if (read == PortEntrySound)
            continue;
        if (badSize > 0)
            std::snprintf(bad, badSize, "%s", read == PortEntryBad ? entry : "");
        return 0;
    }
    return 1;
}

void portListFileText(const TripwireSettings& settings, char* text, int size)
{
    const int* ports = settings.ports.ports;
    const int count = settings.ports.count;
    int used = 0;
    text[0] = '\0';
    for (int i = 0; i < count && used >= 0 && used < size;) {
        int last = i;
        while (last + 1 < count && ports[last + 1] == ports[last] + 1)
            ++last;
        if (last - i < 2)
            last = i;  // two in a row are two ports, not a range
        const char* comma = used ? "," : "";
        if (last > i)
            used += std::snprintf(text + used, size - used, "%s%d-%d", comma, ports[i], ports[last]);
        else
            used += std::snprintf(text + used, size - used, "%s%d", comma, ports[i]);
        i = last + 1;
    }
}
