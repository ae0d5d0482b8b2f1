#include "alerts/alert_channel.h"
#include "fakes/net_fake.h"
#include "fakes/tls_fake.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

FakeCollector& collector = fakeNet().collector;
AlertQueueStorage storage;

SyslogTarget target(SyslogProtocol protocol, SyslogFraming framing = SyslogFramingOctet)
{
    SyslogTarget t{1, "collector.example", 601, protocol, framing, {}};
    return t;
}

// Posts `message`, if any, and pumps at `now`. Then what reached the collector since the last look, "|", and the
// status: "sent waiting dropped", the last error and its time, then "idle" or "retry@" the next attempt.
std::string at(AlertChannel& channel, long long now, const std::string& message = "")
{
    if (!message.empty())
        alertChannelPost(channel, message.data(), static_cast<int>(message.size()));
    alertChannelPump(channel, now);
    const AlertStatus s = alertChannelStatus(channel);
    return std::exchange(collector.received, "") + "|" + std::to_string(s.sent) + " " + std::to_string(s.waiting) +
           " " + std::to_string(s.dropped) + (s.lastError[0] ? " " : "") + s.lastError +
           (s.lastError[0] ? "@" + std::to_string(s.lastErrorAtMs) : "") +
           (channel.waitingToRetry ? " retry@" + std::to_string(channel.retryAtMs) : alertChannelIdle(channel) ? " idle" : "");
}

AlertChannel& freshChannel(const SyslogTarget& t)
{
    static AlertChannel channel;
    resetFakeNet();
    resetFakeTls();
    collector.lookup = NetResolved;
    alertChannelInit(channel, storage, 0);
    alertChannelConfigureSyslog(channel, t);
    return channel;
}

const std::string kOne = "3 one<close_notify>";  // as a TLS collector reads "one"

} // namespace

TEST(AlertChannel, TcpConfirmsOnlyOnTheCollectorsCloseAfterOursAndEveryOtherEndKeepsTheBatchWithAGrowingPause)
{
    AlertChannel& channel = freshChannel(target(SyslogTcp));
    collector.lookup = NetResolvePending;
    EXPECT_EQ(at(channel, 0), "|0 0 0 idle") << "nothing waits: no look-up, no connect";
    EXPECT_EQ(at(channel, 0, "one"), "|0 1 0");
    EXPECT_EQ(collector.lookups, 1);
    EXPECT_EQ(at(channel, 15000), "|0 1 0 The collector's name could not be resolved.@15000 retry@16000");
    collector.lookup = NetResolved;
    collector.outcome = NetConnectPending;
    at(channel, 16000);
    EXPECT_EQ(at(channel, 26000), "|0 1 0 The collector did not answer in time.@26000 retry@28000");
    collector.outcome = NetConnected;
    collector.atEnd = StayOpenAtEnd;  // reads all, never closes: a frozen collector
    EXPECT_EQ(at(channel, 28000, "two"), "|0 2 0 The collector did not answer in time.@26000")
        << "a new connection waits a moment before its first byte";
    EXPECT_EQ(at(channel, 28200), "3 one3 two|0 2 0 The collector did not answer in time.@26000");
    EXPECT_TRUE(collector.halfClosed);
    EXPECT_EQ(at(channel, 38200, "three"), "|0 3 0 The collector did not answer in time.@38200 retry@42200")
        << "no close within 10 s of ours: all kept, 'three' included";
    collector.atEnd = ResetAtEnd;
    at(channel, 42200);
    EXPECT_EQ(at(channel, 42400), "3 one3 two5 three|0 3 0 The collector reset the connection.@42400 retry@50400");
    collector.atEnd = CloseAtEnd;
    at(channel, 50400);
    collector.hungUp = true;  // closes at once: an ACL, a balancer without a backend
    EXPECT_EQ(at(channel, 50600), "|0 3 0 The collector closed the connection.@50600 retry@66600")
        << "seen before the first byte";
    collector.sendRoom = 4;  // takes four bytes, then closes
    at(channel, 66600);
    EXPECT_EQ(at(channel, 66800), "3 on|0 3 0 The collector closed the connection.@50600");
    collector.hungUp = true;
    collector.sendRoom = -1;
    EXPECT_EQ(at(channel, 66800), "|0 3 0 The collector closed the connection.@66800 retry@98800")
        << "an end of stream before our half-close is no receipt";
    at(channel, 98800);
    EXPECT_EQ(at(channel, 99000), "3 one3 two5 three|3 0 0 The collector closed the connection.@66800 idle");
    at(channel, 100000, "four");
    EXPECT_EQ(at(channel, 100200), "4 four|4 0 0 The collector closed the connection.@66800 idle")
        << "a receipt starts the pause again from 1 s; one connection per burst";
    EXPECT_EQ(collector.connects, 7);
    EXPECT_EQ(collector.open, kNoSocket);
}

