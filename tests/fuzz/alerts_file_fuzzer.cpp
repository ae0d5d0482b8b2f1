// Any bytes as the alerts file: the load must take them, and a sound reading
// must save and load back to the same settings, the password through the
// stand-in protector.
#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    const std::string file = scratch.path("alerts.ini");
    scratch.write("alerts.ini", std::string(reinterpret_cast<const char*>(data), size));
    const AlertSettingsReading first = loadAlertSettings(file.c_str());
    assert(first.fileFound == 1 && scratch.count() == 1);
    assert(first.rewritten == 0 || (first.passwordWasPlain && sound(first)));
    if (!sound(first))
        return 0;
    assert(saveAlertSettings(first.settings, file.c_str()) == 1);
    const AlertSettingsReading again = loadAlertSettings(file.c_str());
    assert(sound(again) && again.passwordWasPlain == 0 && describe(again.settings) == describe(first.settings));
    assert(scratch.count() == 1);
    return 0;
}
