// Feeds any bytes to the settings reader as "velmo.sav" (upgrade, then load),
// then checks that saving what was loaded and loading it again changes nothing
// beyond the cut of over-long texts, and that no scratch file is left.
#include "storage/settings_file.h"

#include "fuzz_check.h"
#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    std::string file = scratch.path("velmo.sav");
    scratch.write("velmo.sav", std::string(reinterpret_cast<const char*>(data), size));

    Settings empty;
    std::memset(&empty, 0, sizeof empty);
    check(upgradeSettingsFile(file.c_str()) == 1);
    check(!scratch.exists("velmo.tmp"));
    Settings first = load(file.c_str(), empty);
    check(std::strlen(first.logPath) < kPathSize);
    check(std::strlen(first.custom.welcome) < kScriptTextSize);

    save(first, file.c_str());
    check(!scratch.exists("velmo.tmp"));
    Settings expected = first;
    expected.custom = asStored(first.custom);
    check(load(file.c_str(), empty) == expected);
    return 0;
}
