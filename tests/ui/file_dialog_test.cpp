#include "ui/dialogs/file_dialog.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

TEST(FileDialog, EachPurposeOffersItsFilesAndOptions)
{
    const DWORD keep = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const struct {
        FileDialogPurpose purpose;
        std::string filter;  // the whole list, its closing second NUL included
        const char* extension;
        DWORD flags;
    } cases[] = {
        {LoadCustomDaemonFile, "Velmo Files (*.vlm)\0*.vlm\0All Files (*.*)\0*.*\0\0"s, "vlm", keep | OFN_FILEMUSTEXIST},
        {SaveCustomDaemonFile, "Velmo Files (*.vlm)\0*.vlm\0\0"s, "vlm", keep},  // may name a new file
        {BrowseLogFile, "Log Files (*.log)\0*.log\0All Files (*.*)\0*.*\0\0"s, "log", keep | OFN_FILEMUSTEXIST},
    };
    for (const auto& expected : cases) {
        char fileName[kPathSize] = "old";
        OPENFILENAMEA form;
        fillFileDialogForm(form, expected.purpose, nullptr, fileName);
        EXPECT_EQ(std::string(form.lpstrFilter, expected.filter.size()), expected.filter);
        EXPECT_STREQ(form.lpstrDefExt, expected.extension);
        EXPECT_EQ(form.Flags, expected.flags) << "purpose " << expected.purpose;
        EXPECT_EQ(form.lStructSize, OPENFILENAME_SIZE_VERSION_400A);  // the form without the later extras
        EXPECT_EQ(form.lpstrFile, fileName);
        EXPECT_EQ(form.nMaxFile, sizeof fileName);
        EXPECT_EQ(fileName[0], '\0');
    }
}
