#include "engine/conversation.h"

#include "fakes/front_end_fake.h"
#include "fakes/net_fake.h"
#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

#include <regex>

const std::string kGreeting("\xFF\xFB\x01\xFF\xFD\x03\xFF\xFB\x03\xFF\xFE\x01", 12);
using namespace std::string_literals;
const std::string kDetected = "display Detected\n";
const std::string kListening = "display Listening\n";
const std::string kOneCall = kDetected + "start 10005 30000\n" + kListening + "stop 10005\n";
const std::string kStamp = " / \\d\\d\\.\\d\\d\\.20\\d\\d / \\d\\d:\\d\\d\r\n";

// A Custom daemon on port 4000 sending "W", "R" and "G".
static DaemonScript custom(int replyCount, int timerChoice, int repeat = 0, const char* welcome = "W", int echo = 0)
{
    return scriptWith(welcome, "R", "G", replyCount, 4000, timerChoice, echo, 0, repeat);
}

class Conversation : public ::testing::Test {
protected:
    ListenerState listener;
    DaemonScript script{};
    ScratchFolder folder;
    std::string logPath = folder.path("calls.log");

    Conversation() { resetFakeFront(); resetFakeNet(); }
    void tick(int count = 1) { while (count--) pollTick(listener, script, logPath.c_str(), kWindow); }
    int poll() { return pollListener(listener, script, logPath.c_str(), kWindow); }
    bool loggedAs(const std::string& log) { return std::regex_match(folder.read("calls.log"), std::regex(log)); }
    // A caller connects and the next tick accepts it.
    FakeCaller& admit() { FakeCaller& caller = fakeConnect(); return tick(), caller; }
    FakeCaller& callIn(const DaemonScript& daemon)
    {
        script = daemon;
        EXPECT_EQ(startListening(listener, kWindow, script.port), 1);
        return admit();
    }
};

struct ReplyCase {
    const char* name;
    DaemonScript daemon;
    std::string input;  // typed at once, before the first tick
    int ticks;
    std::string received;
    int hangUpTick;  // 0: still connected after the last tick
    bool callerHangsUp = false;
};

TEST_F(Conversation, ReplyCountTimerAndRepeatDecideWhatIsAnsweredAndWhenToHangUp)
{
    const ReplyCase kCases[] = {
        {"0 lines, no timer: hang up at once", custom(0, 0), "", 1, "W", 1},
        {"0 lines, timer: read nothing until the timer", custom(0, 1, 1), "abc\r\n", 4, "W", 0},
        {"1 line, no timer: reply, never goodbye", custom(1, 0), "line\r\nmore\r\n", 3, "WR", 2},
        {"1 line, repeat: the prompt again", custom(1, 1, 1, "Welcome\r\nName? "), "one\rtwo\r", 4,
         "Welcome\r\nName? R\r\nName? R", 0},
        {"1 line, no repeat: start over silently", custom(1, 1, 0, "Welcome\r\nName? "), "one\rtwo\r", 4,
         "Welcome\r\nName? RR", 0},
        {"2 lines, no timer: goodbye, then hang up", custom(2, 0), "one\r\ntwo\r\n", 3, "WRG", 3},
        {"3 lines: the third is read and answered with nothing", custom(3, 0), "one\rtwo\rthree\r", 5, "WRG", 4},
        {"a hang-up mid-line is not answered", custom(2, 1), "hal", 2, "W", 1, true},
        {"echo on the second line only: NUL echoed, LF never; every line still ends in LF CR",
         scriptWith("Hi\r\n> ", "R", "G", 2, 4000, 1, 0, 1, 1), "ab\r\0c\nd\r\ne\rf\r"s, 5,
         kGreeting + "Hi\r\n> \n\rR\0cd\r\n\rG\r\n> \n\rRf\r\n\rG"s, 0},
        {"a text that lost its terminator ends at its buffer", unterminated(custom(1, 1, 0, "w")), "", 1,
         std::string(600, 'w'), 0},
    };
    for (const ReplyCase& c : kCases) {
        SCOPED_TRACE(c.name);
        resetFakeNet(), resetFakeFront();
        FakeCaller& caller = callIn(c.daemon);
        caller.input = c.input, caller.hungUp = c.callerHangsUp;
        int hungUpAt = 0;
        for (int i = 1; i <= c.ticks; ++i)
            tick(), hungUpAt = hungUpAt ? hungUpAt : caller.closes * i;
        EXPECT_EQ(caller.received, c.received);
        EXPECT_EQ(hungUpAt, c.hangUpTick);
        const std::string& told = fakeFront().events;  // the timer runs when it was started after its last stop
        EXPECT_EQ(told.rfind("start 10005") + 1 > told.rfind("stop 10005") + 1, !c.hangUpTick && c.daemon.timerChoice);
        EXPECT_TRUE(fakeFront().noticeCodes.empty());
        stopListening(listener, kWindow);
    }
}

