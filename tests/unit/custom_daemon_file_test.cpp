#include "storage/custom_daemon_file.h"

#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace {

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
const char kCurrentHeader[] = "[Velmoranth Custom Protocol v1.9]";

// The header and the first `bodyLines` lines of the example, optionally without one.
std::string exampleFile(const std::string& header = kCurrentHeader, int bodyLines = 9,
                        const char* lineEnd = "\r\n", int skipLine = -1)
{
    std::string text = header + lineEnd;
    for (int i = 0; i < bodyLines; ++i) {
        if (i != skipLine)
            text += std::string(kExampleBody[i]) + lineEnd;
    }
    return text;
}

const std::set<std::string> kOnlyTheFile = {"mine.vlm"};

class CustomFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string file = folder.path("mine.vlm");
    DaemonScript script = sentinelScript();
    CustomFileVersion version = CustomFileV18;

    CustomFileReadResult read() { return readCustomDaemonFile(file.c_str(), script, version); }
    // Reads `content` over a fresh sentinel script.
    CustomFileReadResult readFrom(const std::string& content)
    {
        folder.write("mine.vlm", content);
        script = sentinelScript();
        version = CustomFileV18;
        return read();
    }
    int write(const DaemonScript& saved) { return writeCustomDaemonFile(file.c_str(), saved); }
};

} // namespace

// --- Writing ------------------------------------------------------------------------

using CustomFileWrite = CustomFileTest;

TEST_F(CustomFileWrite, WritesTheHeaderAndTheExampleLinesOverWhateverWasThere)
{
    EXPECT_EQ(write(exampleScript()), 1);
    EXPECT_EQ(folder.read("mine.vlm"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlyTheFile);
    folder.write("mine.vlm", std::string(3000, 'z'));
    EXPECT_EQ(write(exampleScript()), 1);
    EXPECT_EQ(folder.read("mine.vlm"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlyTheFile);
}

TEST_F(CustomFileWrite, SaveThenReadGivesEveryValueBack)
{
    DaemonScript saved = scriptWith("  Multi\r\nline\twelcome \r\n\r\n> ", "\xe9\xff\x80 reply", "", 1,
                                    65536, 4, 0, 1, 0);
    ASSERT_EQ(write(saved), 1);
    EXPECT_EQ(read(), CustomFileRead);
    EXPECT_EQ(version, CustomFileCurrent);
    EXPECT_EQ(script, saved);
}

TEST_F(CustomFileWrite, AFileNamedLikeTheScratchFileStillSaves)
{
    EXPECT_EQ(writeCustomDaemonFile(folder.path("velmo.tmp").c_str(), exampleScript()), 1);
    EXPECT_EQ(folder.read("velmo.tmp"), exampleFile());
    EXPECT_EQ(folder.names(), std::set<std::string>{"velmo.tmp"});
}

using CustomFileUnwritable = CustomFileTest;

TEST_F(CustomFileUnwritable, AMissingFolderWritesNothing)
{
    EXPECT_EQ(writeCustomDaemonFile(folder.path("no such folder/mine.vlm").c_str(), exampleScript()), 0);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(CustomFileUnwritable, AScratchFileThatCannotBeCreatedLeavesTheOldFile)
{
    folder.write("mine.vlm", "old\r\n");
    std::filesystem::create_directory(folder.path("velmo.tmp"));
    EXPECT_EQ(write(exampleScript()), 0);
    EXPECT_EQ(folder.read("mine.vlm"), "old\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.tmp")));
}

TEST_F(CustomFileUnwritable, AFailedReplaceLeavesNoScratchFile)
{
    std::filesystem::create_directory(folder.path("mine.vlm"));
    EXPECT_EQ(write(exampleScript()), 0);
    EXPECT_EQ(folder.names(), kOnlyTheFile);
}

// --- Reading the current layout ---------------------------------------------------------

using CustomFileRead_ = CustomFileTest;

TEST_F(CustomFileRead_, ReadsTheCurrentLayoutWithEitherLineEnd)
{
    for (const char* lineEnd : {"\r\n", "\n"}) {
        EXPECT_EQ(readFrom(exampleFile(kCurrentHeader, 9, lineEnd)), CustomFileRead);
        EXPECT_EQ(version, CustomFileCurrent);
        EXPECT_EQ(script, exampleScript());
    }
}

TEST_F(CustomFileRead_, AMissingFileIsNotFound)
{
    EXPECT_EQ(read(), CustomFileNotFound);
    EXPECT_EQ(version, CustomFileV18);
    EXPECT_EQ(script, sentinelScript());
    EXPECT_EQ(customFileNoticeCode(CustomFileNotFound), 10);
}

TEST_F(CustomFileRead_, OtherHeadersAreAnUnknownFormat)
{
    const std::string headers[] = {
        "[Velmoranth Settings v1.9]", "[velmoranth custom protocol v1.9]", "[Velmoranth Custom Protocol v1.9] ",
        " [Velmoranth Custom Protocol]", "[Velmoranth Custom Protocol v2.0]", "",
        kCurrentHeader + std::string(2000, 'x'),
    };
    for (const std::string& header : headers) {
        EXPECT_EQ(readFrom(exampleFile(header)), CustomFileUnknownFormat) << header;
        EXPECT_EQ(version, CustomFileV18);
        EXPECT_EQ(script, sentinelScript());
    }
    EXPECT_EQ(readFrom(""), CustomFileUnknownFormat);
    EXPECT_EQ(script, sentinelScript());
    EXPECT_EQ(customFileNoticeCode(CustomFileUnknownFormat), 11);
    EXPECT_EQ(customFileNoticeCode(CustomFileRead), 0);
}

// --- Older layouts -------------------------------------------------------------------

using CustomFileOlder = CustomFileTest;

TEST_F(CustomFileOlder, AnUnversionedFileImpliesNoTimerEchoOrRepeatAndReadsNoFurther)
{
    for (int bodyLines : {5, 9}) {
        EXPECT_EQ(readFrom(exampleFile("[Velmoranth Custom Protocol]", bodyLines)), CustomFileRead);
        EXPECT_EQ(version, CustomFileUnversioned);
        EXPECT_EQ(script, scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, 0, 0, 0, 0)) << bodyLines;
    }
}

