#include "ui/dialogs/file_dialog.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

// Save must be able to name a new file: it alone goes without OFN_FILEMUSTEXIST.
TEST(FileDialog, EachPurposeOffersItsFilesAndOptions)
{
    const DWORD kept = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const struct {
        FileDialogPurpose purpose;
        std::string filter;  // the whole list, its closing second NUL included
        DWORD flags;
    } kCases[] = {
        {LoadCustomDaemonFile, "Velmo Files (*.vlm)\0*.vlm\0All Files (*.*)\0*.*\0\0"s, kept | OFN_FILEMUSTEXIST},
        {SaveCustomDaemonFile, "Velmo Files (*.vlm)\0*.vlm\0\0"s, kept},
        {BrowseLogFile, "Log Files (*.log)\0*.log\0All Files (*.*)\0*.*\0\0"s, kept | OFN_FILEMUSTEXIST},
    };
    for (const auto& c : kCases) {
        char fileName[kPathSize] = "old";
        OPENFILENAMEA form;
        fillFileDialogForm(form, c.purpose, nullptr, fileName);
        EXPECT_EQ(std::string(form.lpstrFilter, c.filter.size()), c.filter);
        EXPECT_EQ(form.Flags, c.flags) << "purpose " << c.purpose;
        EXPECT_TRUE(form.lpstrFile == fileName && form.nMaxFile == sizeof fileName && fileName[0] == '\0');
    }
}
