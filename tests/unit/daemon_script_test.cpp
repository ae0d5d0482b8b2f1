#include "engine/daemon_script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Expected {
    const char* welcome;
    std::size_t welcomeLength;
    const char* reply;
    const char* goodbye;
    int replyCount, port, echoWelcome, repeat;
};

const Expected kBuiltIns[] = {
    {},
    {"FreeBSD 5.1\r\n\r\nLogin: ", 22, "Password: ", "Incorrect Login.\r\n", 2, 23, 1, 1},
    {"RedHat 8.0 (Psyche)\r\n\r\nLogin: ", 30, "Password: ", "Incorrect Login.\r\n", 2, 23, 1, 1},
    {"SubSeven 2.1 \r\n", 15, "", "", 1, 27374, 0, 0},
    {"NetBus 1.60 \r\n", 14, "", "", 1, 12345, 0, 0},
};

class ScriptTable : public ::testing::Test {
protected:
    DaemonScript table[kScriptTableSize] = {};
};

TEST_F(ScriptTable, BuiltInScriptsAreExactlyTheFourDaemons)
{
    loadBuiltInScripts(table);
    for (int kind = DaemonFreeBSD; kind <= DaemonNetBus; ++kind) {
        SCOPED_TRACE(kind);
        const DaemonScript& script = table[kind];
        const Expected& expected = kBuiltIns[kind];
        EXPECT_EQ(std::strlen(script.welcome), expected.welcomeLength);
        EXPECT_EQ(std::string(script.welcome), expected.welcome);
        EXPECT_EQ(std::string(script.reply), expected.reply);
        EXPECT_EQ(std::string(script.goodbye), expected.goodbye);
        EXPECT_EQ(script.replyCount, expected.replyCount);
        EXPECT_EQ(script.port, expected.port);
        EXPECT_EQ(script.timerChoice, 2);
        EXPECT_EQ(script.echoWelcome, expected.echoWelcome);
        EXPECT_EQ(script.echoReply, 0);
        EXPECT_EQ(script.repeat, expected.repeat);
    }
    EXPECT_EQ(std::strlen(table[DaemonFreeBSD].reply), 10u);
    EXPECT_EQ(std::strlen(table[DaemonRedHat].goodbye), 18u);
}

TEST_F(ScriptTable, BuiltInsLeaveTheActiveAndCustomSlotsAlone)
{
    copyText(table[kActiveSlot].welcome, "active", kScriptTextSize);
    table[DaemonCustom].port = 4444;
    copyText(table[DaemonCustom].goodbye, "custom", kScriptTextSize);
    loadBuiltInScripts(table);
    EXPECT_STREQ(table[kActiveSlot].welcome, "active");
    EXPECT_EQ(table[kActiveSlot].port, 0);
    EXPECT_EQ(table[DaemonCustom].port, 4444);
    EXPECT_STREQ(table[DaemonCustom].goodbye, "custom");
}

TEST_F(ScriptTable, SelectDaemonCopiesTheSlotIntoTheActiveOne)
{
    loadBuiltInScripts(table);
    selectDaemon(table, DaemonSubSeven);
    EXPECT_EQ(std::memcmp(&table[kActiveSlot], &table[DaemonSubSeven], sizeof(DaemonScript)), 0);
    selectDaemon(table, DaemonFreeBSD);
    EXPECT_STREQ(table[kActiveSlot].welcome, table[DaemonFreeBSD].welcome);
    EXPECT_EQ(table[kActiveSlot].port, 23);
}

TEST_F(ScriptTable, KindZeroAndOutOfRangeKeepTheActiveSlot)
{
    loadBuiltInScripts(table);
    selectDaemon(table, DaemonNetBus);
    selectDaemon(table, DaemonNone);
    EXPECT_EQ(table[kActiveSlot].port, 12345);
    selectDaemon(table, 6);
    selectDaemon(table, -1);
    EXPECT_STREQ(table[kActiveSlot].welcome, "NetBus 1.60 \r\n");
}

TEST_F(ScriptTable, FirstListenWithNoDaemonPlaysTheZeroScript)
{
    loadBuiltInScripts(table);
    selectDaemon(table, DaemonNone);
    EXPECT_EQ(table[kActiveSlot].port, 0);
    EXPECT_STREQ(table[kActiveSlot].welcome, "");
}

TEST_F(ScriptTable, CopyingASlotOntoItselfKeepsIt)
{
    loadBuiltInScripts(table);
    DaemonScript before = table[DaemonRedHat];
    copyScript(table[DaemonRedHat], table[DaemonRedHat]);
    EXPECT_EQ(std::memcmp(&before, &table[DaemonRedHat], sizeof(DaemonScript)), 0);
}

TEST(CopyText, CutsToTheBufferAndTerminates)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    copyText(buffer, "0123456789", sizeof buffer);
    EXPECT_STREQ(buffer, "0123456");
    copyText(buffer, "", sizeof buffer);
    EXPECT_STREQ(buffer, "");
}

TEST(CopyText, AFullLengthTextFitsItsField)
{
    DaemonScript script = {};
    std::string longest(kScriptTextSize - 1, 'w');
    copyText(script.welcome, longest.c_str(), sizeof script.welcome);
    DaemonScript copy = {};
    copyScript(copy, script);
    EXPECT_EQ(std::string(copy.welcome), longest);
}

} // namespace
