#include "alerts/alerts_file_reader.h"

#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_lines.h"
#include "platform/ascii.h"
#include "platform/secret_store.h"
#include "storage/text_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char kHeader[] = "[Velmoranth Alerts]";
const char kPasswordKey[] = "Password";

enum Section { SectionAlerts, SectionMail, SectionWebhook, SectionTripwires, SectionOther };
const char* const kSectionNames[] = {"[Velmoranth Alerts]", "[E-mail]", "[Webhook]", "[Tripwires]"};
// Where each scope's keys are, for its problem texts.
const Section kScopeSections[kAlertProblemScopes] = {SectionAlerts, SectionMail, SectionWebhook, SectionAlerts,
                                                     SectionTripwires};

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

struct Reader {
    AlertSettingsReading& reading;
    const char* fileName;
    Section section;
    bool syslogPortGiven, mailPortGiven;
    bool passwordDamaged;      // the last password is too long, or protected for someone else
    bool passwordLineTooLong;  // a password's line is too long to be read: it cannot be protected

    AlertSettings& settings() { return reading.settings; }

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
            complain(scope, "Enabled \"%s\" is neither 0 nor 1.", quoted(value).text);
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
            complain(scope, "the port \"%s\" is not a number from 1 to 65535.", quoted(value).text);
    }

    // One of `names` (any case); empty: the first. A bad value leaves the first, too.
    template <typename Choice, int N>
    void readChoice(AlertProblemScope scope, const char* what, const char* value, const char* const (&names)[N],
                    const char* choices, Choice& choice)
    {
        const int index = value[0] ? nameIndex(value, names) : 0;
        if (index < 0)
            complain(scope, "the %s \"%s\" is not %s.", what, quoted(value).text, choices);
        choice = static_cast<Choice>(index < 0 ? 0 : index);
    }

    void readMinutes(AlertProblemScope scope, const char* what, const char* value, int& minutes, int byDefault)
    {
        minutes = byDefault;
        const char* end = value[0] ? readNumberIn(value, 0, kMostMinutes, minutes) : "";
        if (!end || *end)
            complain(scope, "the %s \"%s\" is not a number of minutes from 0 to %d.", what, quoted(value).text,
                     kMostMinutes);
    }

    void readFingerprint(AlertProblemScope scope, const char* value, AlertFingerprint& fingerprint)
    {
        if (!parseFingerprint(value, fingerprint))
            complain(scope, "the fingerprint \"%s\" is not a SHA-256 in hex.", quoted(value).text);
    }

    void readEvents(AlertProblemScope scope, const char* value, AlertEventChoice& events)
    {
        if (!parseEvents(value, events))
            complain(scope, "the events \"%s\" are neither connect nor connect,listen,standby.", quoted(value).text);
    }

    void readIgnore(const char* value)
    {
        char bad[40];
        AlertFilters& filters = settings().filters;
        if (parseIgnoreList(value, filters, bad, sizeof bad))
            return;
        if (filters.ignoreCount == kAlertIgnoreEntries)
            complain(AlertProblemShared, "the ignore list holds more than %d entries.", kAlertIgnoreEntries);
        else
            complain(AlertProblemShared,
                     "the ignore list's entry \"%s\" is not an IPv4 address or network (a.b.c.d/n), with an "
                     "optional :port.", quoted(bad).text);
    }

    // Never quoted: a password stays out of every problem text. The last
    // Password= counts, as for every key.
    void readPassword(const char* value)
    {
        MailTarget& mail = settings().mail;
        passwordDamaged = false;
        if (!isProtectedSecret(value)) {
            readText(AlertProblemMail, "the password", value, mail.password, sizeof mail.password);
            reading.passwordWasPlain |= value[0] != '\0';
            passwordDamaged = std::strlen(value) >= sizeof mail.password;
        } else if (!unprotectSecret(value, mail.password, sizeof mail.password)) {
            mail.password[0] = '\0';
            passwordDamaged = true;
            complain(AlertProblemMail, "%s", "the password was protected for another Windows user or is damaged; "
                                             "enter it again.");
        }
    }

    // A number in [low, high], or 0 where `zeroTurnsOff`; empty: the default.
    void readCount(const char* what, const char* value, int& count, int low, int high, int byDefault,
                   bool zeroTurnsOff)
    {
        count = byDefault;
        const char* end = value[0] ? readNumberIn(value, 0, high, count) : "";
        if (!end || *end || (count < low && !(count == 0 && zeroTurnsOff)))
            complain(AlertProblemTripwires, "%s \"%s\" is not a number from %d to %d%s.", what, quoted(value).text,
                     low, high, zeroTurnsOff ? ", or 0" : "");
    }

    void readPorts(const char* value)
    {
        char bad[40];
        if (parsePortList(value, settings().tripwires, bad, sizeof bad))
            return;
        if (!bad[0])
            complain(AlertProblemTripwires, "the ports are more than %d.", kMostTripwires);
        else
            complain(AlertProblemTripwires, "the port \"%s\" is not a port or a range (low-high) from 1 to 65535.",
                     quoted(bad).text);
    }

    // What protecting asks of the password, as the mail check does: that it fits and is printable ASCII.
    bool passwordSound()
    {
        return !passwordDamaged && !passwordLineTooLong && allPrintable(settings().mail.password, true);
    }

    void readRecipients(const char* value)
    {
        if (!parseRecipients(value, settings().mail))
            complain(AlertProblemMail, "the recipients are not up to %d addresses of at most %d characters, "
                                       "separated by commas.", kAlertRecipients, kAlertAddressSize - 1);
    }

    void readValue(const char* key, const char* value);
    void complainOfLongLine(const AlertsLine& line, int number);
    void readLines(const TextFile& file);
    void finish();
};

