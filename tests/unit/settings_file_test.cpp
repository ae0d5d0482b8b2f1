#include "storage/settings_file.h"

#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

const std::string kExample =
    "[Velmoranth Settings v1.9]\nLSN=0\nMDN=5\nMLD=1\nMLP=QzpcbG9nc1xoaXRzLmxvZw==\n" + kExampleScriptLines;
const std::string kExampleLoaded = "0 5 1|C:\\logs\\hits.log|" + describe(exampleScript());
const std::string kNotLoaded = "-7 -8 -9|p?|w?|r?|g?|-1 -2 -3 -4 -5 -6";

// "LSN MDN MLD|path|script" as loaded from `file` over values no line of a file gives.
static std::string loaded(const std::string& file)
{
    std::int32_t lsn = -7, mdn = -8, mld = -9;
    char mlp[kPathSize] = "p?";
    DaemonScript custom = scriptWith("w?", "r?", "g?", -1, -2, -3, -4, -5, -6);
    loadSettings(lsn, mdn, mld, mlp, custom, file.c_str());
    return std::to_string(lsn) + " " + std::to_string(mdn) + " " + std::to_string(mld) + "|" + mlp + "|" +
           describe(custom);
}

// A save goes through a scratch file of its own, never one that was there ("velmo.sav.tmp" is taken here).
TEST(SettingsFile, SavesTheExampleByteForByteAndLoadsKeysInOrderSurvivingHandEditedFiles)
{
    ScratchFolder folder;
    const std::string file = folder.path("velmo.sav");
    EXPECT_EQ(loaded(file), kNotLoaded);
    folder.write("velmo.sav.tmp", "precious");
    saveSettings(0, 5, 1, "C:\\logs\\hits.log", exampleScript(), file.c_str());
    EXPECT_EQ(folder.read("velmo.sav") + folder.read("velmo.sav.tmp"), crlf(kExample) + "precious");
    const DaemonScript odd = scriptWith(" \t\r\n\xff\x80", "\r\n", "", 1, 65536, 4, 0, 1, 0);
    saveSettings(1, -3, 0, "D:\\a b\\\xe9t\xe9.log", odd, file.c_str());
    EXPECT_EQ(loaded(file), "1 -3 0|D:\\a b\\\xe9t\xe9.log|" + describe(odd));
    EXPECT_EQ(folder.count(), 2);
    const std::string kCases[][2] = {
        {crlf(kExample), kExampleLoaded},
        {replaced(kExample, "LSN=0\n", "LSN=\t0"), kExampleLoaded},  // blanks may lead a number, its digits end it
        {replaced(kExample, "[Velmoranth Settings v1.9]", std::string(2000, 'h')), kExampleLoaded},
        // A line that does not match its key (or only starts like it) keeps the value and is left for the next key.
        {replaced(kExample, "MDN=5", "MDN=-"), replaced(kNotLoaded, "-7", "0")},
        {replaced(kExample, "CR1=TmFtZTog==\n", ""), replaced(kExampleLoaded, "Name: ", "r?")},
        {replaced(kExample, "CE1=1\n", ""), replaced(kExampleLoaded, "1 1 0 1", "1 -4 0 1")},
        {replaced(kExample, "QzpcbG9nc1xoaXRzLmxvZw==", std::string(2000, '/')),
         replaced(kExampleLoaded, "C:\\logs\\hits.log", std::string(299, '\xff'))},
    };
    for (const auto& [content, expected] : kCases) {
        folder.write("velmo.sav", content);
        EXPECT_EQ(loaded(file), expected) << content;
    }
}

TEST(SettingsFile, UpgradeRewritesOlderLayoutsOneTokenALineAndLeavesOthersAlone)
{
    ScratchFolder folder;
    const std::string file = folder.path("velmo.sav");
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 0);
    const std::string v18 = "[Velmoranth Settings v1.8]\n", v19 = "[Velmoranth Settings v1.9]\n";
    const std::string kCases[][2] = {  // before, and after in LF form ("" for left alone)
        {"[Velmoranth Settings]\r\n\r\n  LSN=1   MDN=2\r\n\t\vMLD=1",
         v19 + "LSN=1\nMDN=2\nMLD=1\nCCT=0\nCE1=0\nCE2=0\nCWR=0\n"},
        {crlf(v18 + "CCT=0\nCE1=1\n"), v19 + "CCT=0\nCE1=1\nCWR=0\n"},
        {v18 + "CWE=" + std::string(999, 'B') + "\nCCT=4\x1a\nCE2=1\n",  // cut to 299 bytes; Ctrl-Z ends the file
         v19 + "CWE=" + std::string(295, 'B') + "\nCCT=4\nCWR=1\n"},
        {"[Velmoranth Settings]" + std::string(2000, ' ') + "x\r\nLSN=1\r\n", ""},
        {kExample, ""}, {"", ""},
    };
    for (const auto& [before, after] : kCases) {
        folder.write("velmo.sav", before);
        EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
        EXPECT_EQ(folder.read("velmo.sav"), after.empty() ? before : crlf(after)) << before;
        EXPECT_EQ(folder.count(), 1);
    }
    folder.write("velmo.tmp", "precious");  // not the upgrade's to overwrite: the old file waits
    folder.write("velmo.sav", v18);
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav") + folder.read("velmo.tmp"), v18 + "precious");
}
