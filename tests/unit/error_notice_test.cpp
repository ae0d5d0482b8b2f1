#include "engine/error_notice.h"
#include "fakes/front_end_fake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int ownerA, ownerB;

class Notices : public ::testing::Test {
protected:
    void SetUp() override { resetFakeFront(); }
};

TEST_F(Notices, EveryCodeHasItsCaptionAndText)
{
    const char* texts[] = {
        "Listen failed.\n\nWSAStartup()", "Listen failed.\n\nSocket()", "Listen failed.\n\nBind()",
        "Listen failed.\n\nListen()", "Listen failed.\n\nAccept()", "Listen failed.\n\nSend()",
        "No custom port set.", "The maximum port number is 65536.", "No log path set.",
        "File not found.", "Unknown file format.", "The Timer is not set.",
    };
    for (int code = 1; code <= 12; ++code) {
        showErrorNotice(&ownerA, code);
        const FrontEvent& shown = fakeFront().events.back();
        EXPECT_EQ(shown.kind, FrontEvent::Notice);
        EXPECT_EQ(shown.text, "Error #" + std::to_string(code));
        EXPECT_EQ(shown.detail, texts[code - 1]);
        EXPECT_EQ(shown.handle, &ownerA);
    }
    EXPECT_EQ(fakeFront().events.size(), 12u);
}

TEST_F(Notices, CodesOutsideTheTableShowNothing)
{
    for (int code : {0, 13, -1, 1000})
        showErrorNotice(&ownerA, code);
    EXPECT_TRUE(fakeFront().events.empty());
    EXPECT_EQ(errorNoticeFor(0), nullptr);
    EXPECT_EQ(errorNoticeFor(13), nullptr);
}

TEST_F(Notices, ARepeatedFailureUnderAnOpenBoxRaisesNoSecondBox)
{
    int ticks = 0;
    fakeFront().whileNoticeOpen = [&] {
        // Timer ticks delivered by the box's own loop while the user does not answer.
        for (; ticks < 5; ++ticks)
            showErrorNotice(&ownerA, NoticeSend);
    };
    showErrorNotice(&ownerA, NoticeSend);
    EXPECT_EQ(shownNoticeCodes(), std::vector<int>{NoticeSend});
    EXPECT_EQ(ticks, 5);

    // Once the box is closed the next failure shows again.
    fakeFront().whileNoticeOpen = nullptr;
    showErrorNotice(&ownerA, NoticeSend);
    EXPECT_EQ(shownNoticeCodes(), (std::vector<int>{NoticeSend, NoticeSend}));
}

TEST_F(Notices, AnotherOwnerStillGetsItsNotice)
{
    // A dialog's own notice must not be swallowed by the main window's open box.
    bool nested = false;
    fakeFront().whileNoticeOpen = [&] {
        if (nested)
            return;
        nested = true;
        showErrorNotice(&ownerB, NoticeMaxPort);
    };
    showErrorNotice(&ownerA, NoticeSend);
    EXPECT_EQ(shownNoticeCodes(), (std::vector<int>{NoticeSend, NoticeMaxPort}));
    EXPECT_EQ(fakeFront().events[1].handle, &ownerB);
}

} // namespace