TEST(AlertChannel, PostsDuringTheConfirmationWaitForTheNextConnectionAndExitCutsThePauseShort)
{
    AlertChannel& channel = freshChannel(target(SyslogTcp, SyslogFramingLf));
    collector.atEnd = StayOpenAtEnd;
    EXPECT_EQ(at(channel, 0, "a"), "|0 1 0");
    EXPECT_EQ(at(channel, 200), "a\n|0 1 0");
    EXPECT_EQ(at(channel, 205, "b"), "|0 2 0") << "the batch was closed with 'a'";
    collector.hungUp = true;  // the collector's close comes
    EXPECT_EQ(at(channel, 210), "|1 1 0");
    at(channel, 210);
    EXPECT_EQ(at(channel, 410), "b\n|1 1 0");
    collector.reset = true;
    EXPECT_EQ(at(channel, 420), "|1 1 0 The collector reset the connection.@420 retry@1420");
    alertChannelRetrySoon(channel, 500);
    collector.atEnd = CloseAtEnd;
    at(channel, 500);
    EXPECT_EQ(at(channel, 700), "b\n|2 0 0 The collector reset the connection.@420 idle");
}

TEST(AlertChannel, AnEndOfStreamConfirmsOnlyWithOurEndInTimeWaitAndClosingIsLookedAtAgainUntilTheDeadline)
{
    AlertChannel& channel = freshChannel(target(SyslogTcp));
    collector.atEnd = ResetReadAsEndAtEnd;  // as Wine reports a reset: an end of stream, and gone from the table
    at(channel, 0, "one");
    EXPECT_EQ(at(channel, 200, "two"), "3 one3 two|0 2 0 The collector reset the connection.@200 retry@1200");
    collector.atEnd = CloseAtEnd;
    collector.closingLooks = 1;  // our close is not acknowledged yet
    at(channel, 1200);
    EXPECT_EQ(at(channel, 1400), "3 one3 two|0 2 0 The collector reset the connection.@200");
    EXPECT_EQ(at(channel, 1500), "|2 0 0 The collector reset the connection.@200 idle") << "the whole batch, once";
    collector.closingLooks = 1000;
    at(channel, 2000, "three");
    EXPECT_EQ(at(channel, 2200), "5 three|2 1 0 The collector reset the connection.@200");
    EXPECT_EQ(at(channel, 12199), "|2 1 0 The collector reset the connection.@200") << "CLOSING: undecided";
    EXPECT_EQ(at(channel, 12200), "|2 1 0 The collector did not answer in time.@12200 retry@13200");
}

