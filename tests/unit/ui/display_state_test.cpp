#include "ui/display_state.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <string>

TEST(DisplayState, EachStateHasItsStatusTextIconAndTip)
{
    const struct {
        DisplayState state;
        const char* status;
        int icon;
        const char* tip;
    } kStates[] = {
        {DisplayStandingBy, "Standing By", IDI_STANDING_BY, "Velmoranth(v1.9) - Standing By"},
        {DisplayListening, "Listening", IDI_LISTENING, "Velmoranth(v1.9) - Listening"},
        {DisplayDetected, "Detected!", IDI_DETECTED, "Velmoranth(v1.9) - Detected!"},
    };
    for (const auto& expected : kStates) {
        const DisplayStateTexts texts = displayStateTexts(expected.state);
        EXPECT_EQ(std::string(texts.statusText) + "|" + std::to_string(texts.iconId) + "|" + texts.tip,
                  std::string(expected.status) + "|" + std::to_string(expected.icon) + "|" + expected.tip);
    }
}
