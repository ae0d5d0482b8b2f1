#include "storage/custom_daemon_file.h"

#include "storage_scratch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace {

DaemonScript scriptWith(const char* welcome, const char* reply, const char* goodbye, int replyCount,
                        int port, int timerChoice, int echoWelcome, int echoReply, int repeat)
{
    DaemonScript script;
    std::memset(&script, 0, sizeof script);
    copyText(script.welcome, welcome, sizeof script.welcome);
    copyText(script.reply, reply, sizeof script.reply);
    copyText(script.goodbye, goodbye, sizeof script.goodbye);
    script.replyCount = replyCount;
    script.port = port;
    script.timerChoice = timerChoice;
    script.echoWelcome = echoWelcome;
    script.echoReply = echoReply;
    script.repeat = repeat;
    return script;
}

DaemonScript exampleScript()
{
    return scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, 1, 1, 0, 1);
}

// Values no line of a file could produce, to see which fields a read leaves alone.
DaemonScript sentinelScript()
{
    return scriptWith("old welcome", "old reply", "old goodbye", -1, -2, -3, -4, -5, -6);
}

const char* const kExampleBody[] = {
    "CRN=2", "CPN=23", "CWE=SGVsbG8NCkxvZ2luOiA==", "CR1=TmFtZTog==", "CR2=QnllLg0K==",
    "CCT=1", "CE1=1", "CE2=0", "CWR=1",
};

// The header and the first `bodyLines` lines of the example, optionally without one.
std::string exampleFile(const char* header = "[Velmoranth Custom Protocol v1.9]", int bodyLines = 9,
                        const char* lineEnd = "\r\n", int skipLine = -1)
{
    std::string text = std::string(header) + lineEnd;
    for (int i = 0; i < bodyLines; ++i) {
        if (i != skipLine)
            text += std::string(kExampleBody[i]) + lineEnd;
    }
    return text;
}

void expectSameScript(const DaemonScript& a, const DaemonScript& b)
{
    EXPECT_STREQ(a.welcome, b.welcome);
    EXPECT_STREQ(a.reply, b.reply);
    EXPECT_STREQ(a.goodbye, b.goodbye);
    EXPECT_EQ(a.replyCount, b.replyCount);
    EXPECT_EQ(a.port, b.port);
    EXPECT_EQ(a.timerChoice, b.timerChoice);
    EXPECT_EQ(a.echoWelcome, b.echoWelcome);
    EXPECT_EQ(a.echoReply, b.echoReply);
    EXPECT_EQ(a.repeat, b.repeat);
}

class CustomFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string file = folder.path("mine.vlm");
    DaemonScript script = sentinelScript();
    CustomFileVersion version = CustomFileV18;

    CustomFileReadResult read() { return readCustomDaemonFile(file.c_str(), script, version); }
};

const std::set<std::string> kOnlyTheFile = {"mine.vlm"};

} // namespace

// --- Writing ------------------------------------------------------------------------

using CustomFileWrite = CustomFileTest;

