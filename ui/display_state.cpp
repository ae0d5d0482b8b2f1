#include "ui/display_state.h"

#include "resources/resource.h"

#include <cstdio>

namespace {

struct DisplayStateRow {
    const char* statusText;
    int iconId;
    const char* tip;
};

const DisplayStateRow kDisplayStates[] = {
    {"Standing By", IDI_STANDING_BY, "Velmoranth(v1.9) - Standing By"},
    {"Listening", IDI_LISTENING, "Velmoranth(v1.9) - Listening"},
    {"Detected!", IDI_DETECTED, "Velmoranth(v1.9) - Detected!"},
};

} // namespace

DisplayStateTexts displayStateTexts(DisplayState state)
{
    const DisplayStateRow& row = kDisplayStates[state];
    DisplayStateTexts texts{row.statusText, row.iconId, {}};
    std::snprintf(texts.tip, sizeof texts.tip, "%s", row.tip);
    return texts;
}
