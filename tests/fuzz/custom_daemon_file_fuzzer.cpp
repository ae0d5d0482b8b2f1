// Feeds any bytes to the custom daemon file reader; whatever it accepts must
// come back the same (texts cut to what an encoded value holds) after being
// written in the current layout and read again.
#include "storage/custom_daemon_file.h"

#include "fuzz_scratch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

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
    std::string file = scratch.path("input.vlm");
    scratch.write("input.vlm", data, size);

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
    check(sameAfterSave(first.welcome, second.welcome));
    check(sameAfterSave(first.reply, second.reply));
    check(sameAfterSave(first.goodbye, second.goodbye));
    check(second.replyCount == first.replyCount && second.port == first.port &&
          second.timerChoice == first.timerChoice && second.echoWelcome == first.echoWelcome &&
          second.echoReply == first.echoReply && second.repeat == first.repeat);
    return 0;
}
