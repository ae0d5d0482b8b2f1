#include "ui/tray_icon.h"

#include "engine/listener.h"
#include "resources/resource.h"
#include "ui/program_state.h"

#include <gtest/gtest.h>

#include <string>

ProgramState program;  // the main window's own, which this binary does not link

// The add and every change store their tip the same way.
TEST(TrayIcon, TipKeepsAtMostSixtyThreeCharacters)
{
    const std::string tip(100, 'x');
    trayIconSetState(IDI_LISTENING, tip.c_str());
    EXPECT_EQ(program.trayIcon.szTip, tip.substr(0, 63));
}
