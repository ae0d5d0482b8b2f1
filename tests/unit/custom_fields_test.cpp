#include "engine/custom_fields.h"

#include "engine/error_notice.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

namespace {

TEST(CustomFields, PortTextReadsAsAnUnsignedNumberAndAnythingElseAsZero)
{
    const std::pair<const char*, std::uint32_t> kTexts[] = {
        {"1", 1}, {"65536", 65536}, {"0000023", 23}, {"4294967295", 4294967295u}, {"", 0}, {"4294967296", 0},
        {"99999999999999999999999", 0}, {"23a", 0}, {"-5", 0}, {"+5", 0}, {" 5", 0},
    };
    for (const auto& [text, port] : kTexts)
        EXPECT_EQ(readPortText(text), port) << text;
}

TEST(CustomFields, PortsZeroAndAbove65536AreRefusedWithTheirNotices)
{
    const std::pair<std::uint32_t, int> kPorts[] = {
        {0, NoticeNoCustomPort}, {1, 0}, {65535, 0}, {65536, 0}, {65537, NoticeMaxPort}, {4294967295u, NoticeMaxPort},
    };
    for (const auto& [port, notice] : kPorts)
        EXPECT_EQ(portNotice(port), notice) << port;
}

TEST(CustomFields, HandEditedValuesOpenAtTheNearestListEntry)
{
    const std::pair<int, int> kReplyCounts[] = {{1, 0}, {2, 1}, {0, 0}, {-3, 0}, {INT_MIN, 0}, {3, 1}, {INT_MAX, 1}};
    for (const auto& [count, entry] : kReplyCounts)
        EXPECT_EQ(replyCountEntry(count), entry) << count;
    const std::pair<int, int> kTimers[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {-1, 0}, {INT_MIN, 0}, {5, 4}, {INT_MAX, 4}};
    for (const auto& [choice, entry] : kTimers)
        EXPECT_EQ(timerEntry(choice), entry) << choice;
}

} // namespace
