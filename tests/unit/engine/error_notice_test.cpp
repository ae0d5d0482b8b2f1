#include "engine/error_notice.h"

#include "fakes/front_end_fake.h"

#include <gtest/gtest.h>

WindowHandle const kDialog = reinterpret_cast<WindowHandle>(2);

// Codes 1 to 12 show their caption and text. Ticks keep coming while a box waits: a failure repeating under an open
// box raises no second box for its owner, while a dialog's own notice still shows.
TEST(Notices, EachCodeShowsItsTextAndEachOwnerOneBoxAtATime)
{
    resetFakeFront();
    for (int code = -1; code <= 13; ++code)
        showErrorNotice(kDialog, code);
    EXPECT_EQ(fakeFront().noticeCodes, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    resetFakeFront();
    int ticks = 0;
    fakeFront().whileNoticeOpen = [&ticks] {
        for (; ticks < 3; ++ticks)
            showErrorNotice(kWindow, NoticeSend), showErrorNotice(kDialog, NoticeMaxPort);
    };
    showErrorNotice(kWindow, NoticeSend);
    fakeFront().whileNoticeOpen = nullptr;
    showErrorNotice(kWindow, NoticeSend);
    EXPECT_EQ(fakeFront().events, "notice 1 Error #6\nnotice 2 Error #8\nnotice 1 Error #6\n");
}
