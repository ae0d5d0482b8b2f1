#include "engine/custom_fields.h"

#include "engine/error_notice.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(PortField, DigitsReadAsAnUnsignedNumber)
{
    EXPECT_EQ(readPortText("1"), 1u);
    EXPECT_EQ(readPortText("65536"), 65536u);
    EXPECT_EQ(readPortText("0000023"), 23u);
    EXPECT_EQ(readPortText("4294967295"), 4294967295u);
}

TEST(PortField, TextThatDoesNotConvertReadsAsZero)
{
    EXPECT_EQ(readPortText(""), 0u);
    EXPECT_EQ(readPortText("4294967296"), 0u);
    EXPECT_EQ(readPortText("99999999999999999999999"), 0u);
    EXPECT_EQ(readPortText("23a"), 0u);
    EXPECT_EQ(readPortText("-5"), 0u);
    EXPECT_EQ(readPortText("+5"), 0u);
    EXPECT_EQ(readPortText(" 5"), 0u);
}

TEST(PortField, ZeroAndValuesAbove65536AreRefusedWithTheirNotices)
{
    EXPECT_EQ(portNotice(0), NoticeNoCustomPort);
    EXPECT_EQ(portNotice(1), 0);
    EXPECT_EQ(portNotice(65535), 0);
    EXPECT_EQ(portNotice(65536), 0);
    EXPECT_EQ(portNotice(65537), NoticeMaxPort);
    EXPECT_EQ(portNotice(4294967295u), NoticeMaxPort);
    EXPECT_EQ(portNotice(readPortText("4294967296")), NoticeNoCustomPort);
}

TEST(ListEntries, ValidValuesMapToTheirEntries)
{
    EXPECT_EQ(replyCountEntry(1), 0);
    EXPECT_EQ(replyCountEntry(2), 1);
    for (int choice = 0; choice < kTimerEntries; ++choice)
        EXPECT_EQ(timerEntry(choice), choice);
}

TEST(ListEntries, HandEditedValuesFallBackToTheNearestEntry)
{
    EXPECT_EQ(replyCountEntry(0), 0);
    EXPECT_EQ(replyCountEntry(-3), 0);
    EXPECT_EQ(replyCountEntry(INT_MIN), 0);
    EXPECT_EQ(replyCountEntry(3), 1);
    EXPECT_EQ(replyCountEntry(INT_MAX), 1);
    EXPECT_EQ(timerEntry(-1), 0);
    EXPECT_EQ(timerEntry(INT_MIN), 0);
    EXPECT_EQ(timerEntry(5), 4);
    EXPECT_EQ(timerEntry(INT_MAX), 4);
}

} // namespace
