#include "ui/dialogs/preview_dialog.h"

#include "engine/script_outline.h"
#include "resources/resource.h"
#include "ui/dialogs/modal_dialog.h"
#include "ui/program_state.h"

namespace {

INT_PTR onInitDialog(HWND dialog)
{
    composePreview(dialog);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id, int)
{
    return endOnOk(dialog, id, IDC_PREVIEW_OK);
}

const ModalDialog kDialog = {IDD_PREVIEW, onInitDialog, onCommand, nullptr};

} // namespace

void openPreviewDialog(HWND owner)
{
    runModalDialog(owner, kDialog);
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
