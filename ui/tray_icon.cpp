#include "ui/tray_icon.h"

#include "engine/daemon_script.h"
#include "resources/resource.h"
#include "ui/display_state.h"
#include "ui/program_state.h"

namespace {

// Message, icon and tip go together with every change.
const UINT kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// Each state's picture is loaded once and kept for the run. Under Wine every
// icon loaded from the module and destroyed again leaves its module's name
// behind, which a busy decoy would pay twice for each caller.
HICON trayPicture(int iconId)
{
    const int index = iconId - IDI_LISTENING;
    if (index < 0 || index >= kTrayPictureCount)
        return nullptr;
    HICON& picture = program.trayPictures[index];
    if (!picture)
        picture = static_cast<HICON>(LoadImageA(program.module, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 16, 16,
                                                LR_DEFAULTCOLOR));
    return picture;
}

// The record's tip field is larger than the first form's 64 bytes, which is
// all the shell reads of it.
void storeState(DisplayState state)
{
    static_assert(kTipSize <= sizeof program.trayIcon.szTip, "tip field too small");
    const DisplayStateTexts texts = displayStateTexts(state);
    program.trayIcon.hIcon = trayPicture(texts.iconId);
    copyText(program.trayIcon.szTip, texts.tip, kTipSize);
}

HMENU buildTrayMenu()
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDM_RESTORE, "&Restore Velmoranth");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDC_PREVIEW, "View &Daemon");
    AppendMenuA(menu, MF_STRING, IDC_VIEW_LOG, "View &Log");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT, "&About Velmoranth");
    AppendMenuA(menu, MF_STRING, IDM_HELP, "&Help");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_EXIT, "E&xit");
    SetMenuDefaultItem(menu, IDM_RESTORE, FALSE);
    return menu;
}

void showTrayMenu(HWND window)
{
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(window);
    TrackPopupMenu(program.trayMenu, TPM_RIGHTALIGN, cursor.x, cursor.y, 0, window, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(window, WM_NULL, 0, 0);
}

} // namespace

void trayIconAdd(HWND window)
{
    NOTIFYICONDATAA& icon = program.trayIcon;
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = kTrayIconId;
    icon.uFlags = kTrayFlags;
    icon.uCallbackMessage = kTrayMessage;
    storeState(DisplayStandingBy);
    Shell_NotifyIconA(NIM_ADD, &icon);
    program.trayMenu = buildTrayMenu();
}

void trayIconShowState(DisplayState state)
{
    storeState(state);
    program.trayIcon.uFlags = kTrayFlags;
    Shell_NotifyIconA(NIM_MODIFY, &program.trayIcon);
}

void trayIconAddAgain()
{
    Shell_NotifyIconA(NIM_ADD, &program.trayIcon);
}

void trayIconRemove()
{
    Shell_NotifyIconA(NIM_DELETE, &program.trayIcon);
    DestroyMenu(program.trayMenu);
    program.trayMenu = nullptr;
}

LRESULT trayIconNotify(HWND window, WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != kTrayIconId)
        return 0;
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDBLCLK:
        showMainWindow(window);
        break;
    case WM_RBUTTONDOWN:
        showTrayMenu(window);
        break;
    default:
        break;
    }
    return 0;
}

void showMainWindow(HWND window)
{
    ShowWindow(window, SW_SHOW);
    ShowWindow(window, SW_RESTORE);
}
