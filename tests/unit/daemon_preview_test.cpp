#include "engine/daemon_preview.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

DaemonScript builtIn(int kind)
{
    static DaemonScript table[kScriptTableSize];
    std::memset(table, 0, sizeof table);
    loadBuiltInScripts(table);
    return table[kind];
}

DaemonScript emptyScript()
{
    DaemonScript script;
    std::memset(&script, 0, sizeof script);
    return script;
}

std::string outlineOf(const DaemonScript& script)
{
    static char buffer[kPreviewBufferSize];
    composeOutline(script, buffer);
    return buffer;
}

std::string portLineOf(const DaemonScript& script)
{
    static char buffer[kPreviewBufferSize];
    composePortLine(script, buffer);
    return buffer;
}

std::string timerLineOf(const DaemonScript& script)
{
    static char buffer[kPreviewBufferSize];
    composeTimerLine(script, buffer);
    return buffer;
}

TEST(PreviewBuiltIn, FreeBsdShowsLoginPasswordAndGoodbyeWithTags)
{
    DaemonScript script = builtIn(DaemonFreeBSD);
    EXPECT_EQ(portLineOf(script), "Listening on port 23.");
    EXPECT_EQ(timerLineOf(script), "Timer: 60 Sec.");
    EXPECT_EQ(outlineOf(script), "FreeBSD 5.1\r\n"
                                 "\r\n"
                                 "Login:   [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                                 "Password:   [Wait Input]\r\n"
                                 "Incorrect Login.\r\n");
}

TEST(PreviewBuiltIn, SubSevenPutsItsTagOnTheLineAfterItsBanner)
{
    DaemonScript script = builtIn(DaemonSubSeven);
    EXPECT_EQ(portLineOf(script), "Listening on port 27374.");
    EXPECT_EQ(timerLineOf(script), "Timer: 60 Sec.");
    EXPECT_EQ(outlineOf(script), "SubSeven 2.1 \r\n  [Wait Input]\r\n");
}

TEST(PreviewOutline, EmptyScriptShowsTheWaitTagAndOneLineBreak)
{
    EXPECT_EQ(outlineOf(emptyScript()), "  [Wait Input]\r\n");
}

TEST(PreviewOutline, ReplyCountOneNeverShowsTheReply)
{
    DaemonScript script = emptyScript();
    copyText(script.welcome, "hello", sizeof script.welcome);
    copyText(script.reply, "SECRET", sizeof script.reply);
    copyText(script.goodbye, "bye", sizeof script.goodbye);
    script.replyCount = 1;
    script.echoReply = 1;
    EXPECT_EQ(outlineOf(script), "hello  [Wait Input]\r\nbye");
}

TEST(PreviewOutline, ReplyCountOutsideOneAndTwoShowsNoReply)
{
    DaemonScript script = emptyScript();
    copyText(script.reply, "SECRET", sizeof script.reply);
    script.replyCount = 3;
    EXPECT_EQ(outlineOf(script).find("SECRET"), std::string::npos);
}

TEST(PreviewOutline, BothEchoFlagsTagBothLinesButRepeatOnlyTheWelcome)
{
    DaemonScript script = emptyScript();
    copyText(script.welcome, "W", sizeof script.welcome);
    copyText(script.reply, "R", sizeof script.reply);
    copyText(script.goodbye, "G", sizeof script.goodbye);
    script.replyCount = 2;
    script.echoWelcome = 1;
    script.echoReply = 1;
    script.repeat = 1;
    EXPECT_EQ(outlineOf(script), "W  [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                                 "R  [Wait Input]  [Will Echo]\r\n"
                                 "G");
}

TEST(PreviewOutline, NonZeroFlagsOtherThanOneCountAsSet)
{
    DaemonScript script = emptyScript();
    script.echoWelcome = -7;
    script.repeat = 42;
    EXPECT_EQ(outlineOf(script), "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n");
}

TEST(PreviewOutline, ThreeLongestTextsWithEveryTagFitWhole)
{
    DaemonScript script = emptyScript();
    std::memset(script.welcome, 'w', kScriptTextSize - 1);
    std::memset(script.reply, 'r', kScriptTextSize - 1);
    std::memset(script.goodbye, 'g', kScriptTextSize - 1);
    script.replyCount = 2;
    script.echoWelcome = script.echoReply = script.repeat = 1;
    std::string expected = std::string(599, 'w') + "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n"
                           + std::string(599, 'r') + "  [Wait Input]  [Will Echo]\r\n"
                           + std::string(599, 'g');
    ASSERT_EQ(expected.size() + 1, static_cast<std::size_t>(kPreviewBufferSize));
    EXPECT_EQ(outlineOf(script), expected);
}

TEST(PreviewOutline, UnterminatedTextsStayInsideTheBuffer)
{
    DaemonScript script = emptyScript();
    std::memset(script.welcome, 'w', kScriptTextSize);
    std::memset(script.reply, 'r', kScriptTextSize);
    std::memset(script.goodbye, 'g', kScriptTextSize);
    script.replyCount = 2;
    script.echoWelcome = script.echoReply = script.repeat = 1;
    std::string outline = outlineOf(script);
    EXPECT_LT(outline.size(), static_cast<std::size_t>(kPreviewBufferSize));
    EXPECT_EQ(outline.substr(0, 600), std::string(599, 'w') + " ");
}

TEST(PreviewLines, TimerChoicesOneToFourAreThirtySecondSteps)
{
    DaemonScript script = emptyScript();
    const char* expected[] = {"Timer: None.", "Timer: 30 Sec.", "Timer: 60 Sec.", "Timer: 90 Sec.",
                              "Timer: 120 Sec."};
    for (int choice = 0; choice <= 4; ++choice) {
        script.timerChoice = choice;
        EXPECT_EQ(timerLineOf(script), expected[choice]);
    }
}

TEST(PreviewLines, HandEditedTimerChoicesDoNotOverflow)
{
    DaemonScript script = emptyScript();
    script.timerChoice = 2147483647;
    EXPECT_EQ(timerLineOf(script), "Timer: 64424509410 Sec.");
    script.timerChoice = -1;
    EXPECT_EQ(timerLineOf(script), "Timer: -30 Sec.");
}

TEST(PreviewLines, PortIsShownAsASignedNumber)
{
    DaemonScript script = emptyScript();
    script.port = 65536;
    EXPECT_EQ(portLineOf(script), "Listening on port 65536.");
    script.port = -1;
    EXPECT_EQ(portLineOf(script), "Listening on port -1.");
}

} // namespace
