#include "storage/settings_file.h"

#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace {

Settings exampleSettings()
{
    Settings s;
    std::memset(&s, 0, sizeof s);
    s.daemonKind = 5;
    s.logEnabled = 1;
    copyText(s.logPath, "C:\\logs\\hits.log", sizeof s.logPath);
    s.custom = scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, 1, 1, 0, 1);
    return s;
}

// A state no file line could produce, to see which values a load leaves alone.
Settings sentinelSettings()
{
    Settings s;
    std::memset(&s, 0, sizeof s);
    s.listenOnStart = -11;
    s.daemonKind = -12;
    s.logEnabled = -13;
    copyText(s.logPath, "old path", sizeof s.logPath);
    s.custom = scriptWith("old welcome", "old reply", "old goodbye", -1, -2, -3, -4, -5, -6);
    return s;
}

const char* const kExampleLines[] = {
    "[Velmoranth Settings v1.9]", "LSN=0", "MDN=5", "MLD=1", "MLP=QzpcbG9nc1xoaXRzLmxvZw==",
    "CRN=2", "CPN=23", "CWE=SGVsbG8NCkxvZ2luOiA==", "CR1=TmFtZTog==", "CR2=QnllLg0K==",
    "CCT=1", "CE1=1", "CE2=0", "CWR=1",
};

std::string exampleFile(const char* lineEnd = "\r\n", int skipLine = -1)
{
    std::string text;
    for (int i = 0; i < 14; ++i) {
        if (i != skipLine)
            text += std::string(kExampleLines[i]) + lineEnd;
    }
    return text;
}

// The example file with line `index` replaced by `line`.
std::string exampleFileWith(int index, const std::string& line)
{
    return replaced(exampleFile(), kExampleLines[index], line);
}

const std::set<std::string> kOnlySettings = {"velmo.sav"};

class SettingsFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string file = folder.path("velmo.sav");

    void save(const Settings& s) { ::save(s, file.c_str()); }
    Settings loaded() { return load(file.c_str(), sentinelSettings()); }
    Settings loadedFrom(const std::string& content)
    {
        folder.write("velmo.sav", content);
        return loaded();
    }
};

} // namespace

// --- Saving and loading the current layout -----------------------------------------

using SettingsSave = SettingsFileTest;

TEST_F(SettingsSave, WritesTheExampleFileByteForByteOverWhateverWasThere)
{
    save(exampleSettings());
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlySettings);
    folder.write("velmo.sav", std::string(5000, 'x'));
    save(exampleSettings());
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlySettings);
}

TEST_F(SettingsSave, ListeningIsLsn1AndAnEmptyLogPathIsThreeEqualsSigns)
{
    Settings s = exampleSettings();
    s.listenOnStart = 1;
    s.logPath[0] = '\0';
    save(s);
    EXPECT_EQ(folder.read("velmo.sav"), replaced(exampleFileWith(4, "MLP==="), "LSN=0", "LSN=1"));
    EXPECT_EQ(loaded(), s);
}

TEST_F(SettingsSave, AWelcomeLongerThanAnEncodedValueHoldsIsCut)
{
    Settings s = exampleSettings();
    std::string welcome(599, 'w');
    copyText(s.custom.welcome, welcome.c_str(), sizeof s.custom.welcome);
    save(s);
    copyText(s.custom.welcome, welcome.c_str(), 447 + 1);
    EXPECT_EQ(loaded(), s);
}

using SettingsLoad = SettingsFileTest;

TEST_F(SettingsLoad, ReadsTheExampleFileWithEitherLineEnd)
{
    EXPECT_EQ(loadedFrom(exampleFile("\r\n")), exampleSettings());
    EXPECT_EQ(loadedFrom(exampleFile("\n")), exampleSettings());
}

TEST_F(SettingsLoad, GivesBackEveryTextByteForByte)
{
    Settings s = exampleSettings();
    s.listenOnStart = 1;
    s.daemonKind = 3;
    std::string high;
    for (int b = 128; b < 256; ++b)
        high += static_cast<char>(b);
    copyText(s.custom.welcome, ("  lead\tand trail  \r\n\r\n" + high).c_str(), kScriptTextSize);
    copyText(s.custom.reply, "\r\n", kScriptTextSize);
    copyText(s.custom.goodbye, "", kScriptTextSize);
    copyText(s.logPath, "D:\\with blanks\\\xe9t\xe9.log", kPathSize);
    s.custom.port = 65536;
    save(s);
    EXPECT_EQ(loaded(), s);
}

