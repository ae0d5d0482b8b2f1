#pragma once
// The program-wide state, owned by the main window and living for the whole
// run. The main window and the dialogs work on it directly (the dialogs are
// opened without a parameter); nothing else in ui/ keeps state of its own.
#include "alerts/alert_hub.h"
#include "engine/daemon_script.h"
#include "engine/listener.h"
#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"

#include <windows.h>
#include <shellapi.h>

// The alerts' delivery timer, beside the listener's 10004 and 10005; and the
// longest the program waits for waiting alerts at Exit or at a session's end.
enum { kAlertTimerId = 10007, kAlertPeriodMs = 100, kAlertExitWaitMs = 2000 };
// The tray's three pictures, icons 10000 to 10002.
enum { kTrayPictureCount = 3 };

// Posted by the HTTP layer's workers when an answer came: deliver at once.
enum { kAlertWakeMessage = WM_APP + 2 };  // beside the restore request, WM_APP + 1

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
    HICON trayPictures[kTrayPictureCount];  // loaded at first use, kept for the run
    int activeDaemonKind;         // the daemon in the active slot, for the alerts; 0 before any
    AlertHub alerts;              // the program's alert channels
    SyslogOrigin alertOrigin;     // this computer's name and this process, fixed at start
    AlertSettingsReading alertsRead;  // the alerts file as read or last saved, for the dialog
    int alertSocketsStarted;      // Windows sockets started for the alerts, once
    long long exitDeadlineMs;     // nonzero: Exit waits for alerts until then
};

extern ProgramState program;
