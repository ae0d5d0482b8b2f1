// The core's window services, on the main window of the program.
#include "engine/front_end.h"

#include "resources/resource.h"
#include "ui/alert_events.h"
#include "ui/program_state.h"
#include "ui/tray_icon.h"

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

void frontSetStatusText(WindowHandle, const char* text)
{
    SendMessageA(program.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void frontSetTrayState(WindowHandle, int iconId, const char* tip)
{
    trayIconSetState(iconId, tip);
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

void frontListInsertItem(ListHandle list, int index, const char* text)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(text);
    SendMessageA(static_cast<HWND>(list), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void frontListSetSubItem(ListHandle list, int index, int subItem, const char* text)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text);
    SendMessageA(static_cast<HWND>(list), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void frontCallerAccepted(WindowHandle window, const PeerAddress& peer)
{
    alertsPostEvent(asWindow(window), AlertConnect, &peer);
}