TEST_F(SettingsLoad, AMissingOrEmptyFileChangesNothing)
{
    EXPECT_EQ(load(folder.path("absent.sav").c_str(), sentinelSettings()), sentinelSettings());
    EXPECT_EQ(loadedFrom(""), sentinelSettings());
}

TEST_F(SettingsLoad, TheFirstLineIsNotLookedAt)
{
    EXPECT_EQ(loadedFrom(exampleFileWith(0, "anything at all")), exampleSettings());
    EXPECT_EQ(loadedFrom(std::string(2000, 'h') + "\r\n" + exampleFile("\r\n", 0)), exampleSettings());
}

// --- Hand-edited files ------------------------------------------------------------

using SettingsHandEdited = SettingsFileTest;

TEST_F(SettingsHandEdited, AMissingLineKeepsItsValue)
{
    Settings expected = exampleSettings();
    expected.daemonKind = sentinelSettings().daemonKind;
    EXPECT_EQ(loadedFrom(exampleFile("\r\n", 2)), expected);  // no MDN line

    expected = exampleSettings();
    copyText(expected.custom.reply, "old reply", kScriptTextSize);
    EXPECT_EQ(loadedFrom(exampleFile("\r\n", 8)), expected);  // no CR1 line
}

TEST_F(SettingsHandEdited, KeysAreMatchedInOrderNotSearchedFor)
{
    // A CWR line moved to the front matches none of the keys before CWR, so
    // they all keep their values; only the last read, CWR, takes it.
    Settings expected = sentinelSettings();
    expected.custom.repeat = 0;
    EXPECT_EQ(loadedFrom(std::string(kExampleLines[0]) + "\r\nCWR=0\r\n" + exampleFile("\r\n", 0)), expected);
}

TEST_F(SettingsHandEdited, OverlongValuesAreCutAndTheNextLinesStillLoad)
{
    Settings loaded = loadedFrom(exampleFileWith(4, "MLP=" + std::string(2000, 'Q') + "=="));
    EXPECT_EQ(std::strlen(loaded.logPath), 299u);
    Settings expected = exampleSettings();
    copyText(expected.logPath, loaded.logPath, kPathSize);
    EXPECT_EQ(loaded, expected);

    // 599 characters of zero bits make 449 zero bytes: an empty text.
    expected = exampleSettings();
    expected.custom.welcome[0] = '\0';
    EXPECT_EQ(loadedFrom(exampleFileWith(7, "CWE=" + std::string(5000, 'A') + "==")), expected);
}

TEST_F(SettingsHandEdited, BinaryGarbageLoadsWithoutOverrun)
{
    folder.write("velmo.sav", noise(12345, 20000));
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    Settings s = loaded();
    EXPECT_LT(std::strlen(s.logPath), static_cast<size_t>(kPathSize));
    EXPECT_LT(std::strlen(s.custom.welcome), static_cast<size_t>(kScriptTextSize));
}

TEST_F(SettingsHandEdited, ValuesAfterGarbageInsideAValueLineStillLoad)
{
    Settings s = loadedFrom(exampleFileWith(8, "CR1=\x01\x02\xff\x80zz"));
    EXPECT_EQ(s.custom.repeat, 1);
    EXPECT_STREQ(s.custom.goodbye, "Bye.\r\n");
}

// --- Upgrading older layouts --------------------------------------------------------

namespace {

const char* const kOldBodyLines[] = {
    "LSN=1", "MDN=5", "MLD=0", "MLP===", "CRN=1", "CPN=2323", "CWE=SGk==", "CR1===", "CR2===",
};

std::string oldFile(const std::string& header, const char* lineEnd, const std::string& tail = "")
{
    std::string text = header + lineEnd;
    for (const char* line : kOldBodyLines)
        text += std::string(line) + lineEnd;
    return text + tail;
}

class SettingsUpgrade : public SettingsFileTest {
protected:
    void expectUpgrade(const std::string& before, const std::string& after)
    {
        folder.write("velmo.sav", before);
        EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
        EXPECT_EQ(folder.read("velmo.sav"), after);
        EXPECT_EQ(folder.names(), kOnlySettings);
    }
};

} // namespace

