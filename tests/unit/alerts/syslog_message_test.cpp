#include "alerts/syslog_message.h"

#include <gtest/gtest.h>

#define SD_VERSION "version=\"" VELMO_VERSION_TEXT "\"]"

namespace {

std::string built(const SyslogOrigin& origin, AlertFacts facts, unsigned long sequenceId = 7)
{
    facts.time.utc = {2026, 12, 7, 2, 4, 5, 9};
    facts.sequenceId = sequenceId;
    char message[kSyslogMessageSize];
    const int length = buildSyslogMessage(origin, facts, message, sizeof message);
    return std::string(message, static_cast<std::size_t>(length));
}

AlertFacts facts(AlertEvent event, int port, int daemon)
{
    AlertFacts f{};
    f.event = event;
    f.localPort = port;
    f.daemonKind = daemon;
    return f;
}

} // namespace

TEST(SyslogMessage, EachEventWholeWithItsSequenceIdACleanedHostAndBothFramings)
{
    SyslogOrigin origin;
    syslogOriginInit(origin, "DECOY-PC", 1234);
    const PeerAddress peer = {2, 0x02C8, {203, 0, 113, 7}, {}};  // port 51202 on the wire: C8 02
    AlertFacts beat = facts(AlertHeartbeat, 23, 1);
    beat.heartbeat = {1, 12, 9, 2, 1, 3, 0, {}, {}, 0, 0};
    AlertFacts idle = beat;
    idle.heartbeat.listening = 0;
    idle.heartbeat.tripwiresOn = 1;
    portListAdd(idle.heartbeat.refused, 445);
    idle.heartbeat.scans = 2;
    idle.heartbeat.evicted = 5;
    AlertFacts scan = facts(AlertScan, 0, 0);
    std::snprintf(scan.callerAddress, sizeof scan.callerAddress, "203.0.113.7");
    scan.scan = AlertScanFacts{{{21, 22, 3389}, 3}, 4, 2};
    const AlertFacts kFacts[] = {callerAlertFacts(peer, 21, kTripwireDaemon), facts(AlertListen, 12345, 4),
                                 facts(AlertStandby, 23, 5), facts(AlertTest, 0, 0), beat, idle, scan};
    const char* const kExpected[] = {
        "<36>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 connect [velmoranth@32473 src=\"203.0.113.7\" "
        "srcPort=\"51202\" dstPort=\"21\" daemon=\"Tripwire\" " SD_VERSION "[meta sequenceId=\"7\"]"
        " Connection from 203.0.113.7:51202 to port 21 (Tripwire)",
        "<37>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 listen [velmoranth@32473 dstPort=\"12345\" "
        "daemon=\"NetBus 1.60\" " SD_VERSION "[meta sequenceId=\"7\"] Listening on port 12345 (NetBus 1.60)",
        "<37>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 standby [velmoranth@32473 dstPort=\"23\" "
        "daemon=\"Custom\" " SD_VERSION "[meta sequenceId=\"7\"] Stopped listening on port 23 (Custom)",
        "<37>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 test [velmoranth@32473 " SD_VERSION
        "[meta sequenceId=\"7\"] Test message from Velmoranth " VELMO_VERSION_TEXT,
        "<38>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 heartbeat [velmoranth@32473 state=\"listening\" "
        "dstPort=\"23\" daemon=\"FreeBSD 5.1\" callers=\"12\" sent=\"9\" waiting=\"2\" dropped=\"1\" ignored=\"3\" "
        SD_VERSION "[meta sequenceId=\"7\"] Listening on port 23 (FreeBSD 5.1); 12 callers since start",
        "<38>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 heartbeat [velmoranth@32473 state=\"standby\" "
        "callers=\"12\" sent=\"9\" waiting=\"2\" dropped=\"1\" ignored=\"3\" tripwires=\"\" refused=\"445\" "
        "scans=\"2\" evicted=\"5\" " SD_VERSION "[meta sequenceId=\"7\"] Standing by; 12 callers since start",
        "<36>1 2026-12-07T02:04:05.009Z DECOY-PC velmoranth 1234 scan [velmoranth@32473 src=\"203.0.113.7\" "
        "ports=\"21,22,3389\" connections=\"4\" seconds=\"2\" " SD_VERSION "[meta sequenceId=\"7\"]"
        " Port scan from 203.0.113.7: 3 ports (21, 22, 3389) in 2 s",
    };
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(built(origin, kFacts[i]), kExpected[i]);
    AlertFacts odd = kFacts[0];
    std::snprintf(odd.callerAddress, sizeof odd.callerAddress, "1\"]\\");
    const std::string escaped = built(origin, odd, 2147483647);
    EXPECT_EQ(escaped.substr(escaped.find("src="), 21), R"(src="1\"\]\\" srcPort)") << "'\"', ']', '\\' escaped";
    EXPECT_NE(escaped.find("[meta sequenceId=\"2147483647\"]"), std::string::npos);
    EXPECT_EQ(std::to_string(alertNextSequenceId(2147483647)) + std::to_string(alertNextSequenceId(0)) +
                  std::to_string(alertNextSequenceId(41)),
              "1142");

    // Only the bytes 33 to 126, at most 255 of them; "-" when none is left.
    syslogOriginInit(origin, "\xe9 My\tPC\x7f!~", 7);
    EXPECT_EQ(built(origin, kFacts[3]).substr(31, 20), "MyPC!~ velmoranth 7 ");
    syslogOriginInit(origin, std::string(300, 'h').c_str(), 7);
    const std::string longest = origin.hostName;
    syslogOriginInit(origin, " \r\n", 7);
    EXPECT_EQ(longest + origin.hostName, std::string(255, 'h') + "-");
    char cut[16];
    EXPECT_EQ(std::to_string(buildSyslogMessage(origin, kFacts[0], cut, sizeof cut)) + cut, "15<36>1 0000-00-0");

    char framed[16];
    std::string frames;
    for (SyslogFraming framing : {SyslogFramingOctet, SyslogFramingLf})
        frames += std::string(framed, static_cast<std::size_t>(frameSyslogMessage(framing, "<37>1 x", 7, framed, 16)));
    EXPECT_EQ(frames + std::to_string(frameSyslogMessage(SyslogFramingOctet, "0123456789abcd", 14, framed, 16)),
              "7 <37>1 x<37>1 x\n0");
}
