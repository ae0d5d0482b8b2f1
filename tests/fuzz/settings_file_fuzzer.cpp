// Any bytes as the settings file: the upgrade and the load must take them, and
// what was loaded and saved must load and save again to the same bytes.
#include "storage/settings_file.h"
#include "support/scratch_folder.h"

#include <cassert>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    const std::string file = scratch.path("velmo.sav");
    scratch.write("velmo.sav", std::string(reinterpret_cast<const char*>(data), size));
    assert(upgradeSettingsFile(file.c_str()) == 1 && scratch.count() == 1);
    std::string saved[2];
    for (std::string& bytes : saved) {
        std::int32_t listenOnStart = 0, daemonKind = 0, logEnabled = 0;
        char logPath[kPathSize] = "";
        DaemonScript custom = {};
        loadSettings(listenOnStart, daemonKind, logEnabled, logPath, custom, file.c_str());
        saveSettings(listenOnStart, daemonKind, logEnabled, logPath, custom, file.c_str());
        bytes = scratch.read("velmo.sav");
    }
    assert(saved[0] == saved[1] && scratch.count() == 1);
    return 0;
}
