// Feeds any bytes to the custom daemon file reader; whatever it accepts must
// come back the same (texts cut to what an encoded value holds) after being
// written in the current layout and read again.
#include "storage/custom_daemon_file.h"

#include "fuzz_check.h"
#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    std::string file = scratch.path("input.vlm");
    scratch.write("input.vlm", std::string(reinterpret_cast<const char*>(data), size));

    DaemonScript first;
    std::memset(&first, 0, sizeof first);
    CustomFileVersion version = CustomFileCurrent;
    if (readCustomDaemonFile(file.c_str(), first, version) != CustomFileRead)
        return 0;
    check(std::strlen(first.welcome) < kScriptTextSize);
    if (version == CustomFileV18)
        check(first.repeat == (first.timerChoice > 0 ? 1 : 0));

    check(writeCustomDaemonFile(file.c_str(), first) == 1);
    check(!scratch.exists("velmo.tmp"));
    DaemonScript second;
    std::memset(&second, 0, sizeof second);
    check(readCustomDaemonFile(file.c_str(), second, version) == CustomFileRead);
    check(version == CustomFileCurrent);
    check(second == asStored(first));
    return 0;
}
