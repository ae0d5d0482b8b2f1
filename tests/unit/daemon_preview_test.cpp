#include "engine/daemon_preview.h"

#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

using Compose = void (*)(const DaemonScript&, char (&)[kPreviewBufferSize]);

std::string composed(Compose compose, const DaemonScript& script)
{
    static char buffer[kPreviewBufferSize];
    compose(script, buffer);
    return buffer;
}

std::string outlineOf(const DaemonScript& script)
{
    return composed(composeOutline, script);
}

// Every text filled with `length` characters (no terminator at 600), every tag on.
DaemonScript filledScript(std::size_t length)
{
    DaemonScript script = scriptWith("", "", "", 2, 0, 0, 1, 1, 1);
    std::memset(script.welcome, 'w', length);
    std::memset(script.reply, 'r', length);
    std::memset(script.goodbye, 'g', length);
    return script;
}

TEST(PreviewBuiltIn, FreeBsdShowsLoginPasswordAndGoodbyeWithTags)
{
    DaemonScript script = builtIn(DaemonFreeBSD);
    EXPECT_EQ(composed(composePortLine, script), "Listening on port 23.");
    EXPECT_EQ(composed(composeTimerLine, script), "Timer: 60 Sec.");
    EXPECT_EQ(outlineOf(script), "FreeBSD 5.1\r\n"
                                 "\r\n"
                                 "Login:   [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                                 "Password:   [Wait Input]\r\n"
                                 "Incorrect Login.\r\n");
}

TEST(PreviewBuiltIn, SubSevenPutsItsTagOnTheLineAfterItsBanner)
{
    DaemonScript script = builtIn(DaemonSubSeven);
    EXPECT_EQ(composed(composePortLine, script), "Listening on port 27374.");
    EXPECT_EQ(composed(composeTimerLine, script), "Timer: 60 Sec.");
    EXPECT_EQ(outlineOf(script), "SubSeven 2.1 \r\n  [Wait Input]\r\n");
}

TEST(PreviewOutline, ShowsTheReplyOnlyForReplyCountTwoAndRepeatOnlyOnTheWelcome)
{
    const struct {
        DaemonScript script;
        const char* outline;
    } kCases[] = {
        {scriptWith("", "", "", 0, 0, 0, 0, 0, 0), "  [Wait Input]\r\n"},
        {scriptWith("hello", "SECRET", "bye", 1, 0, 0, 0, 1, 0), "hello  [Wait Input]\r\nbye"},
        {scriptWith("", "SECRET", "", 3, 0, 0, 0, 1, 0), "  [Wait Input]\r\n"},
        {scriptWith("W", "R", "G", 2, 0, 0, 1, 1, 1),
         "W  [Wait Input]  [Will Echo]  [Will Repeat]\r\nR  [Wait Input]  [Will Echo]\r\nG"},
        // Flags other than 1 count as set.
        {scriptWith("", "", "", 0, 0, 0, -7, 0, 42), "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(outlineOf(c.script), c.outline) << c.script;
}

TEST(PreviewOutline, ThreeLongestTextsWithEveryTagFitWhole)
{
    std::string expected = std::string(599, 'w') + "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                           + std::string(599, 'r') + "  [Wait Input]  [Will Echo]\r\n"
                           + std::string(599, 'g');
    ASSERT_EQ(expected.size() + 1, static_cast<std::size_t>(kPreviewBufferSize));
    EXPECT_EQ(outlineOf(filledScript(kScriptTextSize - 1)), expected);
}

TEST(PreviewOutline, UnterminatedTextsStayInsideTheBuffer)
{
    std::string outline = outlineOf(filledScript(kScriptTextSize));
    EXPECT_LT(outline.size(), static_cast<std::size_t>(kPreviewBufferSize));
    EXPECT_EQ(outline.substr(0, 600), std::string(599, 'w') + " ");
}

TEST(PreviewLines, TimerIsThirtySecondStepsWithoutOverflowAndPortASignedNumber)
{
    const std::pair<int, const char*> kTimers[] = {
        {0, "Timer: None."},   {1, "Timer: 30 Sec."}, {2, "Timer: 60 Sec."},
        {3, "Timer: 90 Sec."}, {4, "Timer: 120 Sec."}, {-1, "Timer: -30 Sec."},
        {2147483647, "Timer: 64424509410 Sec."},
    };
    DaemonScript script = scriptWith("", "", "", 0, 0, 0, 0, 0, 0);
    for (const auto& [choice, line] : kTimers) {
        script.timerChoice = choice;
        EXPECT_EQ(composed(composeTimerLine, script), line);
    }
    for (int port : {65536, -1}) {
        script.port = port;
        EXPECT_EQ(composed(composePortLine, script), "Listening on port " + std::to_string(port) + ".");
    }
}

} // namespace
