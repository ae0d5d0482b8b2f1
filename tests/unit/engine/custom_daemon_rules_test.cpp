#include "engine/custom_daemon_rules.h"

#include "engine/error_notice.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

// The port field reads as an unsigned number, anything else as 0; 0 and values
// above 65535 are refused with their notices.
TEST(CustomFields, PortTextsAndTheirNotices)
{
    const int kNone = NoticeNoCustomPort, kTooHigh = NoticeMaxPort;
    const std::tuple<const char*, std::uint32_t, int> kPorts[] = {  // text, port, notice
        {"1", 1, 0}, {"65535", 65535, 0}, {"65536", 65536, kTooHigh}, {"0000023", 23, 0}, {"65537", 65537, kTooHigh},
        {"4294967295", 4294967295u, kTooHigh}, {"4294967296", 0, kNone}, {"", 0, kNone},
        {"99999999999999999999999", 0, kNone}, {"23a", 0, kNone}, {"-5", 0, kNone}, {" 5", 0, kNone},
    };
    for (const auto& [text, port, notice] : kPorts)
        EXPECT_TRUE(readPortText(text) == port && portNotice(port) == notice) << text;
}

TEST(CustomFields, HandEditedValuesOpenAtTheNearestListEntry)
{
    const int kValues[][3] = {  // a stored value, its reply count entry, its timer entry
        {0, 0, 0}, {1, 0, 1}, {2, 1, 2}, {3, 1, 3}, {4, 1, 4}, {5, 1, 4}, {-1, 0, 0}, {INT_MIN, 0, 0}, {INT_MAX, 1, 4}};
    for (const auto& v : kValues)
        EXPECT_TRUE(replyCountEntry(v[0]) == v[1] && timerEntry(v[0]) == v[2]) << v[0];
}
