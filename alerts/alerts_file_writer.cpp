#include "alerts/alerts_file_writer.h"

#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_lines.h"
#include "platform/ascii.h"
#include "platform/secret_store.h"

#include <cstdio>
#include <cstring>

namespace {

// Any value the settings hold fits; a line the reader takes whole does too.
enum { kValueSize = kAlertsLineSize };

const char kAlertsSection[] = "[Velmoranth Alerts]";
const char kMailSection[] = "[E-mail]";
const char kWebhookSection[] = "[Webhook]";
const char kTripwiresSection[] = "[Tripwires]";
const char kLineEnd[] = "\r\n";

// Every text a save writes ends where its line does.
bool onOneLine(const char* text)
{
    return text[std::strcspn(text, "\r\n\x1a")] == '\0';
}

bool lineText(const char* text, char* value)
{
    return onOneLine(text) && std::snprintf(value, kValueSize, "%s", text) < kValueSize;
}

template <int N> bool nameText(const char* const (&names)[N], int index, char* value)
{
    return lineText(nameOf(names, index), value);
}

bool numberText(int number, char* value)
{
    std::snprintf(value, kValueSize, "%d", number);
    return true;
}

bool switchText(int enabled, char* value)
{
    return numberText(enabled ? 1 : 0, value);
}

bool fingerprintValue(const AlertFingerprint& fingerprint, char* value)
{
    fingerprintText(fingerprint, value, kValueSize);
    return true;
}

bool ignoreValue(const AlertFilters& filters, char* value)
{
    ignoreListText(filters, value, kValueSize);
    return true;
}

bool recipientsText(const MailTarget& mail, char* value)
{
    value[0] = '\0';
    bool fits = inRange(mail.toCount, kAlertRecipients + 1);
    for (int i = 0, used = 0; fits && i < mail.toCount; ++i) {
        const int length = std::snprintf(value + used, kValueSize - used, "%s%s", i ? ", " : "", mail.to[i]);
        fits = onOneLine(mail.to[i]) && length < kValueSize - used;
        used += length;
    }
    return fits;
}

// Protected for this Windows user; none stays empty.
bool passwordText(const char* password, char* value)
{
    value[0] = '\0';
    return !password[0] || protectSecret(password, value, kValueSize);
}

// One key that the dialog saves: the header of its section, its name as the
// program writes it, and its value from the settings into `value`
// (kValueSize bytes; false: it cannot be written). A section's rows stand
// together, and sections and rows come in the order a new file gets them.
struct SavedKey {
    const char* section;
    const char* key;
    bool (*valueOf)(const AlertSettings& settings, char* value);
};

const SavedKey kSavedKeys[] = {
    {kAlertsSection, "Enabled",
     [](const AlertSettings& settings, char* value) { return switchText(settings.syslog.enabled, value); }},
    {kAlertsSection, "Collector",
     [](const AlertSettings& settings, char* value) { return lineText(settings.syslog.collector, value); }},
    {kAlertsSection, "Port",
     [](const AlertSettings& settings, char* value) { return numberText(settings.syslog.port, value); }},
    {kAlertsSection, "Protocol",
     [](const AlertSettings& settings, char* value) {
         return nameText(kSyslogProtocolNames, settings.syslog.protocol, value);
     }},
    {kAlertsSection, "Framing",
     [](const AlertSettings& settings, char* value) {
         return nameText(kSyslogFramingNames, settings.syslog.framing, value);
     }},
    {kAlertsSection, "Fingerprint",
     [](const AlertSettings& settings, char* value) { return fingerprintValue(settings.syslog.fingerprint, value); }},
    {kAlertsSection, "Heartbeat",
     [](const AlertSettings& settings, char* value) { return numberText(settings.filters.heartbeatMinutes, value); }},
    {kAlertsSection, "Ignore",
     [](const AlertSettings& settings, char* value) { return ignoreValue(settings.filters, value); }},
    {kAlertsSection, "Quiet",
     [](const AlertSettings& settings, char* value) { return numberText(settings.filters.quietMinutes, value); }},
    {kMailSection, "Enabled",
     [](const AlertSettings& settings, char* value) { return switchText(settings.mail.enabled, value); }},
    {kMailSection, "Server",
     [](const AlertSettings& settings, char* value) { return lineText(settings.mail.server, value); }},
    {kMailSection, "Port",
     [](const AlertSettings& settings, char* value) { return numberText(settings.mail.port, value); }},
    {kMailSection, "Security",
     [](const AlertSettings& settings, char* value) {
         return nameText(kMailSecurityNames, settings.mail.security, value);
     }},
    {kMailSection, "User",
     [](const AlertSettings& settings, char* value) { return lineText(settings.mail.user, value); }},
    {kMailSection, "Password",
     [](const AlertSettings& settings, char* value) { return passwordText(settings.mail.password, value); }},
    {kMailSection, "From",
     [](const AlertSettings& settings, char* value) { return lineText(settings.mail.from, value); }},
    {kMailSection, "To",
     [](const AlertSettings& settings, char* value) { return recipientsText(settings.mail, value); }},
    {kMailSection, "Events",
     [](const AlertSettings& settings, char* value) {
         return nameText(kEventChoiceNames, settings.mail.events, value);
     }},
    {kMailSection, "Fingerprint",
     [](const AlertSettings& settings, char* value) { return fingerprintValue(settings.mail.fingerprint, value); }},
    {kWebhookSection, "Enabled",
     [](const AlertSettings& settings, char* value) { return switchText(settings.webhook.enabled, value); }},
    {kWebhookSection, "URL",
     [](const AlertSettings& settings, char* value) { return lineText(settings.webhook.url, value); }},
    {kWebhookSection, "Format",
     [](const AlertSettings& settings, char* value) {
         return nameText(kWebhookFormatNames, settings.webhook.format, value);
     }},
    {kWebhookSection, "Events",
     [](const AlertSettings& settings, char* value) {
         return nameText(kEventChoiceNames, settings.webhook.events, value);
     }},
    {kTripwiresSection, "Enabled",
     [](const AlertSettings& settings, char* value) { return switchText(settings.tripwires.enabled, value); }},
    {kTripwiresSection, "Ports",
     [](const AlertSettings& settings, char* value) {
         portListFileText(settings.tripwires, value, kValueSize);
         return true;
     }},
    {kTripwiresSection, "ScanPorts",
     [](const AlertSettings& settings, char* value) { return numberText(settings.tripwires.scanPorts, value); }},
    {kTripwiresSection, "ScanSeconds",
     [](const AlertSettings& settings, char* value) { return numberText(settings.tripwires.scanSeconds, value); }},
};

enum { kSavedKeyCount = sizeof kSavedKeys / sizeof kSavedKeys[0] };

// A section's rows: [first, end).
struct SectionRows {
    int first, end;
};

// One save's edit of the file, in place. A section may stand in the file more
// than once: its keys are set in each, and those it lacks everywhere go to
// its last.
struct Edit {
    TextFile& file;
    const AlertSettings& settings;
    SectionRows sections[kSavedKeyCount];  // each has a row at least
    int sectionCount;
    bool met[kSavedKeyCount];              // the key has a line in its section
    int addAt[kSavedKeyCount];             // by section: where its missing keys go; -1 while it is missing
    bool openAt[kSavedKeyCount];           // the line before addAt has no line end
    char value[kValueSize];
};

void findSections(Edit& edit)
{
    for (int row = 0; row < kSavedKeyCount; ++row) {
        if (row == 0 || std::strcmp(kSavedKeys[row].section, kSavedKeys[row - 1].section) != 0)
            edit.sections[edit.sectionCount++] = SectionRows{row, row};
        edit.sections[edit.sectionCount - 1].end = row + 1;
        edit.addAt[edit.sectionCount - 1] = -1;
    }
}

// The section of `header` (any case), as the reader finds it; -1 for one the dialog does not save.
int sectionOf(const Edit& edit, const char* header)
{
    for (int section = 0; section < edit.sectionCount; ++section) {
        if (sameIgnoringCase(header, kSavedKeys[edit.sections[section].first].section))
            return section;
    }
    return -1;
}

int rowOf(const Edit& edit, int section, const char* key)
{
    for (int row = edit.sections[section].first; row < edit.sections[section].end; ++row) {
        if (sameIgnoringCase(key, kSavedKeys[row].key))
            return row;
    }
    return -1;
}

// Puts `text` in place of the bytes [start, end) and moves `end` past it.
bool replace(Edit& edit, int start, int& end, const char* text)
{
    const int length = edit.file.length;
    if (!textFileReplace(edit.file, start, end, text))
        return false;
    end += edit.file.length - length;
    return true;
}

bool insert(Edit& edit, int& at, const char* text)
{
    return replace(edit, at, at, text);
}

// Key=value in place of [start, end), or inserted there; `end` moves past it.
bool writeKey(Edit& edit, int row, int start, int& end)
{
    char line[kValueSize + 32];
    const int length = std::snprintf(line, sizeof line, "%s=%s", kSavedKeys[row].key, edit.value);
    return length < static_cast<int>(sizeof line) && replace(edit, start, end, line);
}

// A line of a key the dialog saves gets its value, unless it holds it already as written.
bool editKeyLine(Edit& edit, int section, AlertsLine& line)
{
    const int row = rowOf(edit, section, line.name);
    if (row < 0)
        return true;
    edit.met[row] = true;
    if (!kSavedKeys[row].valueOf(edit.settings, edit.value))
        return false;
    if (line.kind == AlertsLineKey && std::strcmp(line.value, edit.value) == 0)
        return true;
    const int end = line.place.end;
    if (!writeKey(edit, row, line.place.start, line.place.end))
        return false;
    line.place.next += line.place.end - end;
    return true;
}

// A file that does not begin with the header, an empty one too, gets it as its first line.
bool addHeaderIfMissing(Edit& edit)
{
    AlertsLine line;
    const char* header = kSavedKeys[0].section;
    if (readAlertsLine(edit.file, edit.file.textStart, line) && line.kind == AlertsLineHeader &&
        sameIgnoringCase(line.name, header))
        return true;
    int at = edit.file.textStart;
    return insert(edit, at, header) && insert(edit, at, kLineEnd);
}

// Every key line of the sections the dialog saves, and where each section's missing keys go.
bool editLines(Edit& edit)
{
    AlertsLine line;
    int section = -1;
    for (int at = edit.file.textStart; readAlertsLine(edit.file, at, line); at = line.place.next) {
        if (line.kind == AlertsLineHeader)
            section = sectionOf(edit, line.name);
        else if (section < 0 || line.kind == AlertsLineOther)
            continue;
        else if (!editKeyLine(edit, section, line))
            return false;
        if (section >= 0) {
            edit.addAt[section] = line.place.next;
            edit.openAt[section] = line.place.next == line.place.end;
        }
    }
    return true;
}

// The section's keys that have no line yet, at `at`, each on a line of its own.
bool addKeys(Edit& edit, int section, int at, bool open)
{
    for (int row = edit.sections[section].first; row < edit.sections[section].end; ++row) {
        if (edit.met[row])
            continue;
        if (open && !insert(edit, at, kLineEnd))
            return false;
        open = false;
        if (!kSavedKeys[row].valueOf(edit.settings, edit.value) || !writeKey(edit, row, at, at) ||
            !insert(edit, at, kLineEnd))
            return false;
    }
    return true;
}

// After each section's last key line, the last place first: the places before it stay where they are.
bool addMissingKeys(Edit& edit)
{
    for (int below = edit.file.length + 1;;) {
        int section = -1;
        for (int i = 0; i < edit.sectionCount; ++i) {
            if (edit.addAt[i] >= 0 && edit.addAt[i] < below && (section < 0 || edit.addAt[i] > edit.addAt[section]))
                section = i;
        }
        if (section < 0)
            return true;
        below = edit.addAt[section];
        if (!addKeys(edit, section, below, edit.openAt[section]))
            return false;
    }
}

// The text's last line has no line end.
bool lastLineOpen(const TextFile& file)
{
    AlertsLine line;
    TextLinePlace last{0, 0, 1};
    for (int at = file.textStart; readAlertsLine(file, at, line); at = line.place.next)
        last = line.place;
    return last.next == last.end;
}

// A file without tripwires does not gain a section that would only say so.
bool wanted(const Edit& edit, int section)
{
    const TripwireSettings& tripwires = edit.settings.tripwires;
    const bool isTripwires = std::strcmp(kSavedKeys[edit.sections[section].first].section, kTripwiresSection) == 0;
    return !isTripwires || tripwires.enabled || tripwires.ports.count > 0;
}

// At the end of the text (before a Ctrl-Z), each after a blank line.
bool addMissingSections(Edit& edit)
{
    for (int section = 0; section < edit.sectionCount; ++section) {
        if (edit.addAt[section] >= 0 || !wanted(edit, section))
            continue;
        int at = textFileEnd(edit.file);
        if ((lastLineOpen(edit.file) && !insert(edit, at, kLineEnd)) || !insert(edit, at, kLineEnd) ||
            !insert(edit, at, kSavedKeys[edit.sections[section].first].section) || !insert(edit, at, kLineEnd) ||
            !addKeys(edit, section, at, false))
            return false;
    }
    return true;
}

// The file as it is saved: the window's thread alone saves it.
TextFile image;

} // namespace

int saveAlertSettings(const AlertSettings& settings, const char* fileName)
{
    const TextFileLoad load = textFileLoad(fileName, image);
    if (load != TextFileLoaded && load != TextFileMissing)
        return 0;
    Edit edit{image, settings, {}, 0, {}, {}, {}, {}};
    findSections(edit);
    return addHeaderIfMissing(edit) && editLines(edit) && addMissingKeys(edit) && addMissingSections(edit) &&
           textFileSave(image, fileName);
}
