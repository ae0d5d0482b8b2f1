#include "ui/dialogs/preview_dialog.h"

#include "engine/script_outline.h"
#include "resources/resource.h"
#include "ui/program_state.h"

namespace {

INT_PTR onInitDialog(HWND dialog)
{
    composePreview(dialog);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id)
{
    if (id != IDC_PREVIEW_OK && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, IDC_PREVIEW_OK);
    return TRUE;
}

} // namespace

void openPreviewDialog(HWND owner)
{
    DialogBoxParamA(program.module, MAKEINTRESOURCEA(IDD_PREVIEW), owner, previewDialogProc, 0);
}

INT_PTR CALLBACK previewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}

// One buffer holds each text in turn; it is sized for the largest outline a
// stored script can give, so long hand-edited texts are shown whole.
void composePreview(HWND dialog)
{
    const DaemonScript& script = program.scriptTable[kActiveSlot];
    char buffer[kPreviewBufferSize];
    buffer[0] = '\0';
    composePortLine(script, buffer);
    SetDlgItemTextA(dialog, IDC_PREVIEW_PORT, buffer);
    composeTimerLine(script, buffer);
    SetDlgItemTextA(dialog, IDC_PREVIEW_TIMER, buffer);
    composeOutline(script, buffer);
    SetDlgItemTextA(dialog, IDC_PREVIEW_OUTLINE, buffer);
}
