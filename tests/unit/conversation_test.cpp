#include "engine/conversation.h"

#include "engine/listener.h"
#include "fakes/front_end_fake.h"
#include "storage/connection_log.h"
#include "support/loopback.h"
#include "support/socket_tuning.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x57);

const std::string kGreeting("\xFF\xFB\x01\xFF\xFD\x03\xFF\xFB\x03\xFF\xFE\x01", 12);
const std::string kNul(1, '\0');

DaemonScript builtIn(int kind)
{
    static DaemonScript table[kScriptTableSize];
    std::memset(table, 0, sizeof table);
    loadBuiltInScripts(table);
    return table[kind];
}

struct CustomDaemon {
    const char* welcome = "W";
    const char* reply = "R";
    const char* goodbye = "G";
    int replyCount = 2;
    int timerChoice = 1;
    int echoWelcome = 0;
    int echoReply = 0;
    int repeat = 0;
};

DaemonScript custom(const CustomDaemon& d)
{
    DaemonScript script;
    std::memset(&script, 0, sizeof script);
    copyText(script.welcome, d.welcome, sizeof script.welcome);
    copyText(script.reply, d.reply, sizeof script.reply);
    copyText(script.goodbye, d.goodbye, sizeof script.goodbye);
    script.replyCount = d.replyCount;
    script.timerChoice = d.timerChoice;
    script.echoWelcome = d.echoWelcome;
    script.echoReply = d.echoReply;
    script.repeat = d.repeat;
    return script;
}

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One caller and every byte it has received, in order.
struct Caller {
    LoopbackClient client;
    std::string received;

    // Reads until the stream is as long as `expected`, then takes whatever
    // else is waiting: the whole stream so far must equal `expected`.
    void expectStream(const std::string& expected)
    {
        if (received.size() < expected.size())
            received += client.receiveExactly(expected.size() - received.size(), 3000);
        received += client.receiveAvailable(20);
        EXPECT_EQ(received, expected);
    }
    void send(const std::string& bytes) { ASSERT_TRUE(client.sendBytes(bytes)); }
};

