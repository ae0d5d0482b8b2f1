#include "storage/settings_file.h"

#include "storage_scratch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace {

// Everything the settings file holds.
struct Settings {
    std::int32_t listenOnStart;
    std::int32_t daemonKind;
    std::int32_t logEnabled;
    char logPath[kPathSize];
    DaemonScript custom;
};

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

Settings exampleSettings()
{
    Settings s;
    std::memset(&s, 0, sizeof s);
    s.listenOnStart = 0;
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

void save(const Settings& s, const std::string& fileName)
{
    saveSettings(s.listenOnStart, s.daemonKind, s.logEnabled, s.logPath, s.custom, fileName.c_str());
}

Settings load(const std::string& fileName, Settings s = sentinelSettings())
{
    loadSettings(s.listenOnStart, s.daemonKind, s.logEnabled, s.logPath, s.custom, fileName.c_str());
    return s;
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

void expectSameSettings(const Settings& a, const Settings& b)
{
    EXPECT_EQ(a.listenOnStart, b.listenOnStart);
    EXPECT_EQ(a.daemonKind, b.daemonKind);
    EXPECT_EQ(a.logEnabled, b.logEnabled);
    EXPECT_STREQ(a.logPath, b.logPath);
    expectSameScript(a.custom, b.custom);
}

const std::set<std::string> kOnlySettings = {"velmo.sav"};

class SettingsFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string file = folder.path("velmo.sav");
};

} // namespace

// --- Saving and loading the current layout -----------------------------------------

using SettingsSave = SettingsFileTest;

TEST_F(SettingsSave, WritesTheExampleFileByteForByte)
{
    save(exampleSettings(), file);
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlySettings);
}

TEST_F(SettingsSave, ReplacesAnExistingFileWhole)
{
    folder.write("velmo.sav", std::string(5000, 'x'));
    save(exampleSettings(), file);
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlySettings);
}

TEST_F(SettingsSave, ListeningIsStoredAsLsn1)
{
    Settings s = exampleSettings();
    s.listenOnStart = 1;
    save(s, file);
    EXPECT_NE(folder.read("velmo.sav").find("\r\nLSN=1\r\n"), std::string::npos);
    EXPECT_EQ(load(file).listenOnStart, 1);
}

TEST_F(SettingsSave, AnEmptyLogPathIsStoredAsThreeEqualsSigns)
{
    Settings s = exampleSettings();
    s.logPath[0] = '\0';
    save(s, file);
    EXPECT_NE(folder.read("velmo.sav").find("\r\nMLP===\r\n"), std::string::npos);
    EXPECT_STREQ(load(file).logPath, "");
}

TEST_F(SettingsSave, AWelcomeLongerThanAnEncodedValueHoldsIsCut)
{
    Settings s = exampleSettings();
    std::string welcome(599, 'w');
    copyText(s.custom.welcome, welcome.c_str(), sizeof s.custom.welcome);
    save(s, file);
    Settings back = load(file);
    EXPECT_EQ(std::string(back.custom.welcome), welcome.substr(0, 447));
    EXPECT_STREQ(back.custom.reply, "Name: ");
    EXPECT_EQ(back.custom.repeat, 1);
}

using SettingsLoad = SettingsFileTest;

TEST_F(SettingsLoad, ReadsTheExampleFile)
{
    folder.write("velmo.sav", exampleFile());
    expectSameSettings(load(file), exampleSettings());
}

TEST_F(SettingsLoad, ReadsLineFeedsAlone)
{
    folder.write("velmo.sav", exampleFile("\n"));
    expectSameSettings(load(file), exampleSettings());
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
    save(s, file);
    expectSameSettings(load(file), s);
}

TEST_F(SettingsLoad, AMissingFileChangesNothing)
{
    expectSameSettings(load(folder.path("absent.sav")), sentinelSettings());
}

TEST_F(SettingsLoad, AnEmptyFileChangesNothing)
{
    folder.write("velmo.sav", "");
    expectSameSettings(load(file), sentinelSettings());
}

TEST_F(SettingsLoad, AnUncheckedFirstLineIsNotLookedAt)
{
    std::string text = exampleFile();
    text.replace(0, std::strlen(kExampleLines[0]), "anything at all");
    folder.write("velmo.sav", text);
    expectSameSettings(load(file), exampleSettings());
}

// --- Hand-edited files ------------------------------------------------------------

using SettingsHandEdited = SettingsFileTest;

TEST_F(SettingsHandEdited, AMissingNumericLineKeepsItsValue)
{
    folder.write("velmo.sav", exampleFile("\r\n", 2));  // no MDN line
    Settings expected = exampleSettings();
    expected.daemonKind = sentinelSettings().daemonKind;
    expectSameSettings(load(file), expected);
}

TEST_F(SettingsHandEdited, AMissingTextLineKeepsItsText)
{
    folder.write("velmo.sav", exampleFile("\r\n", 8));  // no CR1 line
    Settings expected = exampleSettings();
    copyText(expected.custom.reply, "old reply", kScriptTextSize);
    expectSameSettings(load(file), expected);
}

