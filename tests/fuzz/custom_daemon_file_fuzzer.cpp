// Any bytes as a custom daemon file: what the reader accepts must come back the
// same once written in the current layout and read again.
#include "storage/custom_daemon_file.h"
#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <cassert>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFolder scratch;
    const std::string file = scratch.path("input.vlm");
    scratch.write("input.vlm", std::string(reinterpret_cast<const char*>(data), size));
    DaemonScript first = {}, second = {};
    CustomFileVersion version = CustomFileCurrent;
    if (readCustomDaemonFile(file.c_str(), first, version) != CustomFileRead)
        return 0;
    first.welcome[447] = first.reply[447] = first.goodbye[447] = '\0';  // what an encoded value holds
    assert(writeCustomDaemonFile(file.c_str(), first) == 1 && scratch.count() == 1);
    assert(readCustomDaemonFile(file.c_str(), second, version) == CustomFileRead && version == CustomFileCurrent &&
           second == first);
    return 0;
}
