// The decoy's window services, on the main window of the program.
#include "engine/front_end.h"

#include "resources/resource.h"
#include "storage/connection_log.h"
#include "ui/display_state.h"
#include "ui/program_state.h"
#include "ui/tray_icon.h"
#include "ui/window_alerts.h"
#include "ui/window_tripwires.h"

#include <commctrl.h>

namespace {

HWND asWindow(WindowHandle handle)
{
    return static_cast<HWND>(handle);
}

} // namespace

void frontShowNotice(WindowHandle owner, const char* caption, const char* text)
{
    MessageBoxA(asWindow(owner), text, caption, MB_ICONERROR | MB_OK);
}

// A tripwire's hit holds Detected for a while, whatever a conversation's end says.
void frontShowDisplayState(WindowHandle, DisplayState state)
{
    if (state == DisplayListening && tripwiresHoldDetected())
        return;
    const DisplayStateTexts texts = displayStateTexts(state);
    SendMessageA(program.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(texts.statusText));
    trayIconShowState(state);
}

void frontStartTimer(WindowHandle window, int timerId, unsigned periodMs)
{
    SetTimer(asWindow(window), static_cast<UINT_PTR>(timerId), periodMs, nullptr);
}

void frontStopTimer(WindowHandle window, int timerId)
{
    KillTimer(asWindow(window), static_cast<UINT_PTR>(timerId));
}

int frontLogSwitchOn(WindowHandle window)
{
    return SendDlgItemMessageA(asWindow(window), IDC_LOG_CHECK, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void frontLogCaller(const char* logPath, const char* callerAddress, int port)
{
    appendConnectionLog(logPath, callerAddress, port);
}

void frontCallerAccepted(WindowHandle window, const PeerAddress& peer)
{
    alertsPostEvent(asWindow(window), AlertConnect, &peer);
}