TEST_F(Conversation, WaitingCallersAreTakenInTurnEachWithItsOwnAlertLogAndTimer)
{
    fakeFront().logSwitch = 1;
    FakeCaller& first = callIn(custom(2, 1));
    FakeCaller& second = fakeConnect();
    first.input = "x\r";
    tick(3);
    EXPECT_EQ(first.received, "WR");
    fakeFront().logSwitch = 0;  // read afresh at each accept
    first.hungUp = true;
    tick();  // the hang-up ends this poll: the next caller waits for the next one
    EXPECT_EQ(second.received, "");
    tick();
    EXPECT_EQ(second.received, "W");
    fakeFront().logSwitch = 1;
    disconnectTimerFired(listener, kWindow);
    disconnectTimerFired(listener, kWindow);  // a late tick must not close the handle again
    EXPECT_EQ(listener.watchedSockets.count, 1) << "between calls only the listening socket is watched";
    admit();
    EXPECT_EQ(second.closes, 1);
    EXPECT_EQ(fakeFront().events, kOneCall + kOneCall + "stop 10005\n" + kDetected + "start 10005 30000\n");
    EXPECT_TRUE(loggedAs("192\\.0\\.2\\.1 :4000" + kStamp + "192\\.0\\.2\\.3 :4000" + kStamp));
    ASSERT_EQ(fakeFront().acceptedPeers.size(), 3u);  // each accept is told to the window, for its alert
    EXPECT_EQ(fakeFront().acceptedPeers[2].address[3], 3);
}

// The caller floods a line without reading: echoes that cannot go out are dropped, each poll reads only its share,
// and a line end or answer that cannot be sent raises notice 6. A disconnect timer firing under the open notice
// ends the call; the engine then serves the next caller.
TEST_F(Conversation, CallerThatNeverReadsCannotHoldTheWindow)
{
    logPath = folder.path("no_such_folder/calls.log");  // an unwritable log stops nothing
    fakeFront().logSwitch = 1;
    FakeCaller& caller = callIn(custom(1, 1, 0, "W", 1));
    EXPECT_EQ(fakeNet().waits, 1 + 30);  // the poll, then the greeting's passes
    caller.sendRoom = 0;
    caller.input = std::string(1000, 'a');
    EXPECT_EQ(poll(), 1);
    EXPECT_EQ(caller.input.size(), 1000u - kMaxLineBytesPerPoll);
    tick(3);
    caller.input = "\r";
    EXPECT_EQ(poll(), 0);
    EXPECT_EQ(fakeFront().noticeCodes, std::vector<int>{6});
    EXPECT_EQ(listener.stage, 1);

    fakeFront().whileNoticeOpen = [this] { disconnectTimerFired(listener, kWindow); };
    caller.input = "\r";
    tick();
    fakeFront().whileNoticeOpen = nullptr;
    EXPECT_EQ(caller.closes, 1);
    EXPECT_EQ(caller.received, kGreeting + "W");

    script = custom(1, 1);
    FakeCaller& next = admit();
    next.sendRoom = 0;
    next.input = "x\r";
    EXPECT_EQ(poll(), 0);
    EXPECT_EQ(fakeFront().noticeCodes, (std::vector<int>{6, 6, 6}));
    EXPECT_EQ(listener.stage, 2);
}

TEST_F(Conversation, FailuresAndTimersAroundTheAccept)
{
    script = custom(2, 4, 0, "W", 1);
    startListening(listener, kWindow, 4000);
    disconnectTimerFired(listener, kWindow);  // nobody to hang up: it only stops itself
    fakeConnect();
    fakeNet().failure = VanishBeforeAccept;  // a scan's reset raises no "Error #5" box
    EXPECT_EQ(poll(), 1);
    fakeNet().failure = FailNone;
    FakeCaller& caller = fakeConnect();
    fakeNet().waitsBeforeFailure = 0;
    EXPECT_EQ(poll(), 0);
    fakeNet().waitsBeforeFailure = 1;  // the greeting's wait fails: the call ends
    EXPECT_EQ(poll(), 0);
    EXPECT_EQ(caller.received, kGreeting);
    EXPECT_EQ(fakeFront().events, "stop 10005\n" + kDetected + "start 10005 120000\n" + kListening + "stop 10005\n");
    resetFakeFront();
    fakeConnect();
    fakeNet().failure = FailAccept;
    EXPECT_EQ(poll(), 0);
    EXPECT_EQ(fakeFront().events, "notice 1 Error #5\n");

    fakeNet().failure = FailNone;
    script.echoWelcome = 0;
    script.timerChoice = -1;  // from a hand-edited file: the longest period a window timer takes
    resetFakeFront();
    admit();  // the caller the failed accept left waiting
    stopListening(listener, kWindow);
    stopListening(listener, kWindow);  // asked twice, it does nothing more
    fakeConnect();
    tick();  // left over after StandBy
    EXPECT_EQ(fakeFront().events, kDetected + "start 10005 2147483647\nstop 10005\n");
    EXPECT_TRUE(fakeNet().callers[2].closes == 1 && !fakeNet().listenerOpen && fakeNet().startups == 0);
}
