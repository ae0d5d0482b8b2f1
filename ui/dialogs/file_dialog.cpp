#include "ui/dialogs/file_dialog.h"

namespace {

struct FileDialogSetup {
    const char* filter;  // pairs of name and pattern; the literal's own NUL ends the list
    const char* defaultExtension;
    DWORD flags;
};

const DWORD kOpenOptions = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
// Save must be able to name a new file; an existing one is replaced unasked.
const DWORD kSaveOptions = kOpenOptions & ~OFN_FILEMUSTEXIST;

// Indexed by FileDialogPurpose.
const FileDialogSetup kSetups[] = {
    {"Velmo Files (*.vlm)\0*.vlm\0All Files (*.*)\0*.*\0", "vlm", kOpenOptions},
    {"Velmo Files (*.vlm)\0*.vlm\0", "vlm", kSaveOptions},
    {"Log Files (*.log)\0*.log\0All Files (*.*)\0*.*\0", "log", kOpenOptions},
};

} // namespace

void fillFileDialogForm(OPENFILENAMEA& form, FileDialogPurpose purpose, HWND owner, char (&fileName)[kPathSize])
{
    const FileDialogSetup& setup = kSetups[purpose];
    fileName[0] = '\0';
    ZeroMemory(&form, sizeof form);
    form.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    form.hwndOwner = owner;
    form.lpstrFilter = setup.filter;
    form.lpstrFile = fileName;
    form.nMaxFile = sizeof fileName;
    form.lpstrDefExt = setup.defaultExtension;
    form.Flags = setup.flags;
}

int chooseFile(FileDialogPurpose purpose, HWND owner, char (&fileName)[kPathSize])
{
    OPENFILENAMEA form;
    fillFileDialogForm(form, purpose, owner, fileName);
    BOOL chosen = purpose == SaveCustomDaemonFile ? GetSaveFileNameA(&form) : GetOpenFileNameA(&form);
    return chosen ? 1 : 0;
}
