#include "ui/main_window.h"

#include "engine/conversation.h"
#include "engine/error_notice.h"
#include "engine/front_end.h"
#include "engine/listener.h"
#include "resources/resource.h"
#include "storage/settings_file.h"
#include "ui/window_alerts.h"
#include "ui/window_tripwires.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/alerts_dialog.h"
#include "ui/dialogs/connections_log_dialog.h"
#include "ui/dialogs/custom_daemon_dialog.h"
#include "ui/dialogs/log_path_dialog.h"
#include "ui/dialogs/preview_dialog.h"
#include "ui/display_state.h"
#include "ui/program_state.h"
#include "ui/single_instance.h"
#include "ui/tray_icon.h"

#include <commctrl.h>
#include <cstdio>

ProgramState program;

namespace {

const char kClassName[] = "Velmoranth";
const char kSettingsFile[] = VELMO_SETTINGS_FILE;

// Sent by a (re)started shell: the tray icon has to be added again.
UINT taskbarCreatedMessage;

struct ChildControl {
    const char* className;
    const char* text;
    DWORD style;
    int x, y, width, height;
    int id;
    bool windowFont;
};

const ChildControl kDaemonButtons[] = {
    {"Button", "", BS_AUTORADIOBUTTON, 30, 30, 15, 15, IDC_DAEMON_FREEBSD, false},
    {"Button", "", BS_AUTORADIOBUTTON, 30, 48, 15, 15, IDC_DAEMON_REDHAT, false},
    {"Button", "", BS_AUTORADIOBUTTON, 30, 66, 15, 15, IDC_DAEMON_SUBSEVEN, false},
    {"Button", "", BS_AUTORADIOBUTTON, 30, 84, 15, 15, IDC_DAEMON_NETBUS, false},
    {"Button", "", BS_AUTORADIOBUTTON, 30, 102, 15, 15, IDC_DAEMON_CUSTOM, false},
};

// The "Daemons" group box starts a new group after the radio buttons, which
// makes the five buttons one group of automatic radio buttons.
const ChildControl kOtherControls[] = {
    {"Button", "Daemons", WS_GROUP | BS_GROUPBOX, 20, 10, 110, 148, 0, true},
    {"Button", "Logging", WS_GROUP | BS_GROUPBOX, 150, 78, 85, 80, 0, true},
    {"Static", "FreeBSD 5.1", SS_SIMPLE, 47, 30, 85, 15, 0, true},
    {"Static", "RedHat 8.0", SS_SIMPLE, 47, 48, 85, 15, 0, true},
    {"Static", "SubSeven 2.1", SS_SIMPLE, 47, 66, 85, 15, 0, true},
    {"Static", "NetBus 1.60", SS_SIMPLE, 47, 84, 85, 15, 0, true},
    {"Static", "Custom", SS_SIMPLE, 47, 102, 60, 15, 0, true},
    {"Static", "Log", SS_SIMPLE, 177, 100, 60, 15, 0, true},
    {"Button", "Preview", BS_PUSHBUTTON, 42, 125, 64, 23, IDC_PREVIEW, true},
    {"Button", "Listen", BS_PUSHBUTTON, 160, 16, 65, 23, IDC_LISTEN, true},
    {"Button", "StandBy", BS_PUSHBUTTON, 160, 45, 65, 23, IDC_STANDBY, true},
    {"Button", ">", BS_PUSHBUTTON, 205, 101, 20, 14, IDC_LOG_PATH_BUTTON, true},
    {"Button", "", BS_CHECKBOX, 160, 100, 15, 15, IDC_LOG_CHECK, false},
    {"Button", "View Log", BS_PUSHBUTTON, 160, 125, 65, 23, IDC_VIEW_LOG, true},
};

const int kDaemonButtonIds[] = {IDC_DAEMON_FREEBSD, IDC_DAEMON_REDHAT, IDC_DAEMON_SUBSEVEN,
                                IDC_DAEMON_NETBUS, IDC_DAEMON_CUSTOM};

const char kStatusProgramName[] = "Velmoranth (v1.9)";

HWND createChild(HWND window, const ChildControl& control)
{
    HWND child = CreateWindowExA(0, control.className, control.text, WS_CHILD | WS_VISIBLE | control.style,
                                 control.x, control.y, control.width, control.height, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), program.module,
                                 nullptr);
    if (control.windowFont)
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(program.font), TRUE);
    return child;
}