TEST_F(CustomFileWrite, WritesTheHeaderAndTheSettingsExampleLines)
{
    EXPECT_EQ(writeCustomDaemonFile(file.c_str(), exampleScript()), 1);
    EXPECT_EQ(folder.read("mine.vlm"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlyTheFile);
}

TEST_F(CustomFileWrite, ReplacesAnExistingFileWhole)
{
    folder.write("mine.vlm", std::string(3000, 'z'));
    EXPECT_EQ(writeCustomDaemonFile(file.c_str(), exampleScript()), 1);
    EXPECT_EQ(folder.read("mine.vlm"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlyTheFile);
}

TEST_F(CustomFileWrite, SaveThenReadGivesEveryValueBack)
{
    DaemonScript saved = scriptWith("  Multi\r\nline\twelcome \r\n\r\n> ", "\xe9\xff\x80 reply", "", 1,
                                    65536, 4, 0, 1, 0);
    ASSERT_EQ(writeCustomDaemonFile(file.c_str(), saved), 1);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(version, CustomFileCurrent);
    expectSameScript(script, saved);
}

TEST_F(CustomFileWrite, AFileNamedLikeTheScratchFileStillSaves)
{
    std::string target = folder.path("velmo.tmp");
    EXPECT_EQ(writeCustomDaemonFile(target.c_str(), exampleScript()), 1);
    EXPECT_EQ(folder.read("velmo.tmp"), exampleFile());
    EXPECT_EQ(folder.names(), std::set<std::string>{"velmo.tmp"});
}

using CustomFileUnwritable = CustomFileTest;

TEST_F(CustomFileUnwritable, AMissingFolderWritesNothing)
{
    std::string target = folder.path("no such folder/mine.vlm");
    EXPECT_EQ(writeCustomDaemonFile(target.c_str(), exampleScript()), 0);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(CustomFileUnwritable, AScratchFileThatCannotBeCreatedLeavesTheOldFile)
{
    folder.write("mine.vlm", "old\r\n");
    std::filesystem::create_directory(folder.path("velmo.tmp"));
    EXPECT_EQ(writeCustomDaemonFile(file.c_str(), exampleScript()), 0);
    EXPECT_EQ(folder.read("mine.vlm"), "old\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.tmp")));
}

TEST_F(CustomFileUnwritable, AFailedReplaceLeavesNoScratchFile)
{
    std::filesystem::create_directory(folder.path("mine.vlm"));
    EXPECT_EQ(writeCustomDaemonFile(file.c_str(), exampleScript()), 0);
    EXPECT_EQ(folder.names(), kOnlyTheFile);
}

// --- Reading the current layout ---------------------------------------------------------

using CustomFileRead_ = CustomFileTest;

TEST_F(CustomFileRead_, ReadsTheCurrentLayout)
{
    folder.write("mine.vlm", exampleFile());
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(version, CustomFileCurrent);
    expectSameScript(script, exampleScript());
}

TEST_F(CustomFileRead_, ReadsLineFeedsAlone)
{
    folder.write("mine.vlm", exampleFile("[Velmoranth Custom Protocol v1.9]", 9, "\n"));
    EXPECT_EQ(read(), CustomFileRead);
    expectSameScript(script, exampleScript());
}

TEST_F(CustomFileRead_, AMissingFileIsNotFound)
{
    EXPECT_EQ(read(), CustomFileNotFound);
    EXPECT_EQ(version, CustomFileV18);
    expectSameScript(script, sentinelScript());
    EXPECT_EQ(customFileNoticeCode(CustomFileNotFound), 10);
}

TEST_F(CustomFileRead_, OtherHeadersAreAnUnknownFormat)
{
    for (const char* header : {"[Velmoranth Settings v1.9]", "[velmoranth custom protocol v1.9]",
                               "[Velmoranth Custom Protocol v1.9] ", " [Velmoranth Custom Protocol]",
                               "[Velmoranth Custom Protocol v2.0]", ""}) {
        folder.write("mine.vlm", exampleFile(header));
        EXPECT_EQ(read(), CustomFileUnknownFormat) << header;
        EXPECT_EQ(version, CustomFileV18);
        expectSameScript(script, sentinelScript());
    }
    EXPECT_EQ(customFileNoticeCode(CustomFileUnknownFormat), 11);
    EXPECT_EQ(customFileNoticeCode(CustomFileRead), 0);
}

TEST_F(CustomFileRead_, AnEmptyFileIsAnUnknownFormat)
{
    folder.write("mine.vlm", "");
    EXPECT_EQ(read(), CustomFileUnknownFormat);
    expectSameScript(script, sentinelScript());
}

TEST_F(CustomFileRead_, AnOverlongHeaderLineIsAnUnknownFormat)
{
    folder.write("mine.vlm", exampleFile(("[Velmoranth Custom Protocol v1.9]" + std::string(2000, 'x')).c_str()));
    EXPECT_EQ(read(), CustomFileUnknownFormat);
}

// --- Older layouts -------------------------------------------------------------------

using CustomFileOlder = CustomFileTest;

TEST_F(CustomFileOlder, AnUnversionedFileImpliesNoTimerEchoOrRepeat)
{
    folder.write("mine.vlm", exampleFile("[Velmoranth Custom Protocol]", 5));
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(version, CustomFileUnversioned);
    expectSameScript(script, scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, 0, 0, 0, 0));
}

TEST_F(CustomFileOlder, AnUnversionedFileIgnoresLinesAfterItsLayout)
{
    folder.write("mine.vlm", exampleFile("[Velmoranth Custom Protocol]", 9));
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(script.timerChoice, 0);
    EXPECT_EQ(script.echoWelcome, 0);
    EXPECT_EQ(script.repeat, 0);
}

