#pragma once
// The program-wide state, owned by the main window and living for the whole
// run. The main window and the dialogs work on it directly (the dialogs are
// opened without a parameter); nothing else in ui/ keeps state of its own.
#include "engine/daemon_script.h"
#include "engine/listener.h"

#include <windows.h>
#include <shellapi.h>

struct ProgramState {
    HINSTANCE module;
    HWND statusBar;
    HFONT font;
    DaemonScript scriptTable[kScriptTableSize];  // slot 0 is the active script
    ListenerState listener;
    char logPath[kPathSize];
    int listening;
    int settingsChanged;
    NOTIFYICONDATAA trayIcon;  // used in its first form (NOTIFYICONDATAA_V1_SIZE)
    HMENU trayMenu;
};

extern ProgramState program;
