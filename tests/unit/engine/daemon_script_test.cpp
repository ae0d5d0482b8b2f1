#include "engine/daemon_script.h"

#include "support/scripts.h"

#include <gtest/gtest.h>

TEST(ScriptTable, BuiltInsAreTheFourDaemonsAndSelectCopiesOneIntoTheActiveSlot)
{
    DaemonScript table[kScriptTableSize + 1] = {};  // one slot past the table, which must never be read
    table[DaemonCustom] = scriptWith("c", "", "", 1, 5, 0, 0, 0, 0);
    table[kScriptTableSize] = scriptWith("past the table", "", "", 9, 9, 9, 9, 9, 9);
    loadBuiltInScripts(table);
    const DaemonScript kBuiltIns[] = {
        scriptWith("FreeBSD 5.1\r\n\r\nLogin: ", "Password: ", "Incorrect Login.\r\n", 2, 23, 2, 1, 0, 1),
        scriptWith("RedHat 8.0 (Psyche)\r\n\r\nLogin: ", "Password: ", "Incorrect Login.\r\n", 2, 23, 2, 1, 0, 1),
        scriptWith("SubSeven 2.1 \r\n", "", "", 1, 27374, 2, 0, 0, 0),
        scriptWith("NetBus 1.60 \r\n", "", "", 1, 12345, 2, 0, 0, 0),
        scriptWith("c", "", "", 1, 5, 0, 0, 0, 0),
    };
    selectDaemon(table, DaemonNone);  // a first Listen with no daemon chosen plays the empty script
    EXPECT_EQ(table[kActiveSlot], scriptWith("", "", "", 0, 0, 0, 0, 0, 0));
    for (int kind = DaemonFreeBSD; kind <= DaemonCustom; ++kind) {
        selectDaemon(table, kind);
        for (int ignored : {0, 6, -1})
            selectDaemon(table, ignored);
        EXPECT_EQ(table[kActiveSlot], kBuiltIns[kind - 1]);
    }
    char cut[10];  // texts are cut to their buffer and terminated
    for (const std::string text : {"0123456789", "012345678", "01234567", ""})
        EXPECT_EQ((copyText(cut, text.c_str(), 8), cut), text.substr(0, 7));
}