// Each section's keys: the scope a damaged line of the key turns off, and
// how its value is read.
struct KeyRule {
    const char* key;
    AlertProblemScope scope;
    void (*read)(Reader& reader, const char* value);
};

const KeyRule kAlertsKeys[] = {
    {"Enabled", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         reader.readSwitch(AlertProblemSyslog, value, reader.settings().syslog.enabled);
     }},
    {"Collector", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         SyslogTarget& syslog = reader.settings().syslog;
         reader.readText(AlertProblemSyslog, "the collector's name", value, syslog.collector, sizeof syslog.collector);
     }},
    {"Port", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         reader.readPort(AlertProblemSyslog, value, reader.settings().syslog.port, reader.syslogPortGiven);
     }},
    {"Protocol", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         reader.readChoice(AlertProblemSyslog, "protocol", value, kSyslogProtocolNames, "udp, tcp, tls or relp",
                           reader.settings().syslog.protocol);
     }},
    {"Framing", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         reader.readChoice(AlertProblemSyslog, "framing", value, kSyslogFramingNames, "octet or lf",
                           reader.settings().syslog.framing);
     }},
    {"Fingerprint", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         reader.readFingerprint(AlertProblemSyslog, value, reader.settings().syslog.fingerprint);
     }},
    {"Heartbeat", AlertProblemSyslog,
     [](Reader& reader, const char* value) {
         reader.readMinutes(AlertProblemSyslog, "heartbeat", value, reader.settings().filters.heartbeatMinutes,
                            kDefaultHeartbeatMinutes);
     }},
    {"Quiet", AlertProblemShared,
     [](Reader& reader, const char* value) {
         reader.readMinutes(AlertProblemShared, "quiet time", value, reader.settings().filters.quietMinutes,
                            kDefaultQuietMinutes);
     }},
    {"Ignore", AlertProblemShared, [](Reader& reader, const char* value) { reader.readIgnore(value); }},
};

const KeyRule kMailKeys[] = {
    {"Enabled", AlertProblemMail,
     [](Reader& reader, const char* value) {
         reader.readSwitch(AlertProblemMail, value, reader.settings().mail.enabled);
     }},
    {"Server", AlertProblemMail,
     [](Reader& reader, const char* value) {
         MailTarget& mail = reader.settings().mail;
         reader.readText(AlertProblemMail, "the server's name", value, mail.server, sizeof mail.server);
     }},
    {"Port", AlertProblemMail,
     [](Reader& reader, const char* value) {
         reader.readPort(AlertProblemMail, value, reader.settings().mail.port, reader.mailPortGiven);
     }},
    {"Security", AlertProblemMail,
     [](Reader& reader, const char* value) {
         reader.readChoice(AlertProblemMail, "security", value, kMailSecurityNames, "none, starttls or tls",
                           reader.settings().mail.security);
     }},
    {"User", AlertProblemMail,
     [](Reader& reader, const char* value) {
         MailTarget& mail = reader.settings().mail;
         reader.readText(AlertProblemMail, "the user name", value, mail.user, sizeof mail.user);
     }},
    {"Password", AlertProblemMail, [](Reader& reader, const char* value) { reader.readPassword(value); }},
    {"From", AlertProblemMail,
     [](Reader& reader, const char* value) {
         MailTarget& mail = reader.settings().mail;
         reader.readText(AlertProblemMail, "the sender's address", value, mail.from, sizeof mail.from);
     }},
    {"To", AlertProblemMail, [](Reader& reader, const char* value) { reader.readRecipients(value); }},
    {"Events", AlertProblemMail,
     [](Reader& reader, const char* value) {
         reader.readEvents(AlertProblemMail, value, reader.settings().mail.events);
     }},
    {"Fingerprint", AlertProblemMail,
     [](Reader& reader, const char* value) {
         reader.readFingerprint(AlertProblemMail, value, reader.settings().mail.fingerprint);
     }},
};

