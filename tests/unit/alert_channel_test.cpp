#include "engine/alert_channel.h"
#include "engine/syslog_message.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

namespace {

FakeCollector& collector = fakeNet().collector;

// "sent waiting dropped error@time", then "idle" or the next deadline.
std::string statusOf(const AlertChannel& channel)
{
    const AlertStatus status = alertChannelStatus(channel);
    return std::to_string(status.sent) + " " + std::to_string(status.waiting) + " " + std::to_string(status.dropped) +
           " " + std::to_string(status.lastError) + "@" + std::to_string(status.lastErrorAtMs) + " " +
           (alertChannelIdle(channel) ? "idle" : std::to_string(channel.deadlineMs));
}

} // namespace

TEST(AlertChannel, TcpCollectorDownThenUpGetsAllInOrderAfterGrowingPausesAndARestartIsSeenBeforeWriting)
{
    resetFakeNet();
    AlertChannel channel;
    const AlertTarget target = {1, "collector.example", 601, AlertTcp};
    alertChannelConfigure(channel, target);
    alertChannelPump(channel, 0);
    alertChannelPost(channel, "one", 0);
    alertChannelPump(channel, 5000);
    EXPECT_EQ(collector.connects + channel.state, AlertResolving) << "nothing waits, no connect; then a lookup";
    collector.outcome = NetConnectPending;
    collector.lookup = NetResolved;
    for (long long now : {5000, 14999, 15000})
        alertChannelPump(channel, now);
    EXPECT_EQ(statusOf(channel), "0 1 0 3@15000 16000") << "a connect times out after 10 s";
    collector.outcome = NetConnectFailed;
    std::string pauses;
    for (long long now = channel.deadlineMs; pauses.size() < 20; now = channel.deadlineMs) {
        alertChannelPump(channel, now);
        pauses += std::to_string((channel.deadlineMs - now) / 1000) + " ";
        alertChannelPump(channel, channel.deadlineMs - 1);
    }
    EXPECT_EQ(pauses, "2 4 8 16 32 60 60 60 ");
    const long long now = channel.deadlineMs - 59000;  // at Exit, a second after the last refusal
    const std::string refused = " 0 2@" + std::to_string(now - 1000);
    EXPECT_EQ(statusOf(channel), "0 1" + refused + " " + std::to_string(now + 59000));
    collector.outcome = NetConnected;
    alertChannelPost(channel, "two", now);
    alertChannelPump(channel, now);
    alertChannelRetrySoon(channel, now);  // the pause must not outlast the time left
    alertChannelPump(channel, now);
    EXPECT_EQ(collector.received + statusOf(channel), "3 one3 two2 0" + refused + " idle");

    collector.hungUp = true;  // a restart: the open connection reads end of stream
    alertChannelConfigure(channel, target);
    alertChannelPost(channel, "three", now);
    alertChannelPump(channel, now);
    EXPECT_EQ(collector.received + statusOf(channel),
              "3 one3 two2 1 0 5@" + std::to_string(now) + " " + std::to_string(now + 1000));
    alertChannelPump(channel, now + 1000);
    EXPECT_EQ(collector.received + std::to_string(collector.connects), "3 one3 two5 three11");
}

TEST(AlertChannel, PartialSendsTheBoundANewTargetUdpAndDisabling)
{
    resetFakeNet();
    collector.lookup = NetResolved;
    AlertChannel channel;
    alertChannelConfigure(channel, {1, "192.0.2.10", 601, AlertTcp});
    collector.sendRoom = 5;
    alertChannelPost(channel, "abcdefgh", 0);
    alertChannelPump(channel, 0);
    for (int i = 0; i < kAlertQueueMessages; ++i)
        alertChannelPost(channel, "m" + std::to_string(i), 0);
    EXPECT_EQ(collector.received + "|" + channel.queue[1] + "|" + statusOf(channel), "8 abc|m1|0 10000 1 0@0 10000")
        << "the oldest that is not partly on the wire goes";
    const std::string big(kAlertQueueBytes - 8, 'B');
    alertChannelPost(channel, big, 0);
    EXPECT_EQ(statusOf(channel), "0 2 10000 0@0 10000");
    alertChannelConfigure(channel, {1, "192.0.2.11", 601, AlertTcp});  // the one cut short goes again, whole
    collector.sendRoom = -1;
    alertChannelPump(channel, 0);
    const std::string drained = "8 abc8 abcdefgh" + frameOctetCounted(big);
    EXPECT_EQ(collector.received + statusOf(channel), drained + "2 0 10000 0@0 idle");

    collector.received.clear();  // UDP: a failed lookup waits; then a datagram a message, a refused one counted
    collector.lookup = NetResolveFailed;
    alertChannelConfigure(channel, {1, "nowhere", 514, AlertUdp});
    SyslogOrigin origin;
    syslogOriginInit(origin, "PC", 9);
    alertChannelPostEvent(channel, origin, {AlertStandby, "", 0, 23, 1}, 100);
    alertChannelPump(channel, 100);
    EXPECT_EQ(statusOf(channel), "2 1 10000 1@100 1100");
    collector.lookup = NetResolved;
    alertChannelPost(channel, "second", 1100);
    alertChannelPump(channel, 1100);
    collector.sendRoom = 0;
    alertChannelPost(channel, "lost", 1200);
    alertChannelPump(channel, 1200);
    const std::string& got = collector.received;
    EXPECT_EQ(got.substr(0, 4) + got.substr(31, 23) + got.substr(got.find(" (")) + statusOf(channel),
              "<37>PC velmoranth 9 standby (FreeBSD 5.1)|second|4 0 10001 6@1200 idle");

    alertChannelConfigure(channel, {1, "nowhere", 601, AlertTcp});
    alertChannelPost(channel, "x", 1300);
    alertChannelPost(channel, "y", 1300);
    alertChannelPump(channel, 1300);
    alertChannelConfigure(channel, {0, "nowhere", 601, AlertTcp});
    alertChannelPost(channel, "z", 1300);
    EXPECT_EQ(statusOf(channel) + std::to_string(collector.open), "4 0 10003 6@1200 idle" + std::to_string(kNoSocket));
}
