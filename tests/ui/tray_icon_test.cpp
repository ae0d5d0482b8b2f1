#include "ui/tray_icon.h"

#include "resources/resource.h"
#include "ui/program_state.h"

#include <gtest/gtest.h>

ProgramState program;  // the main window's own, which this binary does not link

// The add and every change store their tip the same way.
TEST(TrayIcon, TipKeepsAtMostSixtyThreeCharacters)
{
    trayIconSetState(IDI_LISTENING, std::string(100, 'x').c_str());
    EXPECT_EQ(program.trayIcon.szTip, std::string(63, 'x'));
}