TEST_F(SettingsUpgrade, NoFileGivesZero)
{
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 0);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(SettingsUpgrade, OlderLayoutsGainTheirMissingLines)
{
    struct Old {
        const char* version;
        const char* lineEnd;
        int timerChoice, echoWelcome, echoReply, impliedRepeat;
    };
    const Old kOld[] = {
        {"", "\r\n", 0, 0, 0, 0},
        {" v1.8", "\n", 2, 1, 1, 1},
        {" v1.8", "\r\n", 0, 1, 0, 0},
        {" v1.8", "\r\n", -1, 0, 0, 0},  // the timer is judged by its value's first character
    };
    for (const Old& old : kOld) {
        SCOPED_TRACE(std::string(old.version) + " CCT=" + std::to_string(old.timerChoice));
        auto timerLines = [&](const char* lineEnd) {
            return "CCT=" + std::to_string(old.timerChoice) + lineEnd + "CE1=" +
                   std::to_string(old.echoWelcome) + lineEnd + "CE2=" + std::to_string(old.echoReply) + lineEnd;
        };
        const bool v18 = *old.version != '\0';
        expectUpgrade(oldFile(std::string("[Velmoranth Settings") + old.version + "]", old.lineEnd,
                              v18 ? timerLines(old.lineEnd) : ""),
                      oldFile("[Velmoranth Settings v1.9]", "\r\n",
                              timerLines("\r\n") + "CWR=" + std::to_string(old.impliedRepeat) + "\r\n"));
        Settings expected = sentinelSettings();
        expected.listenOnStart = 1;
        expected.daemonKind = 5;
        expected.logEnabled = 0;
        expected.logPath[0] = '\0';
        expected.custom = scriptWith("Hi", "", "", 1, 2323, old.timerChoice, old.echoWelcome, old.echoReply,
                                     old.impliedRepeat);
        EXPECT_EQ(loaded(), expected);
    }
}

TEST_F(SettingsUpgrade, FilesThatAreNotAnOlderLayoutAreLeftAlone)
{
    for (const std::string& text :
         {exampleFile("\n"), std::string("[velmoranth settings]\r\nLSN=1\r\n"),
          "[Velmoranth Settings]" + std::string(2000, ' ') + "x\r\nLSN=1\r\n", std::string()})
        expectUpgrade(text, text);
}

TEST_F(SettingsUpgrade, TheBodyIsRewrittenOneTokenALine)
{
    expectUpgrade("[Velmoranth Settings]\r\n\r\n  LSN=1   MDN=2\r\n\r\n\r\n\tMLD=1\r\n",
                  joinLines({"[Velmoranth Settings v1.9]", "LSN=1", "MDN=2", "MLD=1", "CCT=0", "CE1=0", "CE2=0",
                             "CWR=0"}));
    // An overlong token is cut and the rest is kept.
    std::string longToken = "CWE=" + std::string(1000, 'B');
    expectUpgrade("[Velmoranth Settings v1.8]\n" + longToken + "\nCCT=4\n",
                  joinLines({"[Velmoranth Settings v1.9]", longToken.substr(0, 299).c_str(), "CCT=4", "CWR=1"}));
    expectUpgrade("[Velmoranth Settings v1.8]", joinLines({"[Velmoranth Settings v1.9]", "CWR=0"}));
}

// --- Files that cannot be written -----------------------------------------------------

using SettingsUnwritable = SettingsFileTest;

TEST_F(SettingsUnwritable, SavingIntoAMissingFolderWritesNothing)
{
    ::save(exampleSettings(), folder.path("no such folder/velmo.sav").c_str());
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(SettingsUnwritable, ASaveOrUpgradeThatCannotCreateItsScratchFileLeavesTheOldFile)
{
    const std::string old = oldFile("[Velmoranth Settings]", "\r\n");
    folder.write("velmo.sav", old);
    std::filesystem::create_directory(folder.path("velmo.tmp"));
    save(exampleSettings());
    EXPECT_EQ(folder.read("velmo.sav"), old);
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), old);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.tmp")));
}

TEST_F(SettingsUnwritable, ASaveThatCannotReplaceLeavesNoScratchFile)
{
    std::filesystem::create_directory(folder.path("velmo.sav"));
    save(exampleSettings());
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.sav")));
    EXPECT_EQ(folder.names(), kOnlySettings);
}

TEST_F(SettingsUnwritable, WorksWithTheBareNameInTheWorkingDirectory)
{
    WorkingDirectory inside(folder.folder());
    folder.write("velmo.sav", oldFile("[Velmoranth Settings]", "\r\n"));
    EXPECT_EQ(upgradeSettingsFile(VELMO_SETTINGS_FILE), 1);
    ::save(exampleSettings(), VELMO_SETTINGS_FILE);
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlySettings);
}
