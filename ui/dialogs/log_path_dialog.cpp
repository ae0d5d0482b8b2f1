#include "ui/dialogs/log_path_dialog.h"

#include "resources/resource.h"
#include "ui/dialogs/file_dialog.h"
#include "ui/dialogs/modal_dialog.h"
#include "ui/program_state.h"

namespace {

INT_PTR onInitDialog(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_LOG_PATH_EDIT, program.logPath);
    return TRUE;
}

// The chosen path goes into the field only; OK commits it.
void onBrowse(HWND dialog)
{
    char fileName[kPathSize];
    if (chooseFile(BrowseLogFile, dialog, fileName))
        SetDlgItemTextA(dialog, IDC_LOG_PATH_EDIT, fileName);
}

// A longer path is cut after its 299th character.
void onOk(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_LOG_PATH_EDIT, program.logPath, sizeof program.logPath);
    program.settingsChanged = 1;
    EndDialog(dialog, IDC_LOG_PATH_OK);
}

INT_PTR onCommand(HWND dialog, int id, int)
{
    switch (id) {
    case IDC_LOG_PATH_CANCEL:
    case IDCANCEL:
        EndDialog(dialog, IDC_LOG_PATH_CANCEL);
        return TRUE;
    case IDC_LOG_PATH_BROWSE:
        onBrowse(dialog);
        return TRUE;
    case IDC_LOG_PATH_OK:
        onOk(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

const ModalDialog kDialog = {IDD_LOG_PATH, onInitDialog, onCommand, nullptr};

} // namespace

void openLogPathDialog(HWND owner)
{
    runModalDialog(owner, kDialog);
}