TEST(AlertChannel, ACollectorThatStopsReadingInTheMiddleOfABatchFailsItAfter30sWithoutProgress)
{
    AlertChannel& channel = freshChannel(target(SyslogTcp));
    collector.sendRoom = 20000;  // takes 20 KB, then reads nothing
    const std::string message(200, 'm');
    for (int i = 0; i < 1000; ++i)
        alertChannelPost(channel, message.data(), static_cast<int>(message.size()));
    at(channel, 0);
    // The bytes that reached the collector counted, then the status.
    const auto status = [](const std::string& seen) {
        return std::to_string(seen.find('|')) + seen.substr(seen.find('|'));
    };
    EXPECT_EQ(status(at(channel, 200)), "20000|0 1000 0");
    EXPECT_EQ(at(channel, 30199), "|0 1000 0");
    EXPECT_EQ(at(channel, 30200), "|0 1000 0 The collector did not answer in time.@30200 retry@31200");
    collector.sendRoom = -1;
    at(channel, 31200);
    EXPECT_EQ(status(at(channel, 31400)), "204000|1000 0 0 The collector did not answer in time.@30200 idle")
        << "the batch again, whole";
}

TEST(AlertChannel, TlsSendsOnlyAfterTheHandshakeAndNothingWhenTheCertificateFails)
{
    AlertChannel& channel = freshChannel(target(SyslogTls));
    fakeTls().failure = TlsFailureName;
    const std::string kWords[] = {"is not trusted", "is for another name", "does not match the fingerprint",
                                  "has expired"};
    int i = 0;
    for (TlsFailure failure : {TlsFailureUntrusted, TlsFailureName, TlsFailureFingerprint, TlsFailureExpired}) {
        fakeTls().failure = failure;
        alertChannelRetrySoon(channel, 100 * i);
        EXPECT_EQ(at(channel, 100 * i, i ? "" : "one").substr(0, 26), "<hello>|0 1 0 The collecto");
        EXPECT_NE(alertChannelStatus(channel).lastError + std::string(), "");
        EXPECT_NE(std::string(alertChannelStatus(channel).lastError).find(kWords[i++]), std::string::npos);
    }
    fakeTls().failure = TlsFailureNone;
    alertChannelRetrySoon(channel, 400);
    EXPECT_EQ(at(channel, 400), "<hello>" + kOne + "|0 1 0 The collector's certificate has expired.@300");
    EXPECT_EQ(at(channel, 500), "|1 0 0 The collector's certificate has expired.@300 idle")
        << "our end of stream goes a pump after the close_notify";
    EXPECT_EQ(fakeTls().serverName + (fakeTls().pinned ? " pinned" : ""), "collector.example");
    SyslogTarget pinned = target(SyslogTls);
    pinned.fingerprint.present = 1;
    alertChannelConfigureSyslog(channel, pinned);
    collector.silent = true;  // a plain TCP port that never answers the hello
    EXPECT_EQ(at(channel, 500, "one"), "<hello>|1 1 0 The collector's certificate has expired.@300");
    EXPECT_TRUE(fakeTls().pinned);
    EXPECT_EQ(at(channel, 10500), "|1 1 0 The collector did not answer in time.@10500 retry@11500");
    collector.silent = false;
    collector.closesOnNotify = true;  // as rsyslog does: its close comes before our end of stream
    EXPECT_EQ(at(channel, 11500), "<hello>" + kOne + "|1 1 0 The collector did not answer in time.@10500");
    EXPECT_EQ(at(channel, 11600), "|1 1 0 The collector did not answer in time.@10500") << "CLOSE_WAIT: look again";
    EXPECT_EQ(at(channel, 11700), "|2 0 0 The collector did not answer in time.@10500 idle");
    EXPECT_EQ(fakeTls().live, 0);
}

