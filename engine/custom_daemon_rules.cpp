#include "engine/custom_daemon_rules.h"

#include "engine/error_notice.h"

namespace {

int clampEntry(std::int32_t index, int entries)
{
    if (index < 0)
        return 0;
    if (index > entries - 1)
        return entries - 1;
    return index;
}

} // namespace

std::uint32_t readPortText(const char* text)
{
    if (*text == '\0')
        return 0;
    std::uint64_t value = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return 0;
        value = value * 10 + static_cast<std::uint64_t>(*text - '0');
        if (value > 0xFFFFFFFFu)
            return 0;
    }
    return static_cast<std::uint32_t>(value);
}

int portNotice(std::uint32_t port)
{
    if (port == 0)
        return NoticeNoCustomPort;
    // 65536 would reach the socket as port 0, a port the system picks.
    if (port > 65535)
        return NoticeMaxPort;
    return 0;
}

int replyCountEntry(std::int32_t replyCount)
{
    if (replyCount < 1)
        return 0;
    return clampEntry(replyCount - 1, kReplyCountEntries);
}

int timerEntry(std::int32_t timerChoice)
{
    return clampEntry(timerChoice, kTimerEntries);
}
