#include "storage/custom_daemon_file.h"

#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

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

// A write goes through a scratch file of its own: a taken name is never written, and a failed write leaves no file.
// The lines after the header are read as in the settings file, and hand-edited ones are tested there.
TEST(CustomFile, WritesTheCurrentLayoutAndReadsEachLayoutByItsHeader)
{
    ScratchFolder folder;
    EXPECT_EQ(readBack(folder), "10 3 " + kNotRead);
    folder.write("mine.vlm.tmp", "precious");
    std::filesystem::create_directory(folder.path("dir.vlm"));
    EXPECT_EQ(writeCustomDaemonFile(folder.path("no such folder/mine.vlm").c_str(), exampleScript()), 0);
    EXPECT_EQ(writeCustomDaemonFile(folder.path("dir.vlm").c_str(), exampleScript()), 0);
    EXPECT_EQ(writeCustomDaemonFile(folder.path("mine.vlm").c_str(), exampleScript()), 1);
    EXPECT_EQ(folder.read("mine.vlm") + folder.read("mine.vlm.tmp"), crlf(kExample) + "precious");
    EXPECT_EQ(folder.count(), 3);
    const std::string texts = "Hello\r\nLogin: |Name: |Bye.\r\n|", unknown = "11 3 " + kNotRead;
    EXPECT_EQ(readBack(folder), "0 0 " + texts + "2 23 1 1 0 1");
    const std::string v18 = replaced(replaced(kExample, "v1.9", "v1.8"), "CWR=1\n", "");
    const std::string kCases[][2] = {
        {replaced(kExample, " v1.9", ""), "0 1 " + texts + "2 23 0 0 0 0"},
        {replaced(v18, "CCT=1", "CCT=3"), "0 2 " + texts + "2 23 3 1 0 1"},
        {crlf(replaced(v18, "CCT=1", "CCT=0")), "0 2 " + texts + "2 23 0 1 0 0"},
        {replaced(kExample, "v1.9]", "v1.9]\x1a"), "0 0 " + kNotRead},  // Ctrl-Z ends the file, in any line
        {"", unknown}, {replaced(kExample, "v1.9", "v2.0"), unknown},
    };
    for (const auto& [content, expected] : kCases) {
        folder.write("mine.vlm", content);
        EXPECT_EQ(readBack(folder), expected) << content;
    }
}
