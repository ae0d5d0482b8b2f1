#include "engine/conversation.h"

#include "engine/listener.h"
#include "fakes/front_end_fake.h"
#include "storage/connection_log.h"
#include "support/loopback.h"
#include "support/scripts.h"
#include "support/socket_tuning.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x57);

const std::string kGreeting("\xFF\xFB\x01\xFF\xFD\x03\xFF\xFB\x03\xFF\xFE\x01", 12);
const std::string kNul(1, '\0');

// A Custom daemon sending "W", "R" and "G", without echo or repeat.
DaemonScript custom(int replyCount = 2, int timerChoice = 1, const char* welcome = "W")
{
    return scriptWith(welcome, "R", "G", replyCount, 0, timerChoice, 0, 0, 0);
}

// One caller and every byte it has received, in order.
struct Caller {
    LoopbackClient client;
    std::string received;
    std::string expected;

    // Adds `more` to what the caller should have received by now, reads until
    // the stream is that long, then takes whatever else is waiting: the whole
    // stream must equal it.
    void expect(const std::string& more = "")
    {
        expected += more;
        if (received.size() < expected.size())
            received += client.receiveExactly(expected.size() - received.size(), 3000);
        received += client.receiveAvailable(20);
        EXPECT_EQ(received, expected);
    }
    void send(const std::string& bytes) { ASSERT_TRUE(client.sendBytes(bytes)); }
};

using Events = std::vector<std::string>;

const Events kDetected = {"status Detected!", "tray 10002 Velmoranth(v1.9) - Detected!"};
const Events kListening = {"status Listening", "tray 10000 Velmoranth(v1.9) - Listening"};