TEST(AlertChannel, TlsPumpsOnWhileTheCertificateCheckRunsSendsOnlyOnceItPassesAndGivesItThirtySeconds)
{
    AlertChannel& channel = freshChannel(target(SyslogTls));
    fakeTls().holdCheck = true;
    EXPECT_EQ(at(channel, 0, "one"), "<hello>|0 1 0");
    EXPECT_TRUE(tlsCheckPending(channel.connection.tlsSession));
    EXPECT_EQ(at(channel, 29999), "|0 1 0") << "past the handshake's 10 s: the check has 30 s from its start";
    fakeTls().holdCheck = false;
    EXPECT_EQ(at(channel, 29999), kOne + "|0 1 0");
    EXPECT_EQ(at(channel, 29999), "|1 0 0 idle") << "the half-close waits a pump behind close_notify";
    fakeTls().holdCheck = true;
    fakeTls().failure = TlsFailureExpired;
    EXPECT_EQ(at(channel, 30000, "two"), "<hello>|1 1 0");
    fakeTls().holdCheck = false;
    EXPECT_EQ(at(channel, 30100), "|1 1 0 The collector's certificate has expired.@30100 retry@31100");
    fakeTls().holdCheck = true;
    fakeTls().failure = TlsFailureNone;
    EXPECT_EQ(at(channel, 31100), "<hello>|1 1 0 The collector's certificate has expired.@30100");
    EXPECT_EQ(at(channel, 61099), "|1 1 0 The collector's certificate has expired.@30100");
    EXPECT_EQ(at(channel, 61100), "|1 1 0 The collector's certificate is not trusted.@61100 retry@63100")
        << "a chain not checked in time is not trusted";
    EXPECT_EQ(fakeTls().live + fakeTls().checking, 0) << "the session and its check were let go";
}

TEST(AlertChannel, UdpCountsWhatTheNetworkTookKeepsWhatItRefusedAndLooksTheNameUpAgainAfterFiveMinutes)
{
    AlertChannel& channel = freshChannel(target(SyslogUdp));
    EXPECT_EQ(at(channel, 0, "one") + std::to_string(alertChannelStatus(channel).unconfirmed), "one||1 0 0 idle1");
    collector.sendRoom = 0;  // no route yet
    EXPECT_EQ(at(channel, 1000, "two"), "|1 1 0 A message to the collector could not be sent.@1000 retry@2000");
    collector.sendRoom = -1;
    collector.lookup = NetResolveFailed;  // a look-up that fails keeps the last address found
    EXPECT_EQ(at(channel, 301000, "three"), "two|three||3 0 0 A message to the collector could not be sent.@1000 idle");
    EXPECT_EQ(collector.lookups, 2);
    alertChannelConfigureSyslog(channel, SyslogTarget{1, "elsewhere", 514, SyslogUdp, SyslogFramingOctet, {}});
    EXPECT_EQ(at(channel, 302000, "four"), "|3 1 0 The collector's name could not be resolved.@302000 retry@303000")
        << "a new collector is looked up anew";
    alertChannelConfigureSyslog(channel, SyslogTarget{1, "elsewhere", 514, SyslogUdp, SyslogFramingOctet, {}});
    collector.lookup = NetResolvePending;
    at(channel, 303000);
    EXPECT_EQ(at(channel, 318000), "|3 1 0 The collector's name could not be resolved.@318000 retry@320000");
    EXPECT_EQ(collector.lookups * 10 + collector.lookupsCancelled, 41) << "a look-up not answered in time is let go";
    MailTarget mail{};
    mail.enabled = 1;
    WebhookTarget web{1, "https://hooks.example/x", WebhookJson, AlertEventsConnect};
    for (int kind = 0; kind < 2; ++kind) {
        kind ? alertChannelConfigureWebhook(channel, web) : alertChannelConfigureMail(channel, mail);
        channel.waitingToRetry = 1;  // as after a failure
        channel.retryAtMs = 303000;
        kind ? alertChannelConfigureWebhook(channel, web) : alertChannelConfigureMail(channel, mail);
        EXPECT_TRUE(channel.waitingToRetry && channel.retryAtMs == 303000) << "the same target again changes nothing";
    }
}

