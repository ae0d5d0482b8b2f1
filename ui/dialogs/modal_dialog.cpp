#include "ui/dialogs/modal_dialog.h"

#include "ui/program_state.h"

namespace {

// Set at WM_INITDIALOG; messages before it have no handlers yet.
const ModalDialog* handlersOf(HWND dialog)
{
    return reinterpret_cast<const ModalDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR onInitDialog(HWND dialog, LPARAM handlers)
{
    SetWindowLongPtrA(dialog, DWLP_USER, handlers);
    return handlersOf(dialog)->onInit(dialog);
}

INT_PTR onCommand(HWND dialog, WPARAM wParam)
{
    const ModalDialog* handlers = handlersOf(dialog);
    return handlers ? handlers->onCommand(dialog, LOWORD(wParam), HIWORD(wParam)) : FALSE;
}

INT_PTR onOther(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const ModalDialog* handlers = handlersOf(dialog);
    return handlers && handlers->onOther ? handlers->onOther(dialog, message, wParam, lParam) : FALSE;
}

INT_PTR CALLBACK modalDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog, lParam);
    case WM_COMMAND: return onCommand(dialog, wParam);
    default: return onOther(dialog, message, wParam, lParam);
    }
}

} // namespace

void runModalDialog(HWND owner, const ModalDialog& dialog)
{
    DialogBoxParamA(program.module, MAKEINTRESOURCEA(dialog.templateId), owner, modalDialogProc,
                    reinterpret_cast<LPARAM>(&dialog));
}

INT_PTR endOnOk(HWND dialog, int id, int okId)
{
    if (id != okId && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, okId);
    return TRUE;
}
