#include "ui/dialogs/file_dialog.h"

#include <gtest/gtest.h>

// Save must be able to name a new file: it alone goes without OFN_FILEMUSTEXIST.
TEST(FileDialog, EachPurposeGetsItsOptionsAndTheWholeFileNameBuffer)
{
    const DWORD kept = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const struct {
        FileDialogPurpose purpose;
        DWORD flags;
    } kCases[] = {
        {LoadCustomDaemonFile, kept | OFN_FILEMUSTEXIST},
        {SaveCustomDaemonFile, kept},
        {BrowseLogFile, kept | OFN_FILEMUSTEXIST},
    };
    for (const auto& c : kCases) {
        char fileName[kPathSize] = "old";
        OPENFILENAMEA form;
        fillFileDialogForm(form, c.purpose, nullptr, fileName);
        EXPECT_EQ(form.Flags, c.flags) << "purpose " << c.purpose;
        EXPECT_TRUE(form.lpstrFile == fileName && form.nMaxFile == sizeof fileName && fileName[0] == '\0');
    }
}