TEST_F(SettingsHandEdited, KeysAreMatchedInOrderNotSearchedFor)
{
    // A CWR line moved to the front matches none of the keys before CWR, so
    // they all keep their values; only the last read, CWR, takes it.
    std::string text = std::string(kExampleLines[0]) + "\r\nCWR=0\r\n" + exampleFile("\r\n", 0);
    folder.write("velmo.sav", text);
    Settings expected = sentinelSettings();
    expected.custom.repeat = 0;
    expectSameSettings(load(file), expected);
}

TEST_F(SettingsHandEdited, ALongFirstLineIsSkippedWhole)
{
    std::string text = std::string(2000, 'h') + "\r\n" + exampleFile("\r\n", 0);
    folder.write("velmo.sav", text);
    expectSameSettings(load(file), exampleSettings());
}

TEST_F(SettingsHandEdited, A2000CharacterValueIsCutAndTheNextLinesStillLoad)
{
    std::string text = exampleFile();
    std::string longPath = "MLP=" + std::string(2000, 'Q') + "==";
    text.replace(text.find(kExampleLines[4]), std::strlen(kExampleLines[4]), longPath);
    folder.write("velmo.sav", text);
    Settings loaded = load(file);
    EXPECT_EQ(std::strlen(loaded.logPath), 299u);
    Settings expected = exampleSettings();
    copyText(expected.logPath, loaded.logPath, kPathSize);
    expectSameSettings(loaded, expected);
}

TEST_F(SettingsHandEdited, A5000CharacterWelcomeIsCutAndTheNextLinesStillLoad)
{
    std::string text = exampleFile();
    std::string longWelcome = "CWE=" + std::string(5000, 'A') + "==";
    text.replace(text.find(kExampleLines[7]), std::strlen(kExampleLines[7]), longWelcome);
    folder.write("velmo.sav", text);
    Settings loaded = load(file);
    // 599 characters of zero bits make 449 zero bytes: an empty text.
    EXPECT_STREQ(loaded.custom.welcome, "");
    Settings expected = exampleSettings();
    expected.custom.welcome[0] = '\0';
    expectSameSettings(loaded, expected);
}

TEST_F(SettingsHandEdited, BinaryGarbageLoadsWithoutOverrun)
{
    std::string garbage;
    unsigned seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += static_cast<char>(seed >> 16);
    }
    folder.write("velmo.sav", garbage);
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    Settings loaded = load(file);
    EXPECT_LT(std::strlen(loaded.logPath), static_cast<size_t>(kPathSize));
    EXPECT_LT(std::strlen(loaded.custom.welcome), static_cast<size_t>(kScriptTextSize));
}

TEST_F(SettingsHandEdited, ValuesAfterGarbageInsideAValueLineStillLoad)
{
    std::string text = exampleFile();
    text.replace(text.find("CR1=TmFtZTog=="), 14, std::string("CR1=\x01\x02\xff\x80zz"));
    folder.write("velmo.sav", text);
    Settings loaded = load(file);
    EXPECT_EQ(loaded.custom.repeat, 1);
    EXPECT_STREQ(loaded.custom.goodbye, "Bye.\r\n");
}

// --- Upgrading older layouts --------------------------------------------------------

using SettingsUpgrade = SettingsFileTest;

namespace {

const char* const kOldBodyLines[] = {
    "LSN=1", "MDN=5", "MLD=0", "MLP===", "CRN=1", "CPN=2323", "CWE=SGk==", "CR1===", "CR2===",
};

std::string oldFile(const char* header, const char* lineEnd, std::initializer_list<const char*> extra)
{
    std::string text = std::string(header) + lineEnd;
    for (const char* line : kOldBodyLines)
        text += std::string(line) + lineEnd;
    for (const char* line : extra)
        text += std::string(line) + lineEnd;
    return text;
}

} // namespace

TEST_F(SettingsUpgrade, NoFileGivesZero)
{
    EXPECT_EQ(upgradeSettingsFile(folder.path("velmo.sav").c_str()), 0);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(SettingsUpgrade, TheCurrentLayoutIsLeftAlone)
{
    folder.write("velmo.sav", exampleFile("\n"));
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile("\n"));
    EXPECT_EQ(folder.names(), kOnlySettings);
}

TEST_F(SettingsUpgrade, AnUnknownHeaderIsLeftAlone)
{
    std::string text = "[velmoranth settings]\r\nLSN=1\r\n";
    folder.write("velmo.sav", text);
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), text);
}

TEST_F(SettingsUpgrade, AnUnversionedFileGainsTheFourNewLines)
{
    folder.write("velmo.sav", oldFile("[Velmoranth Settings]", "\r\n", {}));
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"),
              oldFile("[Velmoranth Settings v1.9]", "\r\n", {"CCT=0", "CE1=0", "CE2=0", "CWR=0"}));
    EXPECT_EQ(folder.names(), kOnlySettings);

    Settings loaded = load(file);
    EXPECT_EQ(loaded.listenOnStart, 1);
    EXPECT_EQ(loaded.daemonKind, 5);
    EXPECT_STREQ(loaded.logPath, "");
    expectSameScript(loaded.custom, scriptWith("Hi", "", "", 1, 2323, 0, 0, 0, 0));
}

