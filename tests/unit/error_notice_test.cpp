#include "engine/error_notice.h"

#include "fakes/front_end_fake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(1);
WindowHandle const kDialog = reinterpret_cast<WindowHandle>(2);

TEST(Notices, EveryCodeShowsItsCaptionAndTextAndOthersShowNothing)
{
    const char* const kTexts[] = {
        "Listen failed.\n\nWSAStartup()", "Listen failed.\n\nSocket()", "Listen failed.\n\nBind()",
        "Listen failed.\n\nListen()", "Listen failed.\n\nAccept()", "Listen failed.\n\nSend()",
        "No custom port set.", "The maximum port number is 65536.", "No log path set.",
        "File not found.", "Unknown file format.", "The Timer is not set.",
    };
    resetFakeFront();
    for (int code = -1; code <= 13; ++code) {
        fakeFront().lastNoticeText = "none";
        showErrorNotice(kDialog, code);
        EXPECT_EQ(fakeFront().lastNoticeText, code >= 1 && code <= 12 ? kTexts[code - 1] : "none") << code;
    }
    EXPECT_EQ(shownNoticeCodes(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(fakeFront().noticeOwners, std::vector<WindowHandle>(12, kDialog));
}

// Timer ticks keep coming while a box waits for its user: a failure repeating
// under an open box raises no second box for that owner, while a dialog's own
// notice still shows.
TEST(Notices, OneOpenBoxPerOwner)
{
    resetFakeFront();
    int ticks = 0;
    fakeFront().whileNoticeOpen = [&] {
        for (; ticks < 3; ++ticks) {
            showErrorNotice(kWindow, NoticeSend);
            showErrorNotice(kDialog, NoticeMaxPort);
        }
    };
    showErrorNotice(kWindow, NoticeSend);
    fakeFront().whileNoticeOpen = nullptr;
    showErrorNotice(kWindow, NoticeSend);
    EXPECT_EQ(shownNoticeCodes(), (std::vector<int>{6, 8, 6}));
    EXPECT_EQ(fakeFront().noticeOwners, (std::vector<WindowHandle>{kWindow, kDialog, kWindow}));
}

} // namespace
