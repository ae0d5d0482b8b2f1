#include "engine/script_outline.h"

#include "support/scripts.h"

#include <gtest/gtest.h>

#include <tuple>

static std::string composed(const DaemonScript& s, void (*compose)(const DaemonScript&, char (&)[kPreviewBufferSize]))
{
    static char buffer[kPreviewBufferSize];
    compose(s, buffer);
    return buffer;
}

// The timer in 30-second steps without overflow, the port as a signed number, the reply only for a reply count of
// two and Repeat only on the welcome. The buffer holds the longest outline whole, and texts are read no further
// than their own buffers.
TEST(Preview, PortTimerAndOutlineOfEachScript)
{
    const std::tuple<DaemonScript, const char*, std::string> kCases[] = {  // script, port and timer lines, outline
        {builtIn(DaemonFreeBSD), "Listening on port 23.|Timer: 60 Sec.",
         "FreeBSD 5.1\r\n\r\nLogin:   [Wait Input]  [Will Echo]  [Will Repeat]\r\nPassword:   [Wait Input]\r\n"
         "Incorrect Login.\r\n"},
        {builtIn(DaemonSubSeven), "Listening on port 27374.|Timer: 60 Sec.", "SubSeven 2.1 \r\n  [Wait Input]\r\n"},
        {scriptWith("hello", "SECRET", "bye", 1, 65536, 0, 0, 1, 0), "Listening on port 65536.|Timer: None.",
         "hello  [Wait Input]\r\nbye"},
        {scriptWith("", "SECRET", "", 3, -1, -1, 0, 1, 0), "Listening on port -1.|Timer: -30 Sec.",
         "  [Wait Input]\r\n"},
        {scriptWith("W", "R", "G", 2, 1, 4, 1, 1, 1), "Listening on port 1.|Timer: 120 Sec.",
         "W  [Wait Input]  [Will Echo]  [Will Repeat]\r\nR  [Wait Input]  [Will Echo]\r\nG"},
        {scriptWith("", "", "", 0, 0, 2147483647, -7, 0, 42), "Listening on port 0.|Timer: 64424509410 Sec.",
         "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n"},
        {unterminated(scriptWith("w", "r", "g", 2, 0, 0, 1, 1, 1)), "Listening on port 0.|Timer: None.",
         std::string(599, 'w') + "  [Wait Input]  [Will Echo]  [Will Repeat]\r\n" + std::string(599, 'r') +
             "  [Wait Input]  [Will Echo]\r\n" + std::string(599, 'g')},
    };
    for (const auto& [script, portAndTimer, outline] : kCases) {
        EXPECT_EQ(composed(script, composePortLine) + "|" + composed(script, composeTimerLine), portAndTimer);
        EXPECT_EQ(composed(script, composeOutline), outline) << script;
    }
}
