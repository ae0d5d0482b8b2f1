#include "engine/syslog_message.h"

#include <gtest/gtest.h>

#define SD_VERSION "version=\"" VELMO_VERSION_TEXT "\"]"

TEST(SyslogMessage, EachEventWholeWithACleanedHostAndTcpFraming)
{
    SyslogOrigin origin;
    syslogOriginInit(origin, "DECOY-PC", 1234);
    const UtcTime time = {2026, 12, 7, 2, 4, 5, 9};
    const PeerAddress peer = {2, 0x02C8, {203, 0, 113, 7}, {}};  // port 51202 on the wire: C8 02
    const AlertFacts kFacts[] = {
        callerAlertFacts(peer, 23, 1), {AlertListen, "", 0, 12345, 4}, {AlertStandby, "", 0, 23, 5},
        {AlertTest, "", 0, 0, 0},
    };
    const char* const kExpected[] = {
        "<36>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 connect [velmoranth@32473 src=\"203.0.113.7\" "
        "srcPort=\"51202\" dstPort=\"23\" daemon=\"FreeBSD 5.1\" " SD_VERSION
        " Connection from 203.0.113.7:51202 to port 23 (FreeBSD 5.1)",
        "<37>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 listen [velmoranth@32473 dstPort=\"12345\" "
        "daemon=\"NetBus 1.60\" " SD_VERSION " Listening on port 12345 (NetBus 1.60)",
        "<37>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 standby [velmoranth@32473 dstPort=\"23\" "
        "daemon=\"Custom\" " SD_VERSION " Stopped listening on port 23 (Custom)",
        "<37>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 test [velmoranth@32473 " SD_VERSION
        " Test message from Velmoranth " VELMO_VERSION_TEXT,
    };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(buildSyslogMessage(origin, time, kFacts[i]), kExpected[i]);
    const std::string escaped = buildSyslogMessage(origin, time, {AlertConnect, "1\"]\\", 5, 2, 6});
    EXPECT_EQ(escaped.substr(escaped.find("src="), 21), R"(src="1\"\]\\" srcPort)") << "'\"', ']', '\\' escaped";

    // Only the bytes 33 to 126, at most 255 of them; "-" when none is left.
    syslogOriginInit(origin, "\xe9 My\tPC\x7f!~", 7);
    EXPECT_EQ(buildSyslogMessage(origin, time, kFacts[3]).substr(31, 20), "MyPC!~ velmoranth 7 ");
    syslogOriginInit(origin, std::string(300, 'h').c_str(), 7);
    const std::string longest = origin.hostName;
    syslogOriginInit(origin, " \r\n", 7);
    EXPECT_EQ(longest + origin.hostName, std::string(255, 'h') + "-");
    EXPECT_EQ(frameOctetCounted("<37>1 x") + "|" + frameOctetCounted(std::string(100, 'y')).substr(0, 5),
              "7 <37>1 x|100 y");
    const UtcTime now = utcNow();
    EXPECT_TRUE(now.year >= 2024 && now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31 &&
                now.hour < 24 && now.minute < 60 && now.second < 60 && now.millisecond < 1000);
}