TEST(AlertChannel, TheBoundsDropTheOldestMessageNotOnTheWireAndDisablingDropsAll)
{
    AlertChannel& channel = freshChannel(target(SyslogTcp));
    collector.atEnd = StayOpenAtEnd;
    at(channel, 0, "first");
    EXPECT_EQ(at(channel, 200), "5 first|0 1 0");
    for (int i = 0; i < kAlertQueueMessages; ++i)
        alertChannelPost(channel, "m", 1);
    unsigned long length = 0;
    const char* second = alertQueueMessage(channel.queue, 1, length);
    EXPECT_EQ(std::string(second, length) + std::to_string(channel.queue.count), "m10000")
        << "'first' waits for its receipt; one 'm' went";
    const std::string big(kAlertQueueBytes - 1000, 'B');
    EXPECT_EQ(at(channel, 0, big), "|0 997 9005") << "4 MiB: 'first', the newest 995 m and the big one stay";
    EXPECT_EQ(at(channel, 0, std::string(kAlertQueueBytes + 1, 'X')), "|0 997 9006") << "one longer than the bound";
    collector.hungUp = true;
    EXPECT_EQ(at(channel, 1), "|1 996 9006");
    alertChannelConfigureSyslog(channel, SyslogTarget{0, "collector.example", 601, SyslogTcp, SyslogFramingOctet, {}});
    const AlertStatus off = alertChannelStatus(channel);
    EXPECT_EQ(off.waiting, 0ul);
    EXPECT_EQ(off.sent + off.dropped, 10003ul) << "every message posted is sent or dropped, none lost";
    alertChannelPost(channel, "x", 1);
    EXPECT_EQ(alertChannelStatus(channel).waiting, 0ul) << "posts are ignored while disabled";
}

TEST(AlertQueue, DropsTheOldestUnlockedForRoomAndMovesWhatWaitsToTheStartWhenTheEndIsReached)
{
    char bytes[16];
    AlertQueueEntry entries[3];
    AlertQueue queue;
    alertQueueInit(queue, bytes, sizeof bytes, entries, 3, 10);  // three messages, ten bytes at most
    // Pushes, then tells whether it was queued, what waits ('*' on the wire) and how many were dropped.
    const auto push = [&](const std::string& message, int locked) {
        queue.locked = locked;
        std::string all = std::to_string(alertQueuePush(queue, message.data(), message.size())) + ":";
        for (int i = 0; i < queue.count; ++i) {
            unsigned long length = 0;
            const char* text = alertQueueMessage(queue, i, length);
            all += " " + std::string(text, length) + (i < queue.locked ? "*" : "");
        }
        return all + " -" + std::to_string(queue.dropped);
    };
    const std::pair<std::string, int> kPushes[] = {{"abcd", 0}, {"efgh", 0}, {"ij", 0}, {"k", 0}, {"lmnopq", 1},
                                                   {"r", 2}, {"0123456789", 1}, {"0123456789x", 0}};
    std::string seen;
    for (const auto& [message, locked] : kPushes)
        seen += push(message, locked) + "\n";
    EXPECT_EQ(seen, "1: abcd -0\n1: abcd efgh -0\n1: abcd efgh ij -0\n1: efgh ij k -1\n1: efgh* lmnopq -3\n"
                    "0: efgh* lmnopq* -4\n0: efgh* -6\n0: efgh -7\n");
    queue.locked = 0;
    alertQueuePop(queue, 1);
    EXPECT_EQ(queue.locked, 0);
    EXPECT_EQ(push("0123456789", 0), "1: 0123456789 -7") << "the whole bound fits an empty queue";
    EXPECT_EQ(push("abc", 0), "1: abc -8");
    EXPECT_EQ(push("defg", 0), "1: abc defg -8");
    queue.locked = 2;
    alertQueuePop(queue, 1);
    EXPECT_EQ(queue.locked, 1) << "what leaves, leaves the wire first";
    EXPECT_EQ(push("hijkl", 1), "1: defg* hijkl -8");
    alertQueuePop(queue, 1);
    EXPECT_EQ(push("mnopq", 0), "1: hijkl mnopq -8") << "moved to the storage's start to make room at its end";
}