TEST_F(SettingsUpgrade, AV18FileWithASetTimerGainsRepeat)
{
    folder.write("velmo.sav", oldFile("[Velmoranth Settings v1.8]", "\n", {"CCT=2", "CE1=1", "CE2=1"}));
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"),
              oldFile("[Velmoranth Settings v1.9]", "\r\n", {"CCT=2", "CE1=1", "CE2=1", "CWR=1"}));
    Settings loaded = load(file);
    expectSameScript(loaded.custom, scriptWith("Hi", "", "", 1, 2323, 2, 1, 1, 1));
}

TEST_F(SettingsUpgrade, AV18FileWithoutATimerGainsNoRepeat)
{
    folder.write("velmo.sav", oldFile("[Velmoranth Settings v1.8]", "\r\n", {"CCT=0", "CE1=1", "CE2=0"}));
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"),
              oldFile("[Velmoranth Settings v1.9]", "\r\n", {"CCT=0", "CE1=1", "CE2=0", "CWR=0"}));
}

TEST_F(SettingsUpgrade, TheTimerIsJudgedByTheFirstCharacterOfItsValue)
{
    folder.write("velmo.sav", oldFile("[Velmoranth Settings v1.8]", "\r\n", {"CCT=-1", "CE1=0", "CE2=0"}));
    upgradeSettingsFile(file.c_str());
    EXPECT_EQ(load(file).custom.repeat, 0);
}

TEST_F(SettingsUpgrade, BlankLinesAndSpacesDoNotSurvive)
{
    folder.write("velmo.sav", "[Velmoranth Settings]\r\n\r\n  LSN=1   MDN=2\r\n\r\n\r\n\tMLD=1\r\n");
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"),
              joinLines({"[Velmoranth Settings v1.9]", "LSN=1", "MDN=2", "MLD=1", "CCT=0", "CE1=0",
                         "CE2=0", "CWR=0"}));
}

TEST_F(SettingsUpgrade, AnOverlongTokenIsCutAndTheRestIsKept)
{
    std::string longToken = "CWE=" + std::string(1000, 'B');
    folder.write("velmo.sav", "[Velmoranth Settings v1.8]\n" + longToken + "\nCCT=4\n");
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"),
              joinLines({"[Velmoranth Settings v1.9]", longToken.substr(0, 299).c_str(), "CCT=4", "CWR=1"}));
}

TEST_F(SettingsUpgrade, AnOverlongFirstLineIsNotAnOldHeader)
{
    std::string text = "[Velmoranth Settings]" + std::string(2000, ' ') + "x\r\nLSN=1\r\n";
    folder.write("velmo.sav", text);
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), text);
}

TEST_F(SettingsUpgrade, AnEmptyFileIsLeftAlone)
{
    folder.write("velmo.sav", "");
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), "");
}

TEST_F(SettingsUpgrade, AHeaderAloneGainsTheNewLines)
{
    folder.write("velmo.sav", "[Velmoranth Settings v1.8]");
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), joinLines({"[Velmoranth Settings v1.9]", "CWR=0"}));
}

// --- Files that cannot be written -----------------------------------------------------

using SettingsUnwritable = SettingsFileTest;

TEST_F(SettingsUnwritable, SavingIntoAMissingFolderWritesNothing)
{
    save(exampleSettings(), folder.path("no such folder/velmo.sav"));
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(SettingsUnwritable, ASaveThatCannotCreateItsScratchFileLeavesTheOldFile)
{
    folder.write("velmo.sav", "old content\r\n");
    std::filesystem::create_directory(folder.path("velmo.tmp"));
    save(exampleSettings(), file);
    EXPECT_EQ(folder.read("velmo.sav"), "old content\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.tmp")));
}

TEST_F(SettingsUnwritable, ASaveThatCannotReplaceLeavesNoScratchFile)
{
    std::filesystem::create_directory(folder.path("velmo.sav"));
    save(exampleSettings(), file);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.sav")));
    EXPECT_EQ(folder.names(), kOnlySettings);
}

TEST_F(SettingsUnwritable, AnUpgradeThatCannotCreateItsScratchFileLeavesTheOldFile)
{
    std::string old = oldFile("[Velmoranth Settings]", "\r\n", {});
    folder.write("velmo.sav", old);
    std::filesystem::create_directory(folder.path("velmo.tmp"));
    EXPECT_EQ(upgradeSettingsFile(file.c_str()), 1);
    EXPECT_EQ(folder.read("velmo.sav"), old);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("velmo.tmp")));
}

TEST_F(SettingsUnwritable, WorksWithTheBareNameInTheWorkingDirectory)
{
    WorkingDirectory inside(folder.folder());
    folder.write("velmo.sav", oldFile("[Velmoranth Settings]", "\r\n", {}));
    EXPECT_EQ(upgradeSettingsFile(VELMO_SETTINGS_FILE), 1);
    save(exampleSettings(), VELMO_SETTINGS_FILE);
    EXPECT_EQ(folder.read("velmo.sav"), exampleFile());
    EXPECT_EQ(folder.names(), kOnlySettings);
}
