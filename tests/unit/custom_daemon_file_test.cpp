#include "storage/custom_daemon_file.h"
#include "storage/settings_file.h"

#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstdlib>

const std::string kExample = "[Velmoranth Custom Protocol v1.9]\n" + kExampleScriptLines;
const std::string kNotRead = "w?|r?|g?|-1 -2 -3 -4 -5 -6";

// "notice version script" as read from the folder's "mine.vlm" over a version and a script no file gives.
static std::string readBack(const ScratchFolder& folder)
{
    DaemonScript script = scriptWith("w?", "r?", "g?", -1, -2, -3, -4, -5, -6);
    CustomFileVersion version = static_cast<CustomFileVersion>(3);
    int notice = customFileNoticeCode(readCustomDaemonFile(folder.path("mine.vlm").c_str(), script, version));
    return std::to_string(notice) + " " + std::to_string(version) + " " + describe(script);
}

TEST(CustomFile, WritesTheCurrentLayoutAndReadsEachLayoutByItsHeaderSurvivingHandEditedFiles)
{
    ScratchFolder folder;
    EXPECT_EQ(readBack(folder), "10 3 " + kNotRead);
    EXPECT_EQ(writeCustomDaemonFile(folder.path("no such folder/mine.vlm").c_str(), exampleScript()), 0);
    EXPECT_EQ(writeCustomDaemonFile(folder.path("mine.vlm").c_str(), exampleScript()), 1);
    EXPECT_EQ(folder.read("mine.vlm"), crlf(kExample));
    const std::string texts = "Hello\r\nLogin: |Name: |Bye.\r\n|", unknown = "11 3 " + kNotRead;
    const std::string v18 = replaced(replaced(kExample, "v1.9", "v1.8"), "CWR=1\n", "");
    const std::string kCases[][2] = {
        {crlf(kExample), "0 0 " + texts + "2 23 1 1 0 1"},
        {kExample, "0 0 " + texts + "2 23 1 1 0 1"},
        {replaced(kExample, " v1.9", ""), "0 1 " + texts + "2 23 0 0 0 0"},
        {replaced(v18, "CCT=1", "CCT=3"), "0 2 " + texts + "2 23 3 1 0 1"},
        {crlf(replaced(v18, "CCT=1", "CCT=0")), "0 2 " + texts + "2 23 0 1 0 0"},
        {replaced(kExample, "CR1=TmFtZTog==\n", ""), "0 0 " + replaced(texts, "Name: ", "r?") + "2 23 1 1 0 1"},
        {replaced(kExample, "CR1=TmFtZTog==", "CR1=TmFt\x1aZTog=="), "0 0 Hello\r\nLogin: |Nam|g?|2 23 -3 -4 -5 -6"},
        {replaced(kExample, "v1.9]", "v1.9]\x1a"), "0 0 " + kNotRead},  // Ctrl-Z ends the file, in any line
        {"", unknown}, {replaced(kExample, "Custom Protocol", "Settings"), unknown},
        {replaced(kExample, "v1.9", "v2.0"), unknown}, {"\r\n" + kExampleScriptLines, unknown},
    };
    for (const auto& [content, expected] : kCases) {
        folder.write("mine.vlm", content);
        EXPECT_EQ(readBack(folder), expected) << content;
    }
}

// Every write that goes through a scratch file, given the target's name, and whether it rewrites an old settings file.
const struct {
    void (*save)(const std::string&);
    bool rewritesOld;
} kSaves[] = {
    {[](const std::string& name) { writeCustomDaemonFile(name.c_str(), exampleScript()); }, true},
    {[](const std::string& name) { saveSettings(0, 5, 1, "", exampleScript(), name.c_str()); }, true},
    {[](const std::string& name) { upgradeSettingsFile(name.c_str()); }, false},  // "velmo.tmp" is taken
};

TEST(SavingThroughAScratchFile, NoOtherFileIsEverWrittenAndAWriteThatCannotBeMadeLeavesTheOldFile)
{
    const std::string old = "[Velmoranth Settings]\r\nLSN=1\r\n";
    for (bool bareNames : {false, true})
        for (const auto& [save, rewritesOld] : kSaves) {
            ScratchFolder folder;
            if (bareNames)
                folder.enter();
            const std::string in = bareNames ? "" : folder.path("");
            folder.write("old.sav", old);
            folder.write("velmo.tmp", "precious");
            folder.write("old.sav.tmp", "precious");
            std::filesystem::create_directory(folder.path("dir.sav"));
            save(in + "no such folder/old.sav");
            save(in + "dir.sav");
            save(in + "old.sav");
            EXPECT_EQ(folder.read("old.sav") != old, rewritesOld);
            EXPECT_EQ(folder.read("velmo.tmp") + folder.read("old.sav.tmp"), "preciousprecious");
            EXPECT_EQ(folder.count(), 4);
        }
}

#ifndef _WIN32
// An immutable folder lets its files be changed but no file be made: a save writes its target in place there,
// and the upgrade, which needs a new "velmo.tmp", leaves the old file.
TEST(SavingThroughAScratchFile, AFolderThatRefusesNewFilesHasSavesWrittenInPlace)
{
    ScratchFolder folder;
    const std::string old = "[Velmoranth Settings]\r\nLSN=1\r\n";
    folder.write("velmo.sav", old);
    folder.write("mine.vlm", "old");
    if (std::system(("chattr +i " + folder.path("") + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no immutable folders here";
    upgradeSettingsFile(folder.path("velmo.sav").c_str());
    const int written = writeCustomDaemonFile(folder.path("mine.vlm").c_str(), exampleScript());
    EXPECT_EQ(std::system(("chattr -i " + folder.path("")).c_str()), 0);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(folder.read("mine.vlm"), crlf(kExample));
    EXPECT_EQ(folder.read("velmo.sav"), old);
    EXPECT_EQ(folder.count(), 2);
}
#endif
