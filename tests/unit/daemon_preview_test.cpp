#include "engine/daemon_preview.h"

#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using Compose = void (*)(const DaemonScript&, char (&)[kPreviewBufferSize]);

std::string composed(const DaemonScript& script, Compose compose = composeOutline)
{
    static char buffer[kPreviewBufferSize];
    compose(script, buffer);
    return buffer;
}

TEST(Preview, OutlinesShowTheReplyOnlyForTwoRepliesAndRepeatOnlyOnTheWelcome)
{
    const struct {
        DaemonScript script;
        const char* outline;
    } kCases[] = {
        {builtIn(DaemonFreeBSD), "FreeBSD 5.1\r\n\r\nLogin:   [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                                 "Password:   [Wait Input]\r\nIncorrect Login.\r\n"},
        {builtIn(DaemonSubSeven), "SubSeven 2.1 \r\n  [Wait Input]\r\n"},
        {scriptWith("hello", "SECRET", "bye", 1, 0, 0, 0, 1, 0), "hello  [Wait Input]\r\nbye"},
        {scriptWith("", "SECRET", "", 3, 0, 0, 0, 1, 0), "  [Wait Input]\r\n"},
        {scriptWith("W", "R", "G", 2, 0, 0, 1, 1, 1),
         "W  [Wait Input]  [Will Echo]  [Will Repeat]\r\nR  [Wait Input]  [Will Echo]\r\nG"},
        {scriptWith("", "", "", 0, 0, 0, -7, 0, 42), "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(composed(c.script), c.outline) << c.script;
}

// The buffer holds the longest outline whole; texts that lost their
// terminator are read no further than their own buffers.
TEST(Preview, TheLongestTextsFitWholeAndUnterminatedOnesStayInside)
{
    DaemonScript script = scriptWith("", "", "", 2, 0, 0, 1, 1, 1);
    std::memset(script.welcome, 'w', sizeof script.welcome);
    std::memset(script.reply, 'r', sizeof script.reply);
    std::memset(script.goodbye, 'g', sizeof script.goodbye);
    const std::string longest = std::string(599, 'w') + "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n" +
                                std::string(599, 'r') + "  [Wait Input]  [Will Echo]\r\n" + std::string(599, 'g');
    EXPECT_EQ(longest.size(), kPreviewBufferSize - 1u);
    EXPECT_EQ(composed(script), longest);
}

TEST(Preview, TimerLineCountsThirtySecondStepsWithoutOverflowAndPortLineASignedNumber)
{
    const std::pair<int, const char*> kTimers[] = {
        {0, "Timer: None."}, {1, "Timer: 30 Sec."}, {4, "Timer: 120 Sec."}, {-1, "Timer: -30 Sec."},
        {2147483647, "Timer: 64424509410 Sec."},
    };
    DaemonScript script = scriptWith("", "", "", 0, 0, 0, 0, 0, 0);
    for (const auto& [choice, line] : kTimers) {
        script.timerChoice = choice;
        EXPECT_EQ(composed(script, composeTimerLine), line);
    }
    for (int port : {23, 65536, -1}) {
        script.port = port;
        EXPECT_EQ(composed(script, composePortLine), "Listening on port " + std::to_string(port) + ".");
    }
}

} // namespace
