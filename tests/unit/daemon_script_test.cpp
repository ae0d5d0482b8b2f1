#include "engine/daemon_script.h"

#include "support/scripts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(ScriptTable, BuiltInsAreTheFourDaemonsAndLeaveTheActiveAndCustomSlotsAlone)
{
    DaemonScript table[kScriptTableSize] = {};
    copyText(table[kActiveSlot].welcome, "active", kScriptTextSize);
    table[DaemonCustom].port = 4444;
    loadBuiltInScripts(table);
    const DaemonScript kBuiltIns[] = {
        scriptWith("FreeBSD 5.1\r\n\r\nLogin: ", "Password: ", "Incorrect Login.\r\n", 2, 23, 2, 1, 0, 1),
        scriptWith("RedHat 8.0 (Psyche)\r\n\r\nLogin: ", "Password: ", "Incorrect Login.\r\n", 2, 23, 2, 1, 0, 1),
        scriptWith("SubSeven 2.1 \r\n", "", "", 1, 27374, 2, 0, 0, 0),
        scriptWith("NetBus 1.60 \r\n", "", "", 1, 12345, 2, 0, 0, 0),
    };
    for (int kind = DaemonFreeBSD; kind <= DaemonNetBus; ++kind)
        EXPECT_EQ(table[kind], kBuiltIns[kind - 1]);
    EXPECT_EQ(table[kActiveSlot], scriptWith("active", "", "", 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(table[DaemonCustom].port, 4444);
}

TEST(ScriptTable, SelectCopiesTheKindsSlotAndKeepsTheActiveOneForNoneOrOutOfRange)
{
    DaemonScript table[kScriptTableSize] = {};
    loadBuiltInScripts(table);
    selectDaemon(table, DaemonNone);
    EXPECT_EQ(table[kActiveSlot], scriptWith("", "", "", 0, 0, 0, 0, 0, 0));
    selectDaemon(table, DaemonFreeBSD);
    EXPECT_EQ(table[kActiveSlot], table[DaemonFreeBSD]);
    for (int kind : {0, 6, -1})
        selectDaemon(table, kind);
    EXPECT_EQ(table[kActiveSlot], table[DaemonFreeBSD]);
    table[DaemonCustom] = scriptWith("c", "", "", 1, 5, 0, 0, 0, 0);
    selectDaemon(table, DaemonCustom);
    EXPECT_EQ(table[kActiveSlot], table[DaemonCustom]);
    copyScript(table[DaemonRedHat], table[DaemonRedHat]);
    EXPECT_STREQ(table[DaemonRedHat].welcome, "RedHat 8.0 (Psyche)\r\n\r\nLogin: ");
}

TEST(CopyText, CutsToTheBufferAndTerminates)
{
    char buffer[10];
    for (const char* text : {"0123456789", "012345678", "01234567"}) {
        copyText(buffer, text, 8);
        EXPECT_STREQ(buffer, "0123456");
    }
    copyText(buffer, "", 8);
    EXPECT_STREQ(buffer, "");
    DaemonScript script = {};
    const std::string longest(kScriptTextSize - 1, 'w');
    copyText(script.welcome, longest.c_str(), sizeof script.welcome);
    EXPECT_EQ(std::string(script.welcome), longest);
}

} // namespace
