#include "ui/dialogs/file_dialog.h"

#include <gtest/gtest.h>

#include <string>

// Save must be able to name a new file: it alone goes without OFN_FILEMUSTEXIST.
// Load and Save offer custom daemon files, the log path's browse log files.
TEST(FileDialog, EachPurposeOffersItsFilesAndOptions)
{
    const DWORD kept = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const struct {
        FileDialogPurpose purpose;
        const char* firstFilter;
        DWORD flags;
    } kCases[] = {
        {LoadCustomDaemonFile, "Velmo Files (*.vlm)", kept | OFN_FILEMUSTEXIST},
        {SaveCustomDaemonFile, "Velmo Files (*.vlm)", kept},
        {BrowseLogFile, "Log Files (*.log)", kept | OFN_FILEMUSTEXIST},
    };
    for (const auto& c : kCases) {
        char fileName[kPathSize] = "old";
        OPENFILENAMEA form;
        fillFileDialogForm(form, c.purpose, nullptr, fileName);
        EXPECT_STREQ(form.lpstrFilter, c.firstFilter);
        EXPECT_EQ(form.Flags, c.flags) << "purpose " << c.purpose;
        EXPECT_TRUE(form.lpstrFile == fileName && form.nMaxFile == sizeof fileName && fileName[0] == '\0');
    }
}
