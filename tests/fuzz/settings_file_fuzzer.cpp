// Any bytes as the settings file: the upgrade and the load must take them, and
// what was loaded and saved must load and save again to the same bytes.
#undef NDEBUG
#include "storage/settings_file.h"
#include "support/scratch_folder.h"

#include <cassert>
#include <cstdint>

// The settings file's bytes after one load and save.
static std::string loadedAndSaved(const ScratchFolder& scratch)
{
    const std::string file = scratch.path("velmo.sav");
    std::int32_t listenOnStart = 0, daemonKind = 0, logEnabled = 0;
    char logPath[kPathSize] = "";
    DaemonScript custom = {};
    loadSettings(listenOnStart, daemonKind, logEnabled, logPath, custom, file.c_str());
    saveSettings(listenOnStart, daemonKind, logEnabled, logPath, custom, file.c_str());
    return scratch.read("velmo.sav");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    scratch.write("velmo.sav", std::string(reinterpret_cast<const char*>(data), size));
    assert(upgradeSettingsFile(scratch.path("velmo.sav").c_str()) == 1 && scratch.count() == 1);
    const std::string once = loadedAndSaved(scratch);
    assert(loadedAndSaved(scratch) == once && scratch.count() == 1);
    return 0;
}
