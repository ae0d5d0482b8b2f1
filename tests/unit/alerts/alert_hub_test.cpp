#include "alerts/alert_hub.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

AlertHubStorage storage;

AlertFacts connect(const char* address, int port = 23)
{
    AlertFacts facts{};
    facts.event = AlertConnect;
    std::snprintf(facts.callerAddress, sizeof facts.callerAddress, "%s", address);
    facts.callerPort = 40000;
    facts.localPort = port;
    facts.daemonKind = 1;
    return facts;
}

WallTime at(int hour, int minute)
{
    WallTime time{};
    time.utc = time.local = CalendarTime{2026, 12, 7, hour, minute, 0, 0};
    return time;
}

// What waits in the syslog queue, one message a line, each as "msgid sequenceId: text", then empties it.
std::string syslogWaiting(AlertHub& hub)
{
    AlertQueue& queue = hub.channels[AlertSyslogChannel].queue;
    std::string lines;
    static const std::regex message(R"re(\S+ \S+ \S+ \S+ \S+ (\S+) .*sequenceId="(\d+)"\] (.*))re");
    for (int i = 0; i < queue.count; ++i) {
        unsigned long length = 0;
        const char* text = alertQueueMessage(queue, i, length);
        std::smatch m;
        const std::string whole(text, length);
        lines += std::regex_match(whole, m, message) ? m[1].str() + " " + m[2].str() + ": " + m[3].str() + "\n"
                                                     : "?" + whole + "\n";
    }
    alertQueuePop(queue, queue.count);
    return lines;
}

} // namespace

TEST(AlertHub, EveryEventGetsTheNextSequenceIdAnIgnoredCallerNoneAndTheHeartbeatComesAtStartThenEachPeriod)
{
    resetFakeNet();  // look-ups never answer: what is posted stays queued
    static AlertHub hub;
    SyslogOrigin origin;
    syslogOriginInit(origin, "PC", 7);
    alertHubInit(hub, storage, origin, 0);
    AlertSettings settings{};
    settings.syslog = SyslogTarget{1, "collector.example", 514, SyslogTcp, SyslogFramingOctet, {}};
    settings.filters.heartbeatMinutes = 15;
    settings.filters.ignore[0] = IgnoreEntry{0xC0A80700, 0xFFFFFF00, 0};  // 192.168.7.0/24
    settings.filters.ignore[1] = IgnoreEntry{0x0A000009, 0xFFFFFFFF, 23};  // 10.0.0.9:23
    settings.filters.ignoreCount = 2;
    alertHubConfigure(hub, settings, 1000);
    const AlertDecoyState listening{1, 23, 1, {}, {}};
    alertHubPump(hub, listening, at(10, 0), 1000);
    alertHubEvent(hub, connect("203.0.113.7"), at(10, 1), 2000);
    alertHubEvent(hub, connect("192.168.7.200"), at(10, 2), 3000);
    alertHubEvent(hub, connect("10.0.0.9"), at(10, 3), 4000);
    alertHubEvent(hub, connect("10.0.0.9", 2323), at(10, 4), 5000);
    alertHubEvent(hub, connect("192.168.8.1"), at(10, 5), 6000);
    alertHubPump(hub, listening, at(10, 14), 1000 + 15 * 60000 - 1);
    AlertFacts standby{};
    standby.event = AlertStandby;
    standby.localPort = 23;
    standby.daemonKind = 1;
    alertHubEvent(hub, standby, at(10, 15), 1000 + 15 * 60000 - 1);
    alertHubPump(hub, AlertDecoyState{0, 0, 1, {}, {}}, at(10, 16), 1000 + 15 * 60000);
    EXPECT_EQ(syslogWaiting(hub),
              "heartbeat 1: Listening on port 23 (FreeBSD 5.1); 0 callers since start\n"
              "connect 2: Connection from 203.0.113.7:40000 to port 23 (FreeBSD 5.1)\n"
              "connect 3: Connection from 10.0.0.9:40000 to port 2323 (FreeBSD 5.1)\n"
              "connect 4: Connection from 192.168.8.1:40000 to port 23 (FreeBSD 5.1)\n"
              "standby 5: Stopped listening on port 23 (FreeBSD 5.1)\n"
              "heartbeat 6: Standing by; 5 callers since start\n");
    EXPECT_EQ(hub.ignored, 2ul);
    fakeNet().collector.lookup = NetResolved;  // the collector answers at last: the pump delivers
    alertHubRetrySoon(hub, 1000 + 15 * 60000);  // as at Exit: no pause left
    alertHubEvent(hub, standby, at(11, 0), 1000 + 15 * 60000 + 1);
    alertHubPump(hub, listening, at(11, 0), 1000 + 15 * 60000 + 201);
    EXPECT_EQ(alertChannelStatus(hub.channels[AlertSyslogChannel]).sent, 1ul);
    EXPECT_EQ(alertHubTestEvent(hub, AlertMailChannel, at(11, 0)).sequenceId, 7ul);
    EXPECT_EQ(alertHubTestEvent(hub, AlertSyslogChannel, at(11, 0)).sequenceId, 8ul);
    settings.filters.heartbeatMinutes = 0;
    alertHubConfigure(hub, settings, 2000000);
    alertHubPump(hub, listening, at(12, 0), 1000 + 60 * 60000);
    EXPECT_EQ(syslogWaiting(hub), "") << "the heartbeat is off";
    EXPECT_EQ(alertHubIgnores(settings.filters, "192.168.7.0", 1) + alertHubIgnores(settings.filters, "192.168.6.255", 1) +
                  alertHubIgnores(settings.filters, "10.0.0.9", 0) + alertHubIgnores(settings.filters, "x", 23),
              1);
}