const KeyRule kWebhookKeys[] = {
    {"Enabled", AlertProblemWebhook,
     [](Reader& reader, const char* value) {
         reader.readSwitch(AlertProblemWebhook, value, reader.settings().webhook.enabled);
     }},
    {"URL", AlertProblemWebhook,
     [](Reader& reader, const char* value) {
         WebhookTarget& webhook = reader.settings().webhook;
         reader.readText(AlertProblemWebhook, "the URL", value, webhook.url, sizeof webhook.url);
     }},
    {"Format", AlertProblemWebhook,
     [](Reader& reader, const char* value) {
         reader.readChoice(AlertProblemWebhook, "format", value, kWebhookFormatNames,
                           "json, slack, discord, teams or ntfy", reader.settings().webhook.format);
     }},
    {"Events", AlertProblemWebhook,
     [](Reader& reader, const char* value) {
         reader.readEvents(AlertProblemWebhook, value, reader.settings().webhook.events);
     }},
};

const KeyRule kTripwireKeys[] = {
    {"Enabled", AlertProblemTripwires,
     [](Reader& reader, const char* value) {
         reader.readSwitch(AlertProblemTripwires, value, reader.settings().tripwires.enabled);
     }},
    {"Ports", AlertProblemTripwires, [](Reader& reader, const char* value) { reader.readPorts(value); }},
    {"ScanPorts", AlertProblemTripwires,
     [](Reader& reader, const char* value) {
         reader.readCount("ScanPorts", value, reader.settings().tripwires.scanPorts, 2, kMostScanPorts,
                          kDefaultScanPorts, true);
     }},
    {"ScanSeconds", AlertProblemTripwires,
     [](Reader& reader, const char* value) {
         reader.readCount("ScanSeconds", value, reader.settings().tripwires.scanSeconds, 1, kMostScanSeconds,
                          kDefaultScanSeconds, false);
     }},
};

struct SectionRule {
    const KeyRule* keys;
    int count;
};

// In the order of Section.
const SectionRule kSectionRules[] = {
    {kAlertsKeys, sizeof kAlertsKeys / sizeof kAlertsKeys[0]},
    {kMailKeys, sizeof kMailKeys / sizeof kMailKeys[0]},
    {kWebhookKeys, sizeof kWebhookKeys / sizeof kWebhookKeys[0]},
    {kTripwireKeys, sizeof kTripwireKeys / sizeof kTripwireKeys[0]},
};

// The rule of `key` in `section`; nullptr for a key the section does not know.
const KeyRule* ruleOf(Section section, const char* key)
{
    if (section == SectionOther)
        return nullptr;
    const SectionRule& rules = kSectionRules[section];
    for (int i = 0; i < rules.count; ++i) {
        if (sameIgnoringCase(key, rules.keys[i].key))
            return &rules.keys[i];
    }
    return nullptr;
}

Section sectionOf(const char* header)
{
    for (int i = 0; i < SectionOther; ++i) {
        if (sameIgnoringCase(header, kSectionNames[i]))
            return static_cast<Section>(i);
    }
    return SectionOther;
}

void Reader::readValue(const char* key, const char* value)
{
    if (const KeyRule* rule = ruleOf(section, key))
        rule->read(*this, value);
}

// An overlong line is damage of whatever its key belongs to; in a section of no
// channel it does not matter. A password on it stays as it is.
void Reader::complainOfLongLine(const AlertsLine& line, int number)
{
    const KeyRule* rule = ruleOf(section, line.name);
    if (section == SectionMail && isLineOfKey(line, kPasswordKey)) {
        reading.passwordWasPlain |= !isProtectedSecret(line.value);
        passwordLineTooLong = true;
    }
    if (section != SectionOther)
        complain(rule ? rule->scope : kSectionRules[section].keys[0].scope, "line %d is too long.", number);
}