class ConversationTest : public ::testing::Test {
protected:
    ListenerState listener;
    DaemonScript script{};
    char logPath[kPathSize] = "";
    int port = 0;

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
    void admit(Caller& caller)
    {
        ASSERT_TRUE(caller.client.connectTo(port));
        tick();
        ASSERT_EQ(listener.callerActive, 1);
    }
    std::string logBytes()
    {
        std::ifstream in(logPath, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
};

std::string describe(const FrontEvent& event)
{
    switch (event.kind) {
    case FrontEvent::Notice:
        return "notice " + event.text;
    case FrontEvent::Status:
        return "status " + event.text;
    case FrontEvent::Tray:
        return "tray " + std::to_string(event.number) + " " + event.text;
    case FrontEvent::StartTimer:
        return "start " + std::to_string(event.number) + " " + std::to_string(event.number2);
    case FrontEvent::StopTimer:
        return "stop " + std::to_string(event.number);
    default:
        return "list";
    }
}

std::vector<std::string> windowEvents()
{
    std::vector<std::string> described;
    for (const FrontEvent& event : fakeFront().events)
        described.push_back(describe(event));
    return described;
}

const char* const kDetected[] = {"status Detected!", "tray 10002 Velmoranth(v1.9) - Detected!"};
const char* const kListening[] = {"status Listening", "tray 10000 Velmoranth(v1.9) - Listening"};

std::vector<std::string> sequence(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
const std::vector<std::string> kDetectedEvents(std::begin(kDetected), std::end(kDetected));
const std::vector<std::string> kListeningEvents(std::begin(kListening), std::end(kListening));

// --- Telnet daemons: greeting, echo and line ends ------------------------------

TEST_F(ConversationTest, FreeBsdCallerTranscriptByteForByte)
{
    listen(builtIn(DaemonFreeBSD));
    fakeFront().logSwitch = 1;
    Caller caller;
    admit(caller);
    std::string expected = kGreeting + "FreeBSD 5.1\r\n\r\nLogin: ";
    caller.expectStream(expected);

    caller.send("root\r\n");
    tick();
    expected += "root\r" "\n\r" "Password: ";
    caller.expectStream(expected);

    // The LF left from "root" is read silently; the password is not echoed.
    caller.send("x\r\n");
    tick();
    expected += "\n\r" "Incorrect Login.\r\n";
    caller.expectStream(expected);

    tick();  // every answer sent: the conversation starts over, nothing is sent
    caller.expectStream(expected);
    EXPECT_EQ(listener.stage, 1);
    EXPECT_EQ(listener.repeatPending, 2);

    tick();  // the prompt again on a fresh line, and the leftover LF read silently
    expected += "\r\nLogin: ";
    caller.expectStream(expected);

    caller.send("ab\r\n");
    tick();
    expected += "ab\r" "\n\r" "Password: ";
    caller.expectStream(expected);

    disconnectTimerFired(listener, kWindow);
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(windowEvents(), sequence({kDetectedEvents, {"start 10005 60000"}, kListeningEvents,
                                        {"stop 10005"}}));
    EXPECT_EQ(logBytes().rfind("127.0.0.1 :" + std::to_string(port) + " / ", 0), 0u) << logBytes();
}

// echoReply only: the first line is not echoed but still ends in "\n\r"; the
// second is echoed, NUL included, LF never. Lines come in pieces over polls
// and end in CR NUL, CR LF and a bare CR.
TEST_F(ConversationTest, EchoOnTheSecondLineWithEveryLineEndAndLinesInPieces)
{
    CustomDaemon d;
    d.welcome = "Hi\r\n> ";
    d.echoReply = 1;
    d.repeat = 1;
    listen(custom(d));
    Caller caller;
    admit(caller);
    std::string expected = kGreeting + "Hi\r\n> ";
    caller.expectStream(expected);

    caller.send("a");
    tick();
    caller.send("b");
    tick();
    caller.expectStream(expected);  // no echo on line 1, and no answer before the CR
    EXPECT_EQ(listener.stage, 1);
    caller.send("\r" + kNul);
    tick();
    expected += "\n\r" "R";
    caller.expectStream(expected);

    caller.send("c");  // the NUL left from line 1 begins line 2
    tick();
    expected += kNul + "c";
    caller.expectStream(expected);
    caller.send("\nd");
    tick();
    expected += "d";
    caller.expectStream(expected);
    caller.send("\r\n");
    tick();
    expected += "\r" "\n\r" "G";
    caller.expectStream(expected);

    ticks(2);  // start over, then the prompt; the leftover LF starts line 1
    expected += "\r\n> ";
    caller.expectStream(expected);

    caller.send("e\r");
    tick();
    expected += "\n\r" "R";
    caller.expectStream(expected);
    caller.send("f\r");
    tick();
    expected += "f\r" "\n\r" "G";
    caller.expectStream(expected);
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
        Caller caller;
        admit(caller);
        caller.send("hello\r\n");
        ticks(3);  // answered with nothing, start over, poll
        caller.send("again\r\n");
        ticks(4);
        caller.expectStream(banners[i]);
        EXPECT_EQ(listener.callerActive, 1);
        EXPECT_EQ(timerPeriod(kDisconnectTimerId), 60000u);

        disconnectTimerFired(listener, kWindow);
        EXPECT_TRUE(caller.client.peerClosed());
        EXPECT_EQ(lastStatusText(), "Listening");
        EXPECT_FALSE(timerRunning(kDisconnectTimerId));
        stopListening(listener, kWindow);
    }
}

// --- Custom daemons: reply counts, hang-up and start-over ----------------------

TEST_F(ConversationTest, ReplyCountZeroWithoutTimerHangsUpAtTheNextTick)
{
    CustomDaemon d;
    d.replyCount = 0;
    d.timerChoice = 0;
    listen(custom(d));
    Caller caller;
    admit(caller);
    tick();
    caller.expectStream("W");
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(windowEvents(), sequence({kDetectedEvents, kListeningEvents}));
}

TEST_F(ConversationTest, ReplyCountZeroWithTimerReadsNothingUntilTheTimerFires)
{
    CustomDaemon d;
    d.replyCount = 0;
    d.repeat = 1;
    listen(custom(d));
    Caller caller;
    admit(caller);
    caller.send("abc\r\n");
    ticks(4);
    caller.expectStream("W");
    EXPECT_EQ(listener.callerActive, 1);
    EXPECT_EQ(timerPeriod(kDisconnectTimerId), 30000u);
    disconnectTimerFired(listener, kWindow);
    EXPECT_TRUE(caller.client.peerClosed());
}

TEST_F(ConversationTest, ReplyCountOneAnswersWithReplyAndNeverSendsGoodbye)
{
    CustomDaemon d;
    d.replyCount = 1;
    d.timerChoice = 0;
    listen(custom(d));
    Caller caller;
    admit(caller);
    caller.send("line\r\n");
    tick();
    caller.expectStream("WR");
    tick();  // answered: hang up
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(caller.received, "WR");
    EXPECT_EQ(lastStatusText(), "Listening");
}

TEST_F(ConversationTest, ReplyCountOneStartsOverWithThePromptWhenRepeatIsOn)
{
    CustomDaemon d;
    d.welcome = "Welcome\r\nName? ";
    d.replyCount = 1;
    d.repeat = 1;
    listen(custom(d));
    Caller caller;
    admit(caller);
    caller.send("one\r");
    tick();
    caller.expectStream("Welcome\r\nName? R");
    tick();
    caller.expectStream("Welcome\r\nName? R");
    tick();
    caller.expectStream("Welcome\r\nName? R\r\nName? ");
    caller.send("two\r");
    tick();
    caller.expectStream("Welcome\r\nName? R\r\nName? R");
}

TEST_F(ConversationTest, ReplyCountOneStartsOverSilentlyWhenRepeatIsOff)
{
    CustomDaemon d;
    d.welcome = "Welcome\r\nName? ";
    d.replyCount = 1;
    listen(custom(d));
    Caller caller;
    admit(caller);
    caller.send("one\r");
    ticks(3);
    caller.send("two\r");
    tick();
    caller.expectStream("Welcome\r\nName? RR");
}

TEST_F(ConversationTest, ReplyCountTwoWithoutTimerHangsUpAfterGoodbye)
{
    CustomDaemon d;
    d.timerChoice = 0;
    listen(custom(d));
    Caller caller;
    admit(caller);
    caller.send("one\r\n");
    tick();
    caller.send("two\r\n");
    tick();
    caller.expectStream("WRG");
    EXPECT_EQ(listener.callerActive, 1);
    tick();
    EXPECT_TRUE(caller.client.peerClosed());
    EXPECT_EQ(listener.callerActive, 0);
}

TEST_F(ConversationTest, ReplyCountThreeReadsAThirdLineAndAnswersNothing)
{
    CustomDaemon d;
    d.replyCount = 3;
    d.timerChoice = 0;
    listen(custom(d));
    Caller caller;
    admit(caller);
    caller.send("one\r");
    tick();
    caller.send("two\r");
    tick();
    caller.send("three");
    tick();
    EXPECT_EQ(listener.stage, 3);
    caller.send("\r");
    tick();
    EXPECT_EQ(listener.stage, 4);
    caller.expectStream("WRG");
    tick();
    EXPECT_TRUE(caller.client.peerClosed());
}

// --- Callers going away, waiting and being logged -------------------------------

TEST_F(ConversationTest, CallerClosingMidLineGetsNoAnswerAndTheNextCallerIsServed)
{
    CustomDaemon d;
    listen(custom(d));
    Caller first;
    admit(first);
    first.send("hal");
    tick();
    first.expectStream("W");
    first.client.closeNow();
    tick();
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(listener.stage, 0);
    EXPECT_EQ(windowEvents(), sequence({kDetectedEvents, {"start 10005 30000"}, kListeningEvents,
                                        {"stop 10005"}}));

    Caller second;
    admit(second);
    second.send("x\r");
    tick();
    second.expectStream("WR");
}

TEST_F(ConversationTest, SecondCallerWaitsInTheBacklogThenGetsItsOwnAlertLogAndTimer)
{
    CustomDaemon d;
    listen(custom(d));
    fakeFront().logSwitch = 1;
    Caller first, second;
    admit(first);
    ASSERT_TRUE(second.client.connectTo(port));
    first.send("x\r");
    ticks(3);
    first.expectStream("WR");
    second.expectStream("");
    EXPECT_EQ(frontEventsOf(FrontEvent::StartTimer).size(), 1u);

    disconnectTimerFired(listener, kWindow);
    EXPECT_TRUE(first.client.peerClosed());
    tick();
    second.expectStream("W");
    EXPECT_EQ(listener.callerActive, 1);
    EXPECT_EQ(windowEvents(),
              sequence({kDetectedEvents, {"start 10005 30000"}, kListeningEvents, {"stop 10005"},
                        kDetectedEvents, {"start 10005 30000"}}));

    const std::string log = logBytes();
    const std::string head = "127.0.0.1 :" + std::to_string(port) + " / ";
    const std::size_t secondRecord = log.find("\r\n") + 2;
    EXPECT_EQ(log.rfind(head, 0), 0u) << log;
    EXPECT_EQ(log.compare(secondRecord, head.size(), head), 0) << log;
    EXPECT_EQ(log.size(), 2 * (head.size() + 20)) << log;  // "dd.mm.yyyy / hh:mm\r\n" each

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
    CustomDaemon d;
    d.replyCount = 0;
    d.timerChoice = 0;
    listen(custom(d));
    Caller quiet;
    admit(quiet);
    tick();  // hang up
    EXPECT_EQ(logBytes(), "");

    fakeFront().logSwitch = 1;
    Caller logged;
    admit(logged);
    const std::string log = logBytes();
    EXPECT_EQ(log.rfind("127.0.0.1 :" + std::to_string(port) + " / ", 0), 0u) << log;
    EXPECT_EQ(log.find("\r\n"), log.size() - 2);
}

TEST_F(ConversationTest, LogRecordCarriesTheDaemonsPortNotTheListeningOrCallersPort)
{
    CustomDaemon d;
    listen(custom(d));
    script.port = 23;  // the script's port is what the log shows
    fakeFront().logSwitch = 1;
    Caller caller;
    admit(caller);
    EXPECT_EQ(logBytes().rfind("127.0.0.1 :23 / ", 0), 0u) << logBytes();
}

TEST_F(ConversationTest, UnwritableLogDoesNotStopTheConversation)
{
    CustomDaemon d;
    listen(custom(d));
    copyText(logPath, "no_such_folder_for_the_log/connections.log", sizeof logPath);
    fakeFront().logSwitch = 1;
    Caller caller;
    admit(caller);
    caller.send("x\r");
    tick();
    caller.expectStream("WR");
    EXPECT_TRUE(shownNoticeCodes().empty());
}

// --- A caller that never reads --------------------------------------------------

// The caller floods a line without reading the echo: echoes that cannot go out
// are dropped, every poll stays short, and the line end that cannot be sent
// raises notice 6. A disconnect timer firing under the open notice ends the
// call; the engine then serves the next caller.
TEST_F(ConversationTest, CallerThatNeverReadsCannotHoldTheWindow)
{
    CustomDaemon d;
    d.replyCount = 1;
    d.echoWelcome = 1;
    listen(custom(d));
    Caller flood;
    flood.client.setSmallReceiveBuffer();
    admit(flood);
    ASSERT_TRUE(shrinkSendBuffer(listener.callerSocket, 4096));
    // Well past what the shrunk buffers hold; each poll reads only its share.
    const int kFloodBytes = 16384;
    for (int sent = 0; sent < kFloodBytes; sent += 4096)
        ASSERT_TRUE(flood.client.sendBytes(std::string(4096, 'a')));
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
    ASSERT_TRUE(flood.client.sendBytes("\r"));
    tick();
    EXPECT_EQ(shownNoticeCodes(), std::vector<int>{6});
    EXPECT_EQ(listener.callerActive, 1);
    EXPECT_EQ(listener.stage, 1);

    fakeFront().whileNoticeOpen = [this] { disconnectTimerFired(listener, kWindow); };
    ASSERT_TRUE(flood.client.sendBytes("\r"));
    tick();
    EXPECT_EQ(shownNoticeCodes(), (std::vector<int>{6, 6}));
    EXPECT_EQ(listener.callerActive, 0);
    EXPECT_EQ(listener.stage, 0);
    EXPECT_EQ(lastStatusText(), "Listening");
    fakeFront().whileNoticeOpen = nullptr;

    const std::string echoed = flood.client.receiveAvailable(100);
    EXPECT_LT(echoed.size(), kGreeting.size() + 1 + kFloodBytes);  // echoes were dropped

    Caller next;
    admit(next);
    next.expectStream(kGreeting + "W");
}

// --- Timers and ticks outside a conversation ------------------------------------

TEST_F(ConversationTest, DisconnectTimerWithoutACallerOnlyStopsItself)
{
    CustomDaemon d;
    listen(custom(d));
    disconnectTimerFired(listener, kWindow);
    EXPECT_EQ(windowEvents(), std::vector<std::string>{"stop 10005"});
    Caller caller;
    admit(caller);
    caller.expectStream("W");
}

TEST_F(ConversationTest, TickAfterStandByDoesNothing)
{
    CustomDaemon d;
    listen(custom(d));
    Caller caller;
    ASSERT_TRUE(caller.client.connectTo(port));
    stopListening(listener, kWindow);
    resetFakeFront();
    tick();
    EXPECT_TRUE(fakeFront().events.empty());
}

TEST_F(ConversationTest, IdleTickWithoutCallerWaitsBriefly)
{
    CustomDaemon d;
    listen(custom(d));
    long long start = nowMs();
    tick();
    EXPECT_LT(nowMs() - start, 400);
    EXPECT_TRUE(fakeFront().events.empty());
    EXPECT_EQ(listener.callerActive, 0);
}

TEST_F(ConversationTest, LongTimerChoicesStayWithinAWindowTimersRange)
{
    CustomDaemon d;
    d.timerChoice = 4;
    listen(custom(d));
    Caller first;
    admit(first);
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
    DaemonScript script;
    std::memset(&script, 0, sizeof script);
    auto lastLine = [&script](const char* welcome) {
        copyText(script.welcome, welcome, sizeof script.welcome);
        return std::string(welcomeLastLine(script));
    };
    EXPECT_EQ(lastLine("FreeBSD 5.1\r\n\r\nLogin: "), "Login: ");
    EXPECT_EQ(lastLine("RedHat 8.0 (Psyche)\r\n\r\nLogin: "), "Login: ");
    EXPECT_EQ(lastLine("x\r\nlast\r\n"), "last\r\n");
    EXPECT_EQ(lastLine("no break"), "no break");
    EXPECT_EQ(lastLine(""), "");
    EXPECT_EQ(lastLine("\n"), "\n");
    EXPECT_EQ(lastLine("a\n"), "a\n");
    EXPECT_EQ(lastLine("\na"), "a");
    EXPECT_EQ(lastLine("SubSeven 2.1 \r\n"), "SubSeven 2.1 \r\n");
}

} // namespace