namespace {

// The events and sequence ids waiting on a person's channel, from the JSON bodies or the mails' subjects.
std::string waitingFor(AlertHub& hub, int id)
{
    AlertQueue& queue = hub.channels[id].queue;
    static const std::regex json(R"re("event":"(\w+)".*"sequenceId":(\d+),"text":"([^"]*))re");
    static const std::regex mail(R"re(Subject: Velmoranth: ([^\r]*)[\s\S]*Sequence id: (\d+))re");
    std::string lines;
    for (int i = 0; i < queue.count; ++i) {
        unsigned long length = 0;
        const char* text = alertQueueMessage(queue, i, length);
        const std::string whole(text, length);
        std::smatch m;
        if (std::regex_search(whole, m, json))
            lines += m[1].str() + " " + m[2].str() + ": " + m[3].str() + "\n";
        else if (std::regex_search(whole, m, mail))
            lines += m[2].str() + ": " + m[1].str() + "\n";
    }
    return lines;
}

} // namespace

TEST(AlertHub, PersonsChannelsCarryConnectionsAndSummariesEachByItsOwnIncidentsAndEventSet)
{
    resetFakeNet();
    static AlertHub hub;
    SyslogOrigin origin;
    syslogOriginInit(origin, "PC", 7);
    alertHubInit(hub, storage, origin, 0);
    AlertSettings settings{};
    settings.mail = MailTarget{1, "mail.example", 25, MailSecurityNone, "", "", "d@example.net", {"a@example.net"}, 1,
                               AlertEventsConnect, {}};
    settings.webhook = WebhookTarget{1, "https://hooks.example/x", WebhookJson, AlertEventsConnectAndListen};
    settings.syslog = SyslogTarget{1, "collector.example", 514, SyslogTcp, SyslogFramingOctet, {}};
    settings.filters.quietMinutes = 10;
    settings.filters.heartbeatMinutes = 1;  // syslog's alone
    alertHubConfigure(hub, settings, 0);
    AlertFacts listen{};
    listen.event = AlertListen;
    listen.localPort = 23;
    listen.daemonKind = 1;
    alertHubEvent(hub, listen, at(10, 0), 0);
    alertHubEvent(hub, connect("203.0.113.7"), at(10, 1), 60000);
    alertHubEvent(hub, connect("203.0.113.7"), at(10, 2), 120000);
    alertHubConfigure(hub, settings, 150000);  // the same settings again change nothing
    alertHubEvent(hub, connect("203.0.113.7"), at(10, 3), 180000);
    alertHubPump(hub, AlertDecoyState{1, 23, 1, {}, {}}, at(10, 3), 180000);
    AlertFacts standby = listen;
    standby.event = AlertStandby;
    alertHubEvent(hub, standby, at(10, 4), 240000);
    EXPECT_EQ(waitingFor(hub, AlertMailChannel),
              "2: connection from 203.0.113.7 to port 23 on PC\n5: 2 more connections from 203.0.113.7 to port 23 on PC\n");
    EXPECT_EQ(waitingFor(hub, AlertWebhookChannel),
              "listen 1: Listening on port 23 (FreeBSD 5.1)\nconnect 2: Connection from 203.0.113.7:40000 to port 23 "
              "(FreeBSD 5.1)\nsummary 5: 2 more connections from 203.0.113.7 to port 23 between 10:02 and 10:03\n"
              "standby 6: Stopped listening on port 23 (FreeBSD 5.1)\n")
        << "a summary carries the last sequence id given (a heartbeat's here): the ids number what syslog receives, "
           "and the heartbeat is syslog's alone";
    EXPECT_EQ(hub.callers, 3ul);
}

namespace {

// What the incidents let through of a connection from `address` at minute `minute`: "+" sent, "." counted; and
// each summary that is due then, in brackets.
std::string connections(AlertIncidents& incidents, const char* address, int minute)
{
    AlertFacts facts = connect(address);
    facts.time = at(10 + minute / 60, minute % 60);
    std::string seen;
    AlertFacts summary{};
    const long long now = minute * 60000LL;
    while (alertIncidentsDue(incidents, now, summary)) {
        char text[200];
        alertReadableText(summary, text, sizeof text);
        seen += std::string("[") + text + "]";
    }
    return seen + (alertIncidentsAdmit(incidents, facts, now) ? "+" : ".");
}

} // namespace

TEST(AlertIncidents, OneAlertPerAddressAndQuietTimeThenOneSummaryAndAtMostThirtyAnHourThenTheRestSummedUp)
{
    static AlertIncidents incidents;
    alertIncidentsInit(incidents, 10);
    std::string seen;
    for (int minute : {41, 43, 45, 51})
        seen += connections(incidents, "203.0.113.7", minute);
    seen += connections(incidents, "198.51.100.1", 52);
    seen += connections(incidents, "198.51.100.1", 53);
    AlertFacts summary{};  // read after a call that found nothing due, too
    for (int ending : {0, 1, 1}) {
        seen += std::to_string(alertIncidentsDue(incidents, 54 * 60000LL, summary, ending));
        seen += summary.event == AlertSummary ? std::to_string(summary.summary.connections) + summary.callerAddress : "";
        summary = AlertFacts{};
    }
    EXPECT_EQ(seen, "+..[2 more connections from 203.0.113.7 to port 23 between 10:43 and 10:45]++.011198.51.100.10")
        << "when listening stops, what was counted is told at once";

    alertIncidentsInit(incidents, 0);  // every connection, but no more than 30 an hour
    seen.clear();
    for (int i = 0; i < 33; ++i)
        seen += connections(incidents, i % 2 ? "198.51.100.1" : "198.51.100.2", i);
    seen += connections(incidents, "198.51.100.3", 60);
    EXPECT_EQ(seen, std::string(30, '+') + "..." +
                        "[3 more connections from 2 addresses to port 23 between 10:30 and 10:32]+");

    alertIncidentsInit(incidents, 10);
    seen.clear();
    for (int i = 0; i < 40; ++i)
        seen += connections(incidents, ("203.0.113." + std::to_string(i % 35)).c_str(), i / 4);
    EXPECT_EQ(seen, std::string(30, '+') + std::string(10, '.'));
    seen.clear();
    for (int minute : {20, 61})
        seen += connections(incidents, "192.0.2.1", minute);
    EXPECT_EQ(seen, ".[11 more connections from 11 addresses to port 23 between 10:07 and 10:20]+")
        << "five held back, then the summaries of five more, then one: all in the flood's summary";
}

// A sweep over the daemon's port and the tripwires: syslog gets every hit and one scan; a person gets the first
// connection, the scan and one summary; an ignored hit counts nowhere; the heartbeat tells the tripwires.
TEST(AlertHub, ASweepIsOneScanAndAtMostThreeMessagesForAPerson)
{
    resetFakeNet();
    static AlertHub hub;
    SyslogOrigin origin;
    syslogOriginInit(origin, "PC", 7);
    alertHubInit(hub, storage, origin, 0);
    AlertSettings settings = defaultAlertSettings();
    settings.syslog = SyslogTarget{1, "collector.example", 514, SyslogTcp, SyslogFramingOctet, {}};
    settings.webhook = WebhookTarget{1, "https://hooks.example/x", WebhookJson, AlertEventsConnect};
    settings.filters.heartbeatMinutes = 0;
    settings.filters.ignore[0] = IgnoreEntry{0x0A000009, 0xFFFFFFFF, 21};  // 10.0.0.9:21
    settings.filters.ignoreCount = 1;
    settings.tripwires = TripwireSettings{1, {{21, 22, 3389}, 3}, 3, 60};
    alertHubConfigure(hub, settings, 0);
    const struct {
        const char* from;
        int port;
        long long ms;
    } kHits[] = {{"203.0.113.7", 23, 0},    {"203.0.113.7", 21, 1000}, {"10.0.0.9", 21, 1500}, {"10.0.0.9", 22, 1600},
                 {"10.0.0.9", 23, 1700},    {"203.0.113.7", 22, 2000}, {"203.0.113.7", 3389, 2500}};
    for (const auto& hit : kHits) {
        AlertFacts facts = connect(hit.from, hit.port);
        facts.daemonKind = hit.port == 23 ? 1 : kTripwireDaemon;
        alertHubEvent(hub, facts, at(10, 1), hit.ms);
    }
    AlertFacts standby{};
    standby.event = AlertStandby;
    alertHubEvent(hub, standby, at(10, 2), 3000);
    const std::string syslog = syslogWaiting(hub);
    EXPECT_EQ(syslog.substr(0, syslog.find("connect 7")),
              "connect 1: Connection from 203.0.113.7:40000 to port 23 (FreeBSD 5.1)\n"
              "connect 2: Connection from 203.0.113.7:40000 to port 21 (Tripwire)\n"
              "connect 3: Connection from 10.0.0.9:40000 to port 22 (Tripwire)\n"
              "connect 4: Connection from 10.0.0.9:40000 to port 23 (FreeBSD 5.1)\n"
              "connect 5: Connection from 203.0.113.7:40000 to port 22 (Tripwire)\n"
              "scan 6: Port scan from 203.0.113.7: 3 ports (21, 22, 23) in 2 s\n");
    EXPECT_EQ(waitingFor(hub, AlertWebhookChannel),
              "connect 1: Connection from 203.0.113.7:40000 to port 23 (FreeBSD 5.1)\n"
              "connect 3: Connection from 10.0.0.9:40000 to port 22 (Tripwire)\n"
              "scan 6: Port scan from 203.0.113.7: 3 ports (21, 22, 23) in 2 s\n"
              "summary 7: 3 more connections from 203.0.113.7 to ports 21, 22, 3389 between 10:01 and 10:01\n"
              "summary 7: 1 more connection from 10.0.0.9 to port 23 between 10:01 and 10:01\n");
    AlertDecoyState decoy{1, 23, 1, {{21, 22}, 2}, {{3389}, 1}};
    settings.filters.heartbeatMinutes = 15;
    alertHubConfigure(hub, settings, 4000);
    alertHubPump(hub, decoy, at(10, 3), 4000);
    unsigned long length = 0;
    const char* beat = alertQueueMessage(hub.channels[AlertSyslogChannel].queue, 0, length);
    EXPECT_NE(std::string(beat, length).find(" ignored=\"1\" tripwires=\"21,22\" refused=\"3389\" scans=\"1\" "),
              std::string::npos) << std::string(beat, length);
}
