#include "engine/alert_channel.h"
#include "engine/syslog_message.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

namespace {

FakeCollector& collector()
{
    return fakeNet().collector;
}

std::string statusOf(const AlertChannel& channel)
{
    const AlertStatus status = alertChannelStatus(channel);
    return std::to_string(status.sent) + " sent " + std::to_string(status.waiting) + " waiting " +
           std::to_string(status.dropped) + " dropped, error " + std::to_string(status.lastError) + " at " +
           std::to_string(status.lastErrorAtMs) + (alertChannelIdle(channel) ? ", idle" : "");
}

} // namespace

TEST(AlertChannel, TcpCollectorDownThenUpGetsAllInOrderAfterGrowingPausesAndARestartIsSeenBeforeWriting)
{
    resetFakeNet();
    AlertChannel channel;
    alertChannelConfigure(channel, {1, "collector.example", 601, AlertTcp});
    long long now = 5000;
    alertChannelPump(channel, now);
    alertChannelPost(channel, "one", now);
    alertChannelPump(channel, now);
    EXPECT_EQ(collector().connects + channel.state, AlertResolving) << "nothing waits, no connect; then a lookup";
    collector().outcome = ConnectPending;
    fakeNet().hosts["collector.example"] = "192.0.2.10";
    alertChannelPump(channel, now);
    alertChannelPump(channel, now + 9999);
    EXPECT_EQ(statusOf(channel), "0 sent 1 waiting 0 dropped, error 0 at 0");
    alertChannelPump(channel, now += 10000);
    EXPECT_EQ(statusOf(channel) + " " + std::to_string(channel.deadlineMs),
              "0 sent 1 waiting 0 dropped, error 3 at 15000 16000");
    now = channel.deadlineMs;
    collector().outcome = ConnectRefused;
    std::string pauses;
    for (int attempt = 0; attempt < 8; ++attempt) {
        alertChannelPump(channel, now);
        pauses += std::to_string((channel.deadlineMs - now) / 1000) + " ";
        alertChannelPump(channel, channel.deadlineMs - 1);
        now = channel.deadlineMs;
    }
    EXPECT_EQ(pauses, "2 4 8 16 32 60 60 60 ");
    EXPECT_EQ(collector().connects, 9) << "time-out, then a refusal at every end of a pause";
    const std::string lastRefusal = std::to_string(now - 60000);
    EXPECT_EQ(statusOf(channel), "0 sent 1 waiting 0 dropped, error 2 at " + lastRefusal);
    now -= 59000;  // at Exit, one second into a pause of a minute
    collector().outcome = ConnectAccepted;
    alertChannelPost(channel, "two", now);
    alertChannelRetrySoon(channel, now);
    alertChannelPump(channel, now);
    EXPECT_EQ(collector().received, "3 one3 two");
    EXPECT_EQ(statusOf(channel), "2 sent 0 waiting 0 dropped, error 2 at " + lastRefusal + ", idle");

    collector().hungUp = true;  // a restart: the open connection reads end of stream
    alertChannelPost(channel, "three", now);
    alertChannelPump(channel, now);
    EXPECT_EQ(collector().received + "|" + std::to_string(channel.deadlineMs - now), "3 one3 two|1000");
    alertChannelPump(channel, now + 1000);
    EXPECT_EQ(collector().received, "3 one3 two5 three");
    EXPECT_EQ(statusOf(channel), "3 sent 0 waiting 0 dropped, error 5 at " + std::to_string(now) + ", idle");
    EXPECT_EQ(collector().connects, 11);
}

TEST(AlertChannel, PartialSendsTheBoundANewTargetAndTheDrainAtExit)
{
    resetFakeNet();
    fakeNet().hosts = {{"192.0.2.10", "192.0.2.10"}, {"192.0.2.11", "192.0.2.11"}};
    AlertChannel channel;
    alertChannelConfigure(channel, {1, "192.0.2.10", 601, AlertTcp});
    collector().sendRoom = 5;
    alertChannelPost(channel, "abcdefgh", 0);
    alertChannelPump(channel, 0);
    EXPECT_EQ(collector().received, "8 abc");
    for (int i = 0; i < kAlertQueueMessages; ++i)
        alertChannelPost(channel, "m" + std::to_string(i), 0);
    EXPECT_EQ(statusOf(channel), "0 sent 10000 waiting 1 dropped, error 0 at 0");
    EXPECT_EQ(channel.queue[1], "m1") << "the oldest that is not partly on the wire goes";
    const std::string big(kAlertQueueBytes - 8, 'B');
    alertChannelPost(channel, big, 0);
    EXPECT_EQ(statusOf(channel), "0 sent 2 waiting 10000 dropped, error 0 at 0");

    // A new collector gets the waiting messages, the one cut short whole again.
    alertChannelConfigure(channel, {1, "192.0.2.11", 601, AlertTcp});
    collector().sendRoom = -1;
    alertChannelPump(channel, 0);
    EXPECT_EQ(collector().received, "8 abc8 abcdefgh" + frameOctetCounted(big));
    EXPECT_EQ(statusOf(channel), "2 sent 0 waiting 10000 dropped, error 0 at 0, idle");

    collector().sendRoom = 0;
    alertChannelPost(channel, "x", 0);
    alertChannelPost(channel, "y", 0);
    alertChannelPump(channel, 0);
    alertChannelConfigure(channel, {0, "192.0.2.11", 601, AlertTcp});
    alertChannelPost(channel, "z", 0);
    EXPECT_EQ(statusOf(channel), "2 sent 0 waiting 10002 dropped, error 0 at 0, idle");
    EXPECT_EQ(collector().open, kNoSocket);
}

TEST(AlertChannel, UdpSendsEachMessageAsADatagramCountsFailuresAndRetriesALookup)
{
    resetFakeNet();
    fakeNet().hosts = {{"collector.example", ""}};
    AlertChannel channel;
    alertChannelConfigure(channel, {1, "collector.example", 514, AlertUdp});
    SyslogOrigin origin;
    syslogOriginInit(origin, "PC", 9);
    alertChannelPostEvent(channel, origin, {AlertStandby, "", 0, 23, 1}, 100);
    alertChannelPump(channel, 100);
    EXPECT_EQ(statusOf(channel) + " " + std::to_string(channel.deadlineMs),
              "0 sent 1 waiting 0 dropped, error 1 at 100 1100");
    fakeNet().hosts["collector.example"] = "192.0.2.10";
    alertChannelPost(channel, "second", 1100);
    alertChannelPump(channel, 1100);
    collector().datagramsFail = true;
    alertChannelPost(channel, "lost", 1200);
    alertChannelPump(channel, 1200);
    ASSERT_EQ(collector().datagrams.size(), 2u);
    const std::string& first = collector().datagrams[0];
    EXPECT_EQ(first.substr(0, 4) + first.substr(31, 23) + collector().datagrams[1],
              "<37>PC velmoranth 9 standbysecond");
    EXPECT_EQ(statusOf(channel), "2 sent 0 waiting 1 dropped, error 6 at 1200, idle");
}