Events sequence(std::initializer_list<Events> parts)
{
    Events all;
    for (const Events& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class ConversationTest : public ::testing::Test {
protected:
    ListenerState listener;
    DaemonScript script{};
    char logPath[kPathSize] = "";
    int port = 0;
    Caller caller;

    void SetUp() override
    {
        resetFakeFront();
        loopbackStartup();
        std::string name = std::string("conversation_test_") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
        copyText(logPath, name.c_str(), sizeof logPath);
        std::remove(logPath);
    }
    void TearDown() override
    {
        stopListening(listener, kWindow);
        std::remove(logPath);
    }

    // Listens on a port the system picks; the script carries that port, as
    // the active script carries the port it listens on.
    void listen(const DaemonScript& daemon)
    {
        script = daemon;
        ASSERT_EQ(startListening(listener, kWindow, 0), 1);
        port = netLocalPort(listener.listenSocket);
        ASSERT_NE(port, 0);
        script.port = port;
    }
    void tick() { pollTick(listener, script, logPath, kWindow); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            tick();
    }
    // Connects and lets the next tick accept.
    void admit(Caller& who)
    {
        ASSERT_TRUE(who.client.connectTo(port));
        tick();
        ASSERT_EQ(listener.callerActive, 1);
    }
    // Listens with `daemon` and admits the test's caller.
    void callIn(const DaemonScript& daemon)
    {
        listen(daemon);
        admit(caller);
    }
    // The caller sends `bytes`; after one poll it has received `answer` more.
    void exchange(const std::string& bytes, const std::string& answer)
    {
        caller.send(bytes);
        tick();
        caller.expect(answer);
    }

    // The log holds `count` records "127.0.0.1 :<loggedPort> / dd.mm.yyyy / hh:mm\r\n".
    void expectLogRecords(std::size_t count, int loggedPort)
    {
        std::ifstream in(logPath, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        const std::string log = content.str();
        const std::string head = "127.0.0.1 :" + std::to_string(loggedPort) + " / ";
        const std::size_t size = head.size() + 20;
        ASSERT_EQ(log.size(), count * size) << log;
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(log.compare(i * size, head.size(), head), 0) << log;
            EXPECT_EQ(log.compare(i * size + size - 2, 2, "\r\n"), 0) << log;
        }
    }
};

// --- Telnet daemons: greeting, echo and line ends ------------------------------

TEST_F(ConversationTest, FreeBsdCallerTranscriptByteForByte)
{
    listen(builtIn(DaemonFreeBSD));
    fakeFront().logSwitch = 1;
    admit(caller);
    caller.expect(kGreeting + "FreeBSD 5.1\r\n\r\nLogin: ");
    exchange("root\r\n", "root\r" "\n\r" "Password: ");
    // The LF left from "root" is read silently; the password is not echoed.
    exchange("x\r\n", "\n\r" "Incorrect Login.\r\n");

    tick();  // every answer sent: the conversation starts over, nothing is sent
    caller.expect();
    EXPECT_EQ(listener.stage, 1);
    EXPECT_EQ(listener.repeatPending, 2);
    tick();  // the prompt again on a fresh line, and the leftover LF read silently
    caller.expect("\r\nLogin: ");
    exchange("ab\r\n", "ab\r" "\n\r" "Password: ");

    disconnectTimerFired(listener, kWindow);
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(frontEventTexts(), sequence({kDetected, {"start 10005 60000"}, kListening, {"stop 10005"}}));
    expectLogRecords(1, port);
}

// echoReply only: the first line is not echoed but still ends in "\n\r"; the
// second is echoed, NUL included, LF never. Lines come in pieces over polls
// and end in CR NUL, CR LF and a bare CR.
TEST_F(ConversationTest, EchoOnTheSecondLineWithEveryLineEndAndLinesInPieces)
{
    DaemonScript d = custom(2, 1, "Hi\r\n> ");
    d.echoReply = 1;
    d.repeat = 1;
    callIn(d);
    caller.expect(kGreeting + "Hi\r\n> ");
    exchange("a", "");  // no echo on line 1, and no answer before the CR
    exchange("b", "");
    EXPECT_EQ(listener.stage, 1);
    exchange("\r" + kNul, "\n\r" "R");

    exchange("c", kNul + "c");  // the NUL left from line 1 begins line 2
    exchange("\nd", "d");
    exchange("\r\n", "\r" "\n\r" "G");

    ticks(2);  // start over, then the prompt; the leftover LF starts line 1
    caller.expect("\r\n> ");
    exchange("e\r", "\n\r" "R");
    exchange("f\r", "f\r" "\n\r" "G");
    EXPECT_TRUE(shownNoticeCodes().empty());
}

// --- Banner daemons -------------------------------------------------------------

TEST_F(ConversationTest, SubSevenAndNetBusSendOnlyTheirBanner)
{
    const int kinds[] = {DaemonSubSeven, DaemonNetBus};
    const char* const banners[] = {"SubSeven 2.1 \r\n", "NetBus 1.60 \r\n"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(banners[i]);
        resetFakeFront();
        listen(builtIn(kinds[i]));
        Caller banner;
        admit(banner);
        banner.send("hello\r\n");
        ticks(3);  // answered with nothing, start over, poll
        banner.send("again\r\n");
        ticks(4);
        banner.expect(banners[i]);
        EXPECT_EQ(listener.callerActive, 1);
        EXPECT_EQ(timerPeriod(kDisconnectTimerId), 60000u);

        disconnectTimerFired(listener, kWindow);
        EXPECT_TRUE(banner.client.peerClosed());
        EXPECT_EQ(lastStatusText(), "Listening");
        EXPECT_FALSE(timerRunning(kDisconnectTimerId));
        stopListening(listener, kWindow);
    }
}

// --- Custom daemons: reply counts, hang-up and start-over ----------------------

TEST_F(ConversationTest, ReplyCountZeroWithoutTimerHangsUpAtTheNextTick)
{
    callIn(custom(0, 0));
    tick();
    caller.expect("W");
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(frontEventTexts(), sequence({kDetected, kListening}));
}

TEST_F(ConversationTest, ReplyCountZeroWithTimerReadsNothingUntilTheTimerFires)
{
    DaemonScript d = custom(0, 1);
    d.repeat = 1;
    callIn(d);
    caller.send("abc\r\n");
    ticks(4);
    caller.expect("W");
    EXPECT_EQ(listener.callerActive, 1);
    EXPECT_EQ(timerPeriod(kDisconnectTimerId), 30000u);
    disconnectTimerFired(listener, kWindow);
    EXPECT_TRUE(caller.client.peerClosed());
}

TEST_F(ConversationTest, ReplyCountOneAnswersWithReplyAndNeverSendsGoodbye)
{
    callIn(custom(1, 0));
    caller.expect("W");
    exchange("line\r\n", "R");
    tick();  // answered: hang up
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(caller.received, "WR");
    EXPECT_EQ(lastStatusText(), "Listening");
}

TEST_F(ConversationTest, ReplyCountOneStartsOverWithThePromptWhenRepeatIsOn)
{
    DaemonScript d = custom(1, 1, "Welcome\r\nName? ");
    d.repeat = 1;
    callIn(d);
    caller.expect("Welcome\r\nName? ");
    exchange("one\r", "R");
    tick();  // start over
    caller.expect();
    tick();
    caller.expect("\r\nName? ");
    exchange("two\r", "R");
}

TEST_F(ConversationTest, ReplyCountOneStartsOverSilentlyWhenRepeatIsOff)
{
    callIn(custom(1, 1, "Welcome\r\nName? "));
    caller.expect("Welcome\r\nName? ");
    exchange("one\r", "R");
    ticks(2);
    exchange("two\r", "R");
}

TEST_F(ConversationTest, ReplyCountTwoWithoutTimerHangsUpAfterGoodbye)
{
    callIn(custom(2, 0));
    caller.expect("W");
    exchange("one\r\n", "R");
    exchange("two\r\n", "G");
    EXPECT_EQ(listener.callerActive, 1);
    tick();
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
}

TEST_F(ConversationTest, ReplyCountThreeReadsAThirdLineAndAnswersNothing)
{
    callIn(custom(3, 0));
    caller.expect("W");
    exchange("one\r", "R");
    exchange("two\r", "G");
    exchange("three", "");
    EXPECT_EQ(listener.stage, 3);
    exchange("\r", "");
    EXPECT_EQ(listener.stage, 4);
    tick();
    EXPECT_TRUE(caller.client.peerClosed());
}

// --- Callers going away, waiting and being logged -------------------------------

TEST_F(ConversationTest, CallerClosingMidLineGetsNoAnswerAndTheNextCallerIsServed)
{
    callIn(custom());
    exchange("hal", "W");
    caller.client.closeNow();
    tick();
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(listener.stage, 0);
    EXPECT_EQ(frontEventTexts(), sequence({kDetected, {"start 10005 30000"}, kListening, {"stop 10005"}}));

    Caller second;
    admit(second);
    second.send("x\r");
    tick();
    second.expect("WR");
}

TEST_F(ConversationTest, SecondCallerWaitsInTheBacklogThenGetsItsOwnAlertLogAndTimer)
{
    listen(custom());
    fakeFront().logSwitch = 1;
    admit(caller);
    Caller second;
    ASSERT_TRUE(second.client.connectTo(port));
    caller.send("x\r");
    ticks(3);
    caller.expect("WR");
    second.expect();
    EXPECT_EQ(frontEventsOf(FrontEvent::StartTimer).size(), 1u);

    disconnectTimerFired(listener, kWindow);
    EXPECT_TRUE(caller.client.peerClosed());
    tick();
    second.expect("W");
    EXPECT_EQ(listener.callerActive, 1);
    EXPECT_EQ(frontEventTexts(), sequence({kDetected, {"start 10005 30000"}, kListening, {"stop 10005"}, kDetected,
                                        {"start 10005 30000"}}));
    expectLogRecords(2, port);

    resetFakeFront();
    ListHandle list = reinterpret_cast<ListHandle>(0x4C);
    ASSERT_EQ(readConnectionLog(list, logPath), 1);
    const std::vector<FrontEvent> inserted = frontEventsOf(FrontEvent::ListInsert);
    ASSERT_EQ(inserted.size(), 2u);
    EXPECT_EQ(inserted[1].text, "127.0.0.1");
    EXPECT_EQ(frontEventsOf(FrontEvent::ListSubItem)[3].text, std::to_string(port));
}

TEST_F(ConversationTest, LogSwitchIsReadAtEachAccept)
{
    callIn(custom(0, 0));
    tick();  // hang up
    expectLogRecords(0, port);

    fakeFront().logSwitch = 1;
    Caller logged;
    admit(logged);
    expectLogRecords(1, port);
}

TEST_F(ConversationTest, LogRecordCarriesTheDaemonsPortNotTheListeningOrCallersPort)
{
    listen(custom());
    script.port = 23;  // the script's port is what the log shows
    fakeFront().logSwitch = 1;
    admit(caller);
    expectLogRecords(1, 23);
}

TEST_F(ConversationTest, UnwritableLogDoesNotStopTheConversation)
{
    listen(custom());
    copyText(logPath, "no_such_folder_for_the_log/connections.log", sizeof logPath);
    fakeFront().logSwitch = 1;
    admit(caller);
    caller.expect("W");
    exchange("x\r", "R");
    EXPECT_TRUE(shownNoticeCodes().empty());
}

// --- A caller that never reads --------------------------------------------------

// The caller floods a line without reading the echo: echoes that cannot go out
// are dropped, every poll stays short, and the line end that cannot be sent
// raises notice 6. A disconnect timer firing under the open notice ends the
// call; the engine then serves the next caller.
TEST_F(ConversationTest, CallerThatNeverReadsCannotHoldTheWindow)
{
    DaemonScript d = custom(1, 1);
    d.echoWelcome = 1;
    caller.client.setSmallReceiveBuffer();
    callIn(d);
    ASSERT_TRUE(shrinkSendBuffer(listener.callerSocket, 4096));
    // Well past what the shrunk buffers hold; each poll reads only its share.
    const int kFloodBytes = 16384;
    for (int sent = 0; sent < kFloodBytes; sent += 4096)
        caller.send(std::string(4096, 'a'));
    long long longest = 0;
    for (int read = 0; read < kFloodBytes; read += kMaxLineBytesPerPoll) {
        long long start = nowMs();
        tick();
        long long took = nowMs() - start;
        longest = took > longest ? took : longest;
    }
    EXPECT_LT(longest, 400);
    EXPECT_EQ(listener.stage, 1);

    // The line end cannot go out: notice 6, the line is consumed unanswered
    // and the caller stays connected.
    caller.send("\r");
    tick();
    EXPECT_EQ(shownNoticeCodes(), std::vector<int>{6});
    EXPECT_EQ(listener.callerActive, 1);
    EXPECT_EQ(listener.stage, 1);

    fakeFront().whileNoticeOpen = [this] { disconnectTimerFired(listener, kWindow); };
    caller.send("\r");
    tick();
    EXPECT_EQ(shownNoticeCodes(), (std::vector<int>{6, 6}));
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(listener.stage, 0);
    EXPECT_EQ(lastStatusText(), "Listening");
    fakeFront().whileNoticeOpen = nullptr;

    const std::string echoed = caller.client.receiveAvailable(100);
    EXPECT_LT(echoed.size(), kGreeting.size() + 1 + kFloodBytes);  // echoes were dropped

    Caller next;
    admit(next);
    next.expect(kGreeting + "W");
}

// --- Timers and ticks outside a conversation ------------------------------------

TEST_F(ConversationTest, DisconnectTimerWithoutACallerOnlyStopsItself)
{
    listen(custom());
    disconnectTimerFired(listener, kWindow);
    EXPECT_EQ(frontEventTexts(), Events{"stop 10005"});
    admit(caller);
    caller.expect("W");
}

TEST_F(ConversationTest, TickAfterStandByDoesNothing)
{
    listen(custom());
    ASSERT_TRUE(caller.client.connectTo(port));
    stopListening(listener, kWindow);
    resetFakeFront();
    tick();
    EXPECT_TRUE(fakeFront().events.empty());
}

TEST_F(ConversationTest, IdleTickWithoutCallerWaitsBriefly)
{
    listen(custom());
    long long start = nowMs();
    tick();
    EXPECT_LT(nowMs() - start, 400);
    EXPECT_TRUE(fakeFront().events.empty());
    EXPECT_EQ(listener.callerActive, 0);
}

TEST_F(ConversationTest, LongTimerChoicesStayWithinAWindowTimersRange)
{
    callIn(custom(2, 4));
    EXPECT_EQ(timerPeriod(kDisconnectTimerId), 120000u);
    disconnectTimerFired(listener, kWindow);
    script.timerChoice = -1;
    Caller second;
    admit(second);
    EXPECT_EQ(timerPeriod(kDisconnectTimerId), 0x7FFFFFFFu);
}

// --- Script texts ---------------------------------------------------------------

TEST(WelcomeLastLine, IsTheTextAfterTheLastLineFeedBeforeTheFinalCharacter)
{
    const std::pair<const char*, const char*> kCases[] = {
        {"FreeBSD 5.1\r\n\r\nLogin: ", "Login: "}, {"x\r\nlast\r\n", "last\r\n"}, {"no break", "no break"},
        {"", ""}, {"\n", "\n"}, {"a\n", "a\n"}, {"\na", "a"}, {"SubSeven 2.1 \r\n", "SubSeven 2.1 \r\n"},
    };
    for (const auto& [welcome, lastLine] : kCases) {
        const DaemonScript script = scriptWith(welcome, "", "", 0, 0, 0, 0, 0, 0);
        EXPECT_STREQ(welcomeLastLine(script), lastLine) << welcome;
    }
}

} // namespace
