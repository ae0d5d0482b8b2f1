// Feeds any bytes to the settings reader as "velmo.sav" (upgrade, then load),
// then checks that saving what was loaded and loading it again changes nothing
// beyond the cut of over-long texts, and that no scratch file is left.
#include "storage/settings_file.h"

#include "fuzz_scratch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Settings {
    std::int32_t listenOnStart;
    std::int32_t daemonKind;
    std::int32_t logEnabled;
    char logPath[kPathSize];
    DaemonScript custom;
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void load(Settings& s, const char* fileName)
{
    loadSettings(s.listenOnStart, s.daemonKind, s.logEnabled, s.logPath, s.custom, fileName);
}

// The text as it comes back from a save: cut to the 447 bytes an encoded value holds.
bool sameAfterSave(const char* saved, const char* loaded)
{
    std::size_t length = std::strlen(saved);
    if (length > 447)
        length = 447;
    return std::strlen(loaded) == length && std::memcmp(saved, loaded, length) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzScratch scratch;
    std::string file = scratch.path("velmo.sav");
    scratch.write("velmo.sav", data, size);

    Settings first;
    std::memset(&first, 0, sizeof first);
    check(upgradeSettingsFile(file.c_str()) == 1);
    check(!scratch.exists("velmo.tmp"));
    load(first, file.c_str());
    check(std::strlen(first.logPath) < kPathSize);
    check(std::strlen(first.custom.welcome) < kScriptTextSize);

    saveSettings(first.listenOnStart, first.daemonKind, first.logEnabled, first.logPath, first.custom,
                 file.c_str());
    check(!scratch.exists("velmo.tmp"));
    Settings second;
    std::memset(&second, 0, sizeof second);
    load(second, file.c_str());
    check(second.listenOnStart == first.listenOnStart && second.daemonKind == first.daemonKind &&
          second.logEnabled == first.logEnabled);
    check(std::strcmp(second.logPath, first.logPath) == 0);
    check(sameAfterSave(first.custom.welcome, second.custom.welcome));
    check(sameAfterSave(first.custom.reply, second.custom.reply));
    check(sameAfterSave(first.custom.goodbye, second.custom.goodbye));
    check(second.custom.replyCount == first.custom.replyCount && second.custom.port == first.custom.port &&
          second.custom.timerChoice == first.custom.timerChoice &&
          second.custom.echoWelcome == first.custom.echoWelcome &&
          second.custom.echoReply == first.custom.echoReply && second.custom.repeat == first.custom.repeat);
    return 0;
}