TEST_F(CustomFileOlder, AV18FileImpliesRepeatExactlyWhenItsTimerIsSet)
{
    for (int timerChoice : {3, 0}) {
        EXPECT_EQ(readFrom(replaced(exampleFile("[Velmoranth Custom Protocol v1.8]", 8), "CCT=1",
                                    "CCT=" + std::to_string(timerChoice))),
                  CustomFileRead);
        EXPECT_EQ(version, CustomFileV18);
        EXPECT_EQ(script, scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, timerChoice, 1, 0,
                                     timerChoice > 0 ? 1 : 0));
    }
}

TEST_F(CustomFileOlder, RewritingAnOlderFileGivesTheCurrentLayout)
{
    ASSERT_EQ(readFrom(exampleFile("[Velmoranth Custom Protocol]", 5, "\n")), CustomFileRead);
    ASSERT_EQ(write(script), 1);
    EXPECT_EQ(folder.read("mine.vlm"), exampleFile(kCurrentHeader, 5) + joinLines({"CCT=0", "CE1=0", "CE2=0", "CWR=0"}));
}

// --- Hand-edited files -----------------------------------------------------------------

using CustomFileHandEdited = CustomFileTest;

TEST_F(CustomFileHandEdited, AMissingLineKeepsItsValueAndDoesNotSpoilTheNext)
{
    DaemonScript expected = exampleScript();
    copyText(expected.reply, "old reply", sizeof expected.reply);
    EXPECT_EQ(readFrom(exampleFile(kCurrentHeader, 9, "\r\n", 3)), CustomFileRead);
    EXPECT_EQ(script, expected);

    expected = exampleScript();
    expected.replyCount = -1;
    EXPECT_EQ(readFrom(exampleFile(kCurrentHeader, 9, "\r\n", 0)), CustomFileRead);
    EXPECT_EQ(script, expected);
}

TEST_F(CustomFileHandEdited, A5000CharacterValueIsCutAndTheNextLinesStillLoad)
{
    EXPECT_EQ(readFrom(replaced(exampleFile(), kExampleBody[3], "CR1=" + std::string(5000, 'Z') + "==")),
              CustomFileRead);
    EXPECT_EQ(std::strlen(script.reply), 449u);
    DaemonScript expected = exampleScript();
    copyText(expected.reply, script.reply, sizeof expected.reply);
    EXPECT_EQ(script, expected);
}

TEST_F(CustomFileHandEdited, A2000CharacterLineInTheBodyStopsTheReadingThere)
{
    std::string text = exampleFile();
    text.insert(text.find("CCT="), std::string(2000, '#') + "\r\n");
    EXPECT_EQ(readFrom(text), CustomFileRead);
    DaemonScript expected = exampleScript();
    expected.timerChoice = -3;
    expected.echoWelcome = -4;
    expected.echoReply = -5;
    expected.repeat = -6;
    EXPECT_EQ(script, expected);
}

TEST_F(CustomFileHandEdited, ValuesOutsideTheDialogRangesAreTakenAsTheyAre)
{
    EXPECT_EQ(readFrom(replaced(replaced(exampleFile(), "CRN=2", "CRN=7"), "CCT=1", "CCT=-9")), CustomFileRead);
    EXPECT_EQ(script.replyCount, 7);
    EXPECT_EQ(script.timerChoice, -9);
}

TEST_F(CustomFileHandEdited, BinaryGarbageAfterAValidHeaderReadsWithoutOverrun)
{
    EXPECT_EQ(readFrom("[Velmoranth Custom Protocol v1.8]\n" + noise(777, 20000)), CustomFileRead);
    EXPECT_LT(std::strlen(script.welcome), static_cast<size_t>(kScriptTextSize));
    EXPECT_EQ(script.repeat, script.timerChoice > 0 ? 1 : 0);
}
