#include "ui/dialogs/file_dialog.h"

#include <gtest/gtest.h>

// Save must be able to name a new file: it alone goes without OFN_FILEMUSTEXIST.
TEST(FileDialog, EachPurposeGetsItsOptionsAndTheWholeFileNameBuffer)
{
    for (FileDialogPurpose purpose : {LoadCustomDaemonFile, SaveCustomDaemonFile, BrowseLogFile}) {
        char fileName[kPathSize] = "old";
        OPENFILENAMEA form;
        fillFileDialogForm(form, purpose, nullptr, fileName);
        const DWORD mustExist = purpose == SaveCustomDaemonFile ? 0 : OFN_FILEMUSTEXIST;
        EXPECT_EQ(form.Flags, OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | mustExist) << "purpose " << purpose;
        EXPECT_TRUE(form.lpstrFile == fileName && form.nMaxFile == sizeof fileName && fileName[0] == '\0');
    }
}