TEST_F(CustomFileOlder, AV18FileWithATimerImpliesRepeat)
{
    std::string text = exampleFile("[Velmoranth Custom Protocol v1.8]", 8);
    text.replace(text.find("CCT=1"), 5, "CCT=3");
    folder.write("mine.vlm", text);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(version, CustomFileV18);
    expectSameScript(script, scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, 3, 1, 0, 1));
}

TEST_F(CustomFileOlder, AV18FileWithoutATimerImpliesNoRepeat)
{
    std::string text = exampleFile("[Velmoranth Custom Protocol v1.8]", 8);
    text.replace(text.find("CCT=1"), 5, "CCT=0");
    folder.write("mine.vlm", text);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(script.repeat, 0);
}

TEST_F(CustomFileOlder, RewritingAnOlderFileGivesTheCurrentLayout)
{
    folder.write("mine.vlm", exampleFile("[Velmoranth Custom Protocol]", 5, "\n"));
    ASSERT_EQ(read(), CustomFileRead);
    ASSERT_EQ(writeCustomDaemonFile(file.c_str(), script), 1);
    std::string expected = exampleFile("[Velmoranth Custom Protocol v1.9]", 5) +
                           joinLines({"CCT=0", "CE1=0", "CE2=0", "CWR=0"});
    EXPECT_EQ(folder.read("mine.vlm"), expected);
}

// --- Hand-edited files -----------------------------------------------------------------

using CustomFileHandEdited = CustomFileTest;

TEST_F(CustomFileHandEdited, AMissingLineKeepsItsValue)
{
    folder.write("mine.vlm", exampleFile("[Velmoranth Custom Protocol v1.9]", 9, "\r\n", 3));
    EXPECT_EQ(read(), CustomFileRead);
    DaemonScript expected = exampleScript();
    copyText(expected.reply, "old reply", sizeof expected.reply);
    expectSameScript(script, expected);
}

TEST_F(CustomFileHandEdited, AMissingFirstValueDoesNotSpoilTheNext)
{
    folder.write("mine.vlm", exampleFile("[Velmoranth Custom Protocol v1.9]", 9, "\r\n", 0));
    EXPECT_EQ(read(), CustomFileRead);
    DaemonScript expected = exampleScript();
    expected.replyCount = -1;
    expectSameScript(script, expected);
}

TEST_F(CustomFileHandEdited, A5000CharacterValueIsCutAndTheNextLinesStillLoad)
{
    std::string text = exampleFile();
    std::string longValue = "CR1=" + std::string(5000, 'Z') + "==";
    text.replace(text.find(kExampleBody[3]), std::strlen(kExampleBody[3]), longValue);
    folder.write("mine.vlm", text);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(std::strlen(script.reply), 449u);
    DaemonScript expected = exampleScript();
    copyText(expected.reply, script.reply, sizeof expected.reply);
    expectSameScript(script, expected);
}

TEST_F(CustomFileHandEdited, A2000CharacterLineInTheBodyStopsTheReadingThere)
{
    std::string text = exampleFile();
    text.insert(text.find("CCT="), std::string(2000, '#') + "\r\n");
    folder.write("mine.vlm", text);
    EXPECT_EQ(read(), CustomFileRead);
    DaemonScript expected = exampleScript();
    expected.timerChoice = -3;
    expected.echoWelcome = -4;
    expected.echoReply = -5;
    expected.repeat = -6;
    expectSameScript(script, expected);
}

TEST_F(CustomFileHandEdited, ValuesOutsideTheDialogRangesAreTakenAsTheyAre)
{
    std::string text = exampleFile();
    text.replace(text.find("CRN=2"), 5, "CRN=7");
    text.replace(text.find("CCT=1"), 5, "CCT=-9");
    folder.write("mine.vlm", text);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(script.replyCount, 7);
    EXPECT_EQ(script.timerChoice, -9);
}

TEST_F(CustomFileHandEdited, BinaryGarbageAfterAValidHeaderReadsWithoutOverrun)
{
    std::string text = "[Velmoranth Custom Protocol v1.8]\n";
    unsigned seed = 777;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += static_cast<char>(seed >> 16);
    }
    folder.write("mine.vlm", text);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_LT(std::strlen(script.welcome), static_cast<size_t>(kScriptTextSize));
    EXPECT_EQ(script.repeat, script.timerChoice > 0 ? 1 : 0);
}