HFONT createWindowFont()
{
    return CreateFontA(15, 0, 0, 0, 0, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

void createStatusBar(HWND window)
{
    InitCommonControls();
    program.statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                        nullptr, program.module, nullptr);
    int rightEdges[2] = {100, -1};
    SendMessageA(program.statusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rightEdges));
    SendMessageA(program.statusBar, SB_SETTEXTA, 0,
                 reinterpret_cast<LPARAM>(displayStateTexts(DisplayStandingBy).statusText));
    // The second part holds the program's name for the whole run.
    SendMessageA(program.statusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(kStatusProgramName));
}

void createControls(HWND window)
{
    for (const ChildControl& control : kDaemonButtons)
        createChild(window, control);
    program.font = createWindowFont();
    for (const ChildControl& control : kOtherControls) {
        HWND child = createChild(window, control);
        if (control.id == IDC_STANDBY)
            EnableWindow(child, FALSE);
    }
    createStatusBar(window);
}

void setLogSwitch(HWND window, int on)
{
    SendDlgItemMessageA(window, IDC_LOG_CHECK, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void repairCustomScript()
{
    DaemonScript& custom = program.scriptTable[DaemonCustom];
    if (custom.replyCount < 1)
        custom.replyCount = 1;
    if (custom.port < 1)
        custom.port = 1;
}

LRESULT onCreate(HWND window)
{
    std::int32_t listenOnStart = 0;
    std::int32_t daemonKind = DaemonFreeBSD;
    std::int32_t logEnabled = 0;
    markFolderWindow(window);
    loadBuiltInScripts(program.scriptTable);
    createControls(window);
    if (upgradeSettingsFile(kSettingsFile))
        loadSettings(listenOnStart, daemonKind, logEnabled, program.logPath, program.scriptTable[DaemonCustom],
                     kSettingsFile);
    checkDaemonButton(window, daemonKind);
    if (logEnabled != 0)
        setLogSwitch(window, 1);
    repairCustomScript();
    alertsStart(window);
    trayIconAdd(window);
    if (listenOnStart != 0)
        SendMessageA(window, WM_COMMAND, IDC_LISTEN, 0);
    return 0;
}

void enableControl(HWND window, int id, BOOL enabled)
{
    EnableWindow(GetDlgItem(window, id), enabled);
}

void showListeningControls(HWND window)
{
    enableControl(window, IDC_LISTEN, FALSE);
    enableControl(window, IDC_STANDBY, TRUE);
    for (int id : kDaemonButtonIds)
        enableControl(window, id, FALSE);
}

void showStandingByControls(HWND window)
{
    enableControl(window, IDC_STANDBY, FALSE);
    enableControl(window, IDC_LISTEN, TRUE);
    for (int id : kDaemonButtonIds)
        enableControl(window, id, TRUE);
}

void startPollTimer(HWND window)
{
    SetTimer(window, kPollTimerId, kPollPeriodMs, nullptr);
}

void stopPollTimer(HWND window)
{
    KillTimer(window, kPollTimerId);
}

void enterListening(HWND window)
{
    frontShowDisplayState(window, DisplayListening);
    startPollTimer(window);
    program.listening = 1;
    showListeningControls(window);
}

void enterStandingBy(HWND window)
{
    tripwiresStop(window);
    stopPollTimer(window);
    stopListening(program.listener, window);
    frontShowDisplayState(window, DisplayStandingBy);
    program.listening = 0;
    showStandingByControls(window);
}

void listenSequence(HWND window)
{
    if (program.listening)
        return;
    const int kind = selectedDaemonKind(window);
    selectDaemon(program.scriptTable, kind);
    // With no daemon checked the active slot stays as it was, and so does its name.
    if (kind != DaemonNone)
        program.activeDaemonKind = kind;
    if (!startListening(program.listener, window, program.scriptTable[kActiveSlot].port))
        return;
    enterListening(window);
    tripwiresStart(window);
    program.settingsChanged = 1;
    alertsPostEvent(window, AlertListen);
}

// Before the listener closes, while its port can still be read.
void postStandbyAlert(HWND window)
{
    if (program.listener.listenSocket != kNoSocket)
        alertsPostEvent(window, AlertStandby);
}

void standBySequence(HWND window)
{
    if (!program.listening)
        return;
    tripwiresStop(window);
    postStandbyAlert(window);
    enterStandingBy(window);
    program.settingsChanged = 1;
}

void saveProgramSettings(HWND window)
{
    saveSettings(program.listening, selectedDaemonKind(window), frontLogSwitchOn(window), program.logPath,
                 program.scriptTable[DaemonCustom], kSettingsFile);
}

bool settingsFileExists()
{
    std::FILE* file = std::fopen(kSettingsFile, "r");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

// The check box does not toggle itself: it is ticked only with a log path.
void logCheckRule(HWND window)
{
    if (frontLogSwitchOn(window)) {
        setLogSwitch(window, 0);
        program.settingsChanged = 1;
    } else if (program.logPath[0] != '\0') {
        setLogSwitch(window, 1);
        program.settingsChanged = 1;
    } else {
        showErrorNotice(window, NoticeNoLogPath);
    }
}

// The six modal dialogs: owner the main window, no parameter, result ignored.
void openDialog(HWND window, int templateId)
{
    switch (templateId) {
    case IDD_CUSTOM_DAEMON: openCustomDaemonDialog(window); break;
    case IDD_LOG_PATH: openLogPathDialog(window); break;
    case IDD_CONNECTIONS_LOG: openConnectionsLogDialog(window); break;
    case IDD_PREVIEW: openPreviewDialog(window); break;
    case IDD_ABOUT: openAboutDialog(window); break;
    case IDD_ALERTS: openAlertsDialog(window); break;
    default: break;
    }
}

void openPreview(HWND window)
{
    if (!program.listening)
        selectDaemon(program.scriptTable, selectedDaemonKind(window));
    openDialog(window, IDD_PREVIEW);
}

void openHelpFile(HWND window)
{
    ShellExecuteA(window, "open", "velmo.hlp", nullptr, nullptr, SW_SHOW);
}

void toggleListening(HWND window)
{
    SendMessageA(window, WM_COMMAND, program.listening ? IDC_STANDBY : IDC_LISTEN, 0);
}

void saveSettingsCommand(HWND window)
{
    saveProgramSettings(window);
    program.settingsChanged = 0;
}

LRESULT onCommand(HWND window, int id)
{
    switch (id) {
    case IDM_SAVE_SETTINGS: saveSettingsCommand(window); break;
    case IDM_SEND_TO_TRAY: ShowWindow(window, SW_HIDE); break;
    case IDM_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); break;
    case IDM_SET_CUSTOM: openDialog(window, IDD_CUSTOM_DAEMON); break;
    case IDM_SET_LOG_PATH: openDialog(window, IDD_LOG_PATH); break;
    case IDM_ALERTS: openDialog(window, IDD_ALERTS); break;
    case IDM_ABOUT: openDialog(window, IDD_ABOUT); break;
    case IDM_HELP: openHelpFile(window); break;
    case IDM_RESTORE: showMainWindow(window); break;
    case IDM_TOGGLE_LISTEN: toggleListening(window); break;
    case IDC_PREVIEW: openPreview(window); break;
    case IDC_LISTEN: listenSequence(window); break;
    case IDC_STANDBY: standBySequence(window); break;
    case IDC_LOG_PATH_BUTTON: openDialog(window, IDD_LOG_PATH); break;
    case IDC_VIEW_LOG: openDialog(window, IDD_CONNECTIONS_LOG); break;
    case IDC_LOG_CHECK: logCheckRule(window); break;
    default: break;
    }
    return 0;
}

LRESULT onTimer(HWND window, WPARAM timerId)
{
    switch (LOWORD(timerId)) {
    case kPollTimerId:
        pollTick(program.listener, program.scriptTable[kActiveSlot], program.logPath, window);
        break;
    case kDisconnectTimerId:
        disconnectTimerFired(program.listener, window);
        break;
    case kAlertTimerId:
        alertsTick(window);
        break;
    case kTripwireTimerId:
        tripwiresServeBatch(window);
        break;
    case kDetectedHoldTimerId:
        tripwiresHoldEnded(window);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT onSize(HWND window, WPARAM sizeType)
{
    if (sizeType == SIZE_MINIMIZED)
        ShowWindow(window, SW_HIDE);
    SendMessageA(program.statusBar, WM_SIZE, 0, 0);
    return 0;
}

// With alerts waiting, the message loop outlives the close sequence by at
// most 2 s, the window hidden and the tray icon gone; a second close then
// changes nothing.
LRESULT onClose(HWND window)
{
    if (program.exitDeadlineMs != 0)
        return 0;
    if (program.settingsChanged) {
        if (settingsFileExists()) {
            saveProgramSettings(window);
        } else {
            int answer = MessageBoxA(window, "Would you like to save your settings?", "Confirm Exit From Velmoranth",
                                     MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL)
                return 0;
            if (answer == IDYES)
                saveProgramSettings(window);
        }
    }
    tripwiresStop(window);
    postStandbyAlert(window);
    stopListening(program.listener, window);
    trayIconRemove();
    // Saved and closed: a start from now on may run at once, even while the
    // alerts still wait.
    releaseWorkingFolder(window);
    if (!alertsHoldExit(window))
        PostQuitMessage(0);
    return 0;
}

// The listener is closed already at the query, before the system knows
// whether the session really ends.
LRESULT onQueryEndSession(HWND window)
{
    tripwiresStop(window);
    postStandbyAlert(window);
    stopListening(program.listener, window);
    if (program.settingsChanged)
        saveProgramSettings(window);
    alertsFlush();
    return 1;
}

// A shutdown or log-off that did not happen: the window still says it
// listens, so listen again; when that fails, show standing by truthfully.
LRESULT onEndSession(HWND window, WPARAM sessionEnds)
{
    if (sessionEnds || !program.listening)
        return 0;
    stopPollTimer(window);
    if (startListening(program.listener, window, program.scriptTable[kActiveSlot].port)) {
        frontShowDisplayState(window, DisplayListening);
        startPollTimer(window);
        tripwiresStart(window);
        alertsPostEvent(window, AlertListen);
    } else {
        enterStandingBy(window);
    }
    return 0;
}

// An HTTP answer came on a worker's thread: its outcome is taken at once.
LRESULT onAlertWake(HWND window)
{
    alertsTick(window);
    return 0;
}

LRESULT onTaskbarCreated()
{
    trayIconAddAgain();
    return 0;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return onCreate(window);
    case WM_COMMAND: return onCommand(window, LOWORD(wParam));
    case WM_TIMER: return onTimer(window, wParam);
    case WM_SIZE: return onSize(window, wParam);
    case WM_CLOSE: return onClose(window);
    case WM_QUERYENDSESSION: return onQueryEndSession(window);
    case WM_ENDSESSION: return onEndSession(window, wParam);
    case kTrayMessage: return trayIconNotify(window, wParam, lParam);
    case kAlertWakeMessage: return onAlertWake(window);
    case kRestoreRequest: return answerRestoreRequest(window);
    default:
        if (message == taskbarCreatedMessage && message != 0)
            return onTaskbarCreated();
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

ATOM registerMainWindowClass(HINSTANCE module)
{
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_LISTENING));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
    windowClass.lpszClassName = kClassName;
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(IDI_LISTENING), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    return RegisterClassExA(&windowClass);
}

HWND createMainWindow(HINSTANCE module)
{
    return CreateWindowExA(WS_EX_STATICEDGE, kClassName, "Velmoranth", WS_SYSMENU | WS_MINIMIZEBOX, 150, 50, 261,
                           240, nullptr, nullptr, module, nullptr);
}

int selectedDaemonKind(HWND window)
{
    for (int kind = DaemonFreeBSD; kind <= DaemonCustom; ++kind) {
        if (SendDlgItemMessageA(window, kDaemonButtonIds[kind - 1], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return kind;
    }
    return DaemonNone;
}

void checkDaemonButton(HWND window, int kind)
{
    if (kind < DaemonFreeBSD || kind > DaemonCustom)
        return;
    SendDlgItemMessageA(window, kDaemonButtonIds[kind - 1], BM_SETCHECK, BST_CHECKED, 0);
}
