#include "storage/alert_settings.h"

#include "storage/file_replace.h"
#include "storage/stored_values.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHeader[] = "[Velmoranth Alerts]";

// A collector of 255 characters, its key and some blanks fit; a longer line is damage.
enum { kLineSize = 320 };
enum LineRead { LineNone, LineWhole, LineTooLong };

const char* const kProtocolNames[] = {"udp", "tcp"};

// Reads one line without its line end into `line`. A line that does not fit is
// read to its end and reported, never cut into a shorter value.
LineRead readLine(std::FILE* file, char (&line)[kLineSize])
{
    int length = 0, c = readTextChar(file);
    if (c == EOF)
        return LineNone;
    for (; c != EOF && c != '\n'; c = readTextChar(file)) {
        if (length == kLineSize - 1) {
            while (c != EOF && c != '\n')
                c = readTextChar(file);
            return LineTooLong;
        }
        line[length++] = static_cast<char>(c);
    }
    line[length] = '\0';
    return LineWhole;
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

// 1 to 65535 in plain digits; 0 for anything else.
int portNumber(const char* text)
{
    long value = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9' && digits < 6; ++text, ++digits)
        value = value * 10 + (*text - '0');
    return *text == '\0' && digits > 0 && value >= 1 && value <= 65535 ? static_cast<int>(value) : 0;
}

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
    int enabled;

    // Only the first problem is told: it is the one to fix first.
    template <typename... Values> void complain(const char* format, Values... values)
    {
        if (reading.problem[AlertProblemSyslog][0])
            return;
        const int used = std::snprintf(reading.problem[AlertProblemSyslog], kAlertProblemSize, "%s: ", baseName(fileName));
        if (used > 0 && used < kAlertProblemSize)
            std::snprintf(reading.problem[AlertProblemSyslog] + used, kAlertProblemSize - used, format, values...);
    }

    void readValue(const char* key, const char* value)
    {
        AlertTarget& target = reading.settings.syslog;
        if (sameIgnoringCase(key, "Enabled")) {
            if (std::strcmp(value, "0") != 0 && std::strcmp(value, "1") != 0)
                complain("Enabled \"%.40s\" is neither 0 nor 1.", value);
            enabled = value[0] == '1';
        } else if (sameIgnoringCase(key, "Collector")) {
            if (std::strlen(value) >= sizeof target.collector)
                complain("the collector's name is longer than %d characters.", kAlertHostSize - 1);
            std::snprintf(target.collector, sizeof target.collector, "%s", value);
        } else if (sameIgnoringCase(key, "Port")) {
            const int port = portNumber(value);
            target.port = port ? port : target.port;
            if (!port)
                complain("the port \"%.40s\" is not a number from 1 to 65535.", value);
        } else if (sameIgnoringCase(key, "Protocol")) {
            const bool tcp = sameIgnoringCase(value, kProtocolNames[AlertTcp]);
            if (!tcp && !sameIgnoringCase(value, kProtocolNames[AlertUdp]))
                complain("the protocol \"%.40s\" is neither udp nor tcp.", value);
            target.protocol = tcp ? AlertTcp : AlertUdp;
        }
    }

    void readLines(std::FILE* file)
    {
        char line[kLineSize];
        if (readLine(file, line) != LineWhole || std::strcmp(trimmed(line), kHeader) != 0) {
            complain("the first line is not %s.", kHeader);
            return;
        }
        // Read on after a problem, so the dialog shows all that the file holds.
        for (int number = 2;; ++number) {
            const LineRead read = readLine(file, line);
            if (read == LineNone)
                return;
            if (read == LineTooLong)
                complain("line %d is too long.", number);
            char* equals = read == LineWhole ? std::strchr(line, '=') : nullptr;
            if (equals) {
                *equals = '\0';
                readValue(trimmed(line), trimmed(equals + 1));
            }
        }
    }

    void checkWhole()
    {
        if (!enabled || reading.problem[AlertProblemSyslog][0])
            return;
        AlertTarget asRead = reading.settings.syslog;
        asRead.enabled = 1;
        if (!asRead.collector[0])
            complain("%s", "no collector is given.");
        else if (alertTargetProblem(asRead)[0])
            complain("the collector \"%.60s\" is not a host name or an IPv4 address.", reading.settings.syslog.collector);
    }
};

} // namespace

AlertSettings defaultAlertSettings()
{
    AlertSettings settings{};
    settings.syslog.port = kAlertDefaultPort;
    settings.mail.port = kMailDefaultPort;
    settings.filters.quietMinutes = 10;
    settings.filters.heartbeatMinutes = 15;
    return settings;
}

const char* alertTargetProblem(const AlertTarget& target)
{
    if (!target.enabled)
        return "";
    bool printable = target.collector[0] != '\0';
    for (const char* c = target.collector; *c; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        printable = printable && byte > 32 && byte < 127;
    }
    if (!printable)
        return "Enter the collector's host name or IPv4 address.";
    if (target.port < 1 || target.port > 65535)
        return "The port must be a number from 1 to 65535.";
    return "";
}

AlertSettingsReading loadAlertSettings(const char* fileName)
{
    AlertSettingsReading reading{};
    reading.settings = defaultAlertSettings();
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return reading;
    reading.fileFound = 1;
    Reader reader{reading, fileName, 0};
    reader.readLines(file);
    if (std::ferror(file))
        reader.complain("%s", "the file could not be read.");
    std::fclose(file);
    reader.checkWhole();
    reading.settings.syslog.enabled = reader.enabled && !reading.problem[AlertProblemSyslog][0];
    return reading;
}

int saveAlertSettings(const AlertSettings& settings, const char* fileName)
{
    char scratch[kScratchPathSize];
    std::FILE* file = openSaveFile(fileName, scratch, sizeof scratch);
    if (!file)
        return 0;
    const AlertTarget& target = settings.syslog;
    std::fprintf(file, "%s\r\nEnabled=%d\r\nCollector=%s\r\nPort=%d\r\nProtocol=%s\r\n", kHeader,
                 target.enabled ? 1 : 0, target.collector, target.port,
                 kProtocolNames[target.protocol == AlertTcp ? AlertTcp : AlertUdp]);
    return finishSave(file, scratch, fileName);
}
