#include "engine/alert_channel.h"
#include "engine/syslog_message.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

FakeCollector& collector = fakeNet().collector;

// Posts `message`, if any, and pumps at `now`. Then what reached the collector since the last look, "|", and the
// status: "sent waiting dropped error@time", then "idle" or the next deadline.
std::string at(AlertChannel& channel, long long now, const std::string& message = "")
{
    if (!message.empty())
        alertChannelPost(channel, message);
    alertChannelPump(channel, now);
    const AlertStatus status = alertChannelStatus(channel);
    return std::exchange(collector.received, "") + "|" + std::to_string(status.sent) + " " +
           std::to_string(status.waiting) + " " + std::to_string(status.dropped) + " " +
           std::to_string(status.lastError) + "@" + std::to_string(status.lastErrorAtMs) + " " +
           (alertChannelIdle(channel) ? "idle" : std::to_string(channel.deadlineMs));
}

} // namespace

TEST(AlertChannel, TcpCollectorDownThenUpGetsAllInOrderAfterGrowingPausesAndARestartIsSeenBeforeWriting)
{
    resetFakeNet();
    AlertChannel channel;
    const AlertTarget target = {1, "collector.example", 601, AlertTcp};
    alertChannelConfigure(channel, target);
    at(channel, 0);
    at(channel, 5000, "one");
    EXPECT_EQ(collector.connects + channel.state, AlertResolving) << "nothing waits, no connect; then a lookup";
    collector.outcome = NetConnectPending;
    collector.lookup = NetResolved;
    at(channel, 5000);
    at(channel, 14999);
    EXPECT_EQ(at(channel, 15000), "|0 1 0 3@15000 16000") << "a connect times out after 10 s";
    collector.outcome = NetConnectFailed;
    std::string pauses;
    for (long long now = channel.deadlineMs; pauses.size() < 20; now = channel.deadlineMs) {
        at(channel, now);
        pauses += std::to_string((channel.deadlineMs - now) / 1000) + " ";
        at(channel, channel.deadlineMs - 1);
    }
    EXPECT_EQ(pauses, "2 4 8 16 32 60 60 60 ");
    const long long now = channel.deadlineMs - 59000;  // at Exit, a second after the last refusal
    const std::string refused = " 0 2@" + std::to_string(now - 1000);
    collector.outcome = NetConnected;
    EXPECT_EQ(at(channel, now, "two"), "|0 2" + refused + " " + std::to_string(now + 59000));
    alertChannelRetrySoon(channel, now);  // the pause must not outlast the time left
    EXPECT_EQ(at(channel, now), "3 one3 two|2 0" + refused + " idle");

    collector.hungUp = true;  // a restart: the open connection reads end of stream
    alertChannelConfigure(channel, target);
    EXPECT_EQ(at(channel, now, "three"), "|2 1 0 5@" + std::to_string(now) + " " + std::to_string(now + 1000));
    EXPECT_EQ(at(channel, now + 1000), "5 three|3 0 0 5@" + std::to_string(now) + " idle");
    EXPECT_EQ(collector.connects, 11);
}

TEST(AlertChannel, PartialSendsTheBoundANewTargetUdpAndDisabling)
{
    resetFakeNet();
    collector.lookup = NetResolved;
    collector.sendRoom = 5;
    AlertChannel channel;
    alertChannelConfigure(channel, {1, "192.0.2.10", 601, AlertTcp});
    EXPECT_EQ(at(channel, 0, "abcdefgh"), "8 abc|0 1 0 0@0 10000");
    for (int i = 0; i < kAlertQueueMessages; ++i)
        alertChannelPost(channel, "m" + std::to_string(i));
    EXPECT_EQ(channel.queue[1], "m1") << "the oldest that is not partly on the wire goes";
    EXPECT_EQ(at(channel, 0), "|0 10000 1 0@0 10000");
    const std::string big(kAlertQueueBytes - 8, 'B');
    EXPECT_EQ(at(channel, 0, big), "|0 2 10000 0@0 10000");
    collector.sendRoom = -1;
    alertChannelConfigure(channel, {1, "192.0.2.11", 601, AlertTcp});  // the one cut short goes again, whole
    EXPECT_EQ(at(channel, 0), "8 abcdefgh" + frameOctetCounted(big) + "|2 0 10000 0@0 idle");

    collector.lookup = NetResolveFailed;  // UDP: a failed lookup waits; then one datagram a message, refusals counted
    alertChannelConfigure(channel, {1, "nowhere", 514, AlertUdp});
    SyslogOrigin origin;
    syslogOriginInit(origin, "PC", 9);
    alertChannelPostEvent(channel, origin, {AlertStandby, "", 0, 23, 1});
    EXPECT_EQ(at(channel, 100), "|2 1 10000 1@100 1100");
    collector.lookup = NetResolved;
    const std::string got = at(channel, 1100, "second");
    EXPECT_EQ(got.substr(0, 4) + got.substr(31, 23) + got.substr(got.find(" (")),
              "<37>PC velmoranth 9 standby (FreeBSD 5.1)|second||4 0 10000 1@100 idle");
    collector.sendRoom = 0;
    EXPECT_EQ(at(channel, 1200, "lost"), "|4 0 10001 6@1200 idle");

    alertChannelConfigure(channel, {1, "nowhere", 601, AlertTcp});
    alertChannelPost(channel, "x");
    at(channel, 1300, "y");
    alertChannelConfigure(channel, {0, "nowhere", 601, AlertTcp});
    EXPECT_EQ(at(channel, 1300, "z"), "|4 0 10003 6@1200 idle");
    EXPECT_EQ(collector.open, kNoSocket);
}
