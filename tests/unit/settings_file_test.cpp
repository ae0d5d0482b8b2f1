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

TEST(SettingsFile, SavesTheExampleByteForByteAndLoadsKeysInOrderSurvivingHandEditedFiles)
{
    ScratchFolder folder;
    const std::string file = folder.path("velmo.sav");
    EXPECT_EQ(loaded(file), kNotLoaded);
    saveSettings(0, 5, 1, "C:\\logs\\hits.log", exampleScript(), file.c_str());
    EXPECT_EQ(folder.read("velmo.sav"), crlf(kExample));
    const DaemonScript odd = scriptWith(" \t\r\n\xff\x80", "\r\n", "", 1, 65536, 4, 0, 1, 0);
    saveSettings(1, 3, 0, "D:\\a b\\\xe9t\xe9.log", odd, file.c_str());
    EXPECT_EQ(loaded(file), "1 3 0|D:\\a b\\\xe9t\xe9.log|" + describe(odd));
    EXPECT_EQ(folder.count(), 1);
    const std::string kCases[][2] = {
        {crlf(kExample), kExampleLoaded},
        {kExample, kExampleLoaded},
        {replaced(kExample, "[Velmoranth Settings v1.9]", std::string(2000, 'h')), kExampleLoaded},
        {"", kNotLoaded},
        {replaced(kExample, "MDN=5\n", ""), replaced(kExampleLoaded, "0 5 1", "0 -8 1")},
        {replaced(kExample, "CR1=TmFtZTog==\n", ""), replaced(kExampleLoaded, "Name: ", "r?")},
        {replaced(kExample, "CE1=1\n", ""), replaced(kExampleLoaded, "1 1 0 1", "1 -4 0 1")},  // CE2 starts like CE1
        {replaced(kExample, "LSN", "CWR=0\nLSN"), replaced(kNotLoaded, "-6", "0")},
        {replaced(kExample, "QzpcbG9nc1xoaXRzLmxvZw==", "=="), replaced(kExampleLoaded, "C:\\logs\\hits.log", "")},
        {replaced(kExample, "QzpcbG9nc1xoaXRzLmxvZw==", std::string(2000, '/')),
         replaced(kExampleLoaded, "C:\\logs\\hits.log", std::string(299, '\xff'))},
        {replaced(kExample, "CR1=TmFtZTog==", "CR1=TmFt\x1aZTog=="),  // Ctrl-Z ends the file
         "0 5 1|C:\\logs\\hits.log|Hello\r\nLogin: |Nam|g?|2 23 -3 -4 -5 -6"},
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
    const std::string body = "LSN=1\nMDN=5\nMLD=0\nMLP===\nCRN=1\nCPN=2323\nCWE=SGk==\nCR1===\nCR2===\n";
    const std::string v18 = "[Velmoranth Settings v1.8]\n", v19 = "[Velmoranth Settings v1.9]\n",
                      implied = "CCT=0\nCE1=0\nCE2=0\nCWR=0\n";
    const std::string kCases[][2] = {  // before, and after in LF form ("" for left alone)
        {crlf("[Velmoranth Settings]\n" + body), v19 + body + implied},
        {v18 + body + "CCT=2\nCE1=1\nCE2=1\n", v19 + body + "CCT=2\nCE1=1\nCE2=1\nCWR=1\n"},
        {v18 + "CCT=2\nCE1=1\x1a\nCE2=1\n", v19 + "CCT=2\nCE1=1\nCWR=1\n"},  // Ctrl-Z ends the file
        {crlf(v18 + "CCT=0\nCE1=1\n"), v19 + "CCT=0\nCE1=1\nCWR=0\n"},
        {"[Velmoranth Settings]\r\n\r\n  LSN=1   MDN=2\r\n\t\vMLD=1", v19 + "LSN=1\nMDN=2\nMLD=1\n" + implied},
        {v18 + "CWE=" + std::string(999, 'B') + "\nCCT=4\n", v19 + "CWE=" + std::string(295, 'B') + "\nCCT=4\nCWR=1\n"},
        {kExample, ""}, {"[Velmoranth Settings]" + std::string(2000, ' ') + "x\r\nLSN=1\r\n", ""}, {"", ""},
    };
    for (const auto& [before, after] : kCases) {
        folder.write("velmo.sav", before);
        EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
        EXPECT_EQ(folder.read("velmo.sav"), after.empty() ? before : crlf(after)) << before;
        EXPECT_EQ(folder.count(), 1);
    }
}
