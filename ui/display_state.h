#pragma once
// What the status bar and the tray show for each display state of the decoy.
// Portable (no Win32), so the texts are checked by the unit tests.
#include "engine/front_end.h"

enum { kTipSize = 64 };

struct DisplayStateTexts {
    const char* statusText;
    int iconId;              // an IDI_ id of resources/resource.h
    char tip[kTipSize];      // cut to 63 characters, as the tray takes it
};

DisplayStateTexts displayStateTexts(DisplayState state);
