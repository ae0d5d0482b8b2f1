#include "engine/daemon_script.h"

#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ScriptTable : public ::testing::Test {
protected:
    DaemonScript table[kScriptTableSize] = {};
};

TEST_F(ScriptTable, BuiltInScriptsAreExactlyTheFourDaemons)
{
    loadBuiltInScripts(table);
    EXPECT_EQ(table[DaemonFreeBSD],
              scriptWith("FreeBSD 5.1\r\n\r\nLogin: ", "Password: ", "Incorrect Login.\r\n", 2, 23, 2, 1, 0, 1));
    EXPECT_EQ(table[DaemonRedHat], scriptWith("RedHat 8.0 (Psyche)\r\n\r\nLogin: ", "Password: ",
                                              "Incorrect Login.\r\n", 2, 23, 2, 1, 0, 1));
    EXPECT_EQ(table[DaemonSubSeven], scriptWith("SubSeven 2.1 \r\n", "", "", 1, 27374, 2, 0, 0, 0));
    EXPECT_EQ(table[DaemonNetBus], scriptWith("NetBus 1.60 \r\n", "", "", 1, 12345, 2, 0, 0, 0));
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
