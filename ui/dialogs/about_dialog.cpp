#include "ui/dialogs/about_dialog.h"

#include "resources/resource.h"
#include "ui/dialogs/modal_dialog.h"
#include "ui/program_state.h"

#include <shellapi.h>

namespace {

// The maker's addresses; the only place they are written down.
const char kMakerMailLink[] = "mailto:maker@example.org";
const char kMakerSiteLink[] = "http://www.example.org/velmoranth/";

// SS_BITMAP sizes the control to the bitmap, so width and height are 0.
INT_PTR onInitDialog(HWND dialog)
{
    HBITMAP banner = LoadBitmapA(program.module, MAKEINTRESOURCEA(IDB_ABOUT_BANNER));
    HWND picture = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 0, 0, dialog,
                                   nullptr, program.module, nullptr);
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner));
    return TRUE;
}

// A picture control does not own its bitmap: free it with the dialog, so
// every opening does not leave one behind.
INT_PTR onDestroy(HWND dialog)
{
    HWND picture = GetDlgItem(dialog, 0);
    HGDIOBJ banner = reinterpret_cast<HGDIOBJ>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    if (banner)
        DeleteObject(banner);
    return FALSE;
}

// The result of the shell is not looked at: a missing mail program or browser
// goes unreported.
void openLink(HWND dialog, const char* link)
{
    ShellExecuteA(dialog, "open", link, nullptr, nullptr, SW_HIDE);
}

INT_PTR onCommand(HWND dialog, int id, int)
{
    switch (id) {
    case IDC_ABOUT_OK:
    case IDCANCEL:
        EndDialog(dialog, IDC_ABOUT_OK);
        return TRUE;
    case IDC_ABOUT_EMAIL:
        openLink(dialog, kMakerMailLink);
        EndDialog(dialog, IDC_ABOUT_EMAIL);
        return TRUE;
    case IDC_ABOUT_WEB:
        openLink(dialog, kMakerSiteLink);
        EndDialog(dialog, IDC_ABOUT_WEB);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR onOther(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_DESTROY: return onDestroy(dialog);
    default: return FALSE;
    }
}

const ModalDialog kDialog = {IDD_ABOUT, onInitDialog, onCommand, onOther};

} // namespace

void openAboutDialog(HWND owner)
{
    runModalDialog(owner, kDialog);
}