void Reader::readLines(const TextFile& file)
{
    AlertsLine line;
    if (!readAlertsLine(file, file.textStart, line) || line.kind != AlertsLineHeader ||
        !sameIgnoringCase(line.name, kHeader)) {
        complainIn(AlertProblemShared, "", "the first line is not %s.", kHeader);
        return;
    }
    section = SectionAlerts;
    // Read on after a problem, so the dialog shows all that the file holds.
    for (int number = 2; readAlertsLine(file, line.place.next, line); ++number) {
        if (line.kind == AlertsLineTooLong)
            complainOfLongLine(line, number);
        else if (line.kind == AlertsLineHeader)
            section = sectionOf(line.name);
        else if (line.kind == AlertsLineKey)
            readValue(line.name, line.value);
    }
}

// Ports by protocol where none is given, then each channel whole.
void Reader::finish()
{
    AlertSettings& all = settings();
    all.syslog.port = syslogPortGiven ? all.syslog.port : defaultSyslogPort(all.syslog.protocol);
    all.mail.port = mailPortGiven ? all.mail.port : defaultMailPort(all.mail.security);
    complainOfRecord(AlertProblemSyslog, syslogTargetProblem(all.syslog));
    complainOfRecord(AlertProblemMail, mailTargetProblem(all.mail));
    complainOfRecord(AlertProblemWebhook, webhookTargetProblem(all.webhook));
    const bool shared = reading.problem[AlertProblemShared][0] == '\0';
    all.syslog.enabled = all.syslog.enabled && shared && !reading.problem[AlertProblemSyslog][0];
    all.mail.enabled = all.mail.enabled && shared && !reading.problem[AlertProblemMail][0];
    all.webhook.enabled = all.webhook.enabled && shared && !reading.problem[AlertProblemWebhook][0];
    all.tripwires.enabled = all.tripwires.enabled && !reading.problem[AlertProblemTripwires][0];
}

// The file as read: the window's thread alone reads it.
TextFile image;

// Each Password= line of [E-mail] that holds a password in the clear becomes
// Password=`kept`, in place, with its line's own line end; every other byte
// stays as it was, the damaged lines too, for the person to mend.
bool protectPasswordLines(TextFile& file, const char* kept)
{
    char text[kSecretTextSize + sizeof kPasswordKey];
    std::snprintf(text, sizeof text, "%s=%s", kPasswordKey, kept);
    AlertsLine line;
    Section section = SectionAlerts;
    for (int at = file.textStart; readAlertsLine(file, at, line); at = line.place.next) {
        if (line.kind == AlertsLineHeader)
            section = sectionOf(line.name);
        if (section != SectionMail || line.kind != AlertsLineKey || !sameIgnoringCase(line.name, kPasswordKey) ||
            !line.value[0] || isProtectedSecret(line.value))
            continue;
        const int length = file.length;
        if (!textFileReplace(file, line.place.start, line.place.end, text))
            return false;
        line.place.next += file.length - length;
    }
    return true;
}

// The password as read, protected for this Windows user in every line that
// held it in the clear, and the file saved through a scratch file. Only a file
// read whole is saved. 1 on success.
int protectInPlace(TextFileLoad load, const char* password, const char* fileName)
{
    char kept[kSecretTextSize] = "";
    if (load != TextFileLoaded || (password[0] && !protectSecret(password, kept, sizeof kept)))
        return 0;
    return protectPasswordLines(image, kept) && textFileSave(image, fileName);
}

} // namespace

AlertSettingsReading loadAlertSettings(const char* fileName)
{
    AlertSettingsReading reading{};
    reading.settings = defaultAlertSettings();
    const TextFileLoad load = textFileLoad(fileName, image);
    if (load == TextFileMissing)
        return reading;
    reading.fileFound = 1;
    Reader reader{reading, fileName, SectionAlerts, false, false, false, false};
    reader.readLines(image);
    if (load == TextFileUnreadable)
        reader.complainIn(AlertProblemShared, "", "%s", "the file could not be read.");
    if (load == TextFileTooLarge)
        reader.complainIn(AlertProblemShared, "", "the file is larger than %d KiB.", kTextFileMost / 1024);
    reader.finish();
    // Whatever else is damaged: a sound password never waits in the clear for the rest to be mended.
    if (reading.passwordWasPlain)
        reading.passwordStaysPlain = !reader.passwordSound() ||
                                     !protectInPlace(load, reading.settings.mail.password, fileName);
    return reading;
}
