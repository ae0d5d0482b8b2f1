// Any bytes as the alerts file: the load must take them; a password it
// protects in place reads back the same, with every problem as before; and a
// save of what was read, edited in place, either leaves the file as it was or
// loads back to the same settings when that reading is sound (always, for a
// sound first reading), the password through the stand-in protector.
#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"
#include "storage/text_file.h"
#include "support/scratch_folder.h"

#include <cassert>

namespace {

std::string bytesOf(const void* data, std::size_t size)
{
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<const unsigned char*>(data)[i];
        text += std::string(1, kHex[byte >> 4]) + kHex[byte & 15];
    }
    return text;
}

std::string numbers(std::initializer_list<long long> values)
{
    std::string text;
    for (long long value : values)
        text += std::to_string(value) + ",";
    return text;
}

// Every field, raw: no text the reader's own functions make.
std::string describe(const AlertSettings& s)
{
    const SyslogTarget& t = s.syslog;
    const MailTarget& m = s.mail;
    const WebhookTarget& w = s.webhook;
    std::string text = numbers({t.enabled, t.port, t.protocol, t.framing, t.fingerprint.present}) + t.collector + "|" +
                       bytesOf(t.fingerprint.sha256, sizeof t.fingerprint.sha256) + "|" +
                       numbers({m.enabled, m.port, m.security, m.toCount, m.events, m.fingerprint.present}) + m.server +
                       "|" + m.user + "|" + m.password + "|" + m.from + "|" +
                       bytesOf(m.fingerprint.sha256, sizeof m.fingerprint.sha256) + "|";
    for (int i = 0; i < m.toCount; ++i)
        text += std::string(m.to[i]) + "|";
    text += numbers({w.enabled, w.format, w.events}) + w.url + "|" +
            numbers({s.filters.ignoreCount, s.filters.quietMinutes, s.filters.heartbeatMinutes});
    for (int i = 0; i < s.filters.ignoreCount; ++i) {
        const IgnoreEntry& e = s.filters.ignore[i];
        text += numbers({static_cast<long long>(e.network), static_cast<long long>(e.mask), e.port});
    }
    return text;
}

bool sound(const AlertSettingsReading& reading)
{
    for (const auto& problem : reading.problem) {
        if (problem[0])
            return false;
    }
    return true;
}

bool sameProblems(const AlertSettingsReading& one, const AlertSettingsReading& other)
{
    for (int scope = 0; scope < kAlertProblemScopes; ++scope) {
        if (std::string(one.problem[scope]) != other.problem[scope])
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    const std::string file = scratch.path("alerts.ini");
    scratch.write("alerts.ini", std::string(reinterpret_cast<const char*>(data), size));
    const AlertSettingsReading first = loadAlertSettings(file.c_str());
    assert(first.fileFound == 1 && scratch.count() == 1);
    assert(first.passwordStaysPlain == 0 || first.passwordWasPlain);
    if (first.passwordWasPlain && !first.passwordStaysPlain) {
        const AlertSettingsReading protectedOnce = loadAlertSettings(file.c_str());
        assert(protectedOnce.passwordWasPlain == 0 && sameProblems(protectedOnce, first));
        assert(describe(protectedOnce.settings) == describe(first.settings));
    }
    const std::string before = scratch.read("alerts.ini");
    const int saved = saveAlertSettings(first.settings, file.c_str());
    // Only a file near the most that is read could outgrow it.
    const bool roomy = before.size() + 32 * 1024 < kTextFileMost;
    assert(scratch.count() == 1 && (saved || scratch.read("alerts.ini") == before) && (saved || !sound(first) || !roomy));
    const AlertSettingsReading again = loadAlertSettings(file.c_str());
    assert(again.passwordWasPlain == 0 || !saved);
    if (saved && sound(again))
        assert(describe(again.settings) == describe(first.settings));
    assert(!sound(first) || sound(again));
    return 0;
}
