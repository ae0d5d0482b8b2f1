#include "alerts/alert_hub.h"

#include "alerts/mail_message.h"
#include "alerts/syslog_message.h"
#include "alerts/webhook_body.h"
#include "platform/ipv4_text.h"

#include <cstring>

namespace {

constexpr int kRenderedSize = static_cast<int>(kWebhookMessageSize) > static_cast<int>(kMailMessageSize)
                                  ? static_cast<int>(kWebhookMessageSize)
                                  : static_cast<int>(kMailMessageSize);

// One buffer for every rendering: the hub runs on the window's thread alone.
char rendered[kRenderedSize];

AlertEventChoice eventsOf(const AlertHub& hub, int id)
{
    return id == AlertMailChannel ? hub.channels[id].mail.events : hub.channels[id].webhook.events;
}

// Of the decoy's events, e-mail and webhooks carry connections, and
// listening's start and stop when asked; syslog carries all. (Summaries and
// heartbeats are posted where they belong, not through here.)
bool carries(const AlertHub& hub, int id, AlertEvent event)
{
    if (id == AlertSyslogChannel)
        return true;
    if (event == AlertListen || event == AlertStandby)
        return eventsOf(hub, id) == AlertEventsConnectAndListen;
    return event == AlertConnect || event == AlertScan;
}

void post(AlertHub& hub, int id, const AlertFacts& facts)
{
    AlertChannel& channel = hub.channels[id];
    const int length = alertRender(hub.origin, channel, facts, rendered, sizeof rendered);
    alertChannelPost(channel, rendered, length);
}

void stamp(AlertFacts& facts, const WallTime& time, unsigned long sequenceId)
{
    facts.time = time;
    facts.sequenceId = sequenceId;
}

// A summary is built for the channels that reach a person; it takes no
// sequence id of its own, which number what syslog receives, but carries the
// last one given.
void postDueSummaries(AlertHub& hub, const WallTime& time, long long nowMs, int ending = 0)
{
    for (int id = AlertMailChannel; id < kAlertChannels; ++id) {
        AlertFacts summary;
        while (alertIncidentsDue(hub.incidents[id], nowMs, summary, ending)) {
            stamp(summary, time, hub.lastSequenceId);
            if (alertChannelEnabled(hub.channels[id]))
                post(hub, id, summary);
        }
    }
}

void postHeartbeat(AlertHub& hub, const AlertDecoyState& decoy, const WallTime& time)
{
    const AlertStatus status = alertChannelStatus(hub.channels[AlertSyslogChannel]);
    AlertFacts facts{};
    facts.event = AlertHeartbeat;
    facts.localPort = decoy.listening ? decoy.localPort : 0;
    facts.daemonKind = decoy.daemonKind;
    facts.heartbeat = AlertHeartbeatFacts{decoy.listening, hub.callers, status.sent, status.waiting, status.dropped,
                                          hub.ignored, hub.tripwiresOn, decoy.armed, decoy.refused,
                                          hub.scans.scans, hub.scans.evicted};
    hub.lastSequenceId = alertNextSequenceId(hub.lastSequenceId);
    stamp(facts, time, hub.lastSequenceId);
    post(hub, AlertSyslogChannel, facts);
}

long long heartbeatPeriodMs(const AlertHub& hub)
{
    return hub.filters.heartbeatMinutes * 60000LL;
}

// Stamped, then handed to each channel that carries it: syslog gets every
// one; e-mail and webhooks what their incidents let through.
void postToChannels(AlertHub& hub, AlertFacts& facts, const WallTime& time, long long nowMs)
{
    hub.lastSequenceId = alertNextSequenceId(hub.lastSequenceId);
    stamp(facts, time, hub.lastSequenceId);
    for (int id = 0; id < kAlertChannels; ++id) {
        AlertChannel& channel = hub.channels[id];
        if (!alertChannelEnabled(channel) || !carries(hub, id, facts.event))
            continue;
        if (id == AlertSyslogChannel || alertIncidentsAdmit(hub.incidents[id], facts, nowMs))
            post(hub, id, facts);
    }
}

// Scans are told while the tripwires are on; a new rule starts afresh.
void configureScans(AlertHub& hub, const TripwireSettings& tripwires)
{
    const int scanPorts = tripwires.enabled ? tripwires.scanPorts : 0;
    hub.tripwiresOn = tripwires.enabled;
    if (scanPorts != hub.scans.scanPorts || tripwires.scanSeconds * 1000LL != hub.scans.windowMs)
        scanTrackerConfigure(hub.scans, scanPorts, tripwires.scanSeconds);
}

// The connect that crosses the scan rule's line is followed by the scan.
void postScanOf(AlertHub& hub, const AlertFacts& connect, const WallTime& time, long long nowMs)
{
    AlertFacts scan{};
    if (!scanTrackerHit(hub.scans, connect.callerAddress, connect.localPort, nowMs, scan.scan))
        return;
    scan.event = AlertScan;
    std::memcpy(scan.callerAddress, connect.callerAddress, sizeof scan.callerAddress);
    postToChannels(hub, scan, time, nowMs);
}

} // namespace

int alertRender(const SyslogOrigin& origin, const AlertChannel& channel, const AlertFacts& facts, char* out,
                int size)
{
    switch (channel.sender) {
    case SenderSmtp: return buildMailMessage(origin, channel.mail, facts, out, size);
    case SenderWebhook: return buildWebhookMessage(channel.webhook.format, origin, facts, out, size);
    // A stream frames at most kSyslogMessageSize bytes: no longer message is queued.
    default: return buildSyslogMessage(origin, facts, out, size < kSyslogMessageSize ? size : kSyslogMessageSize);
    }
}

void alertHubInit(AlertHub& hub, AlertHubStorage& storage, const SyslogOrigin& origin, int firstSlot)
{
    for (int id = 0; id < kAlertChannels; ++id) {
        alertChannelInit(hub.channels[id], storage.queues[id], firstSlot + id);
        alertIncidentsInit(hub.incidents[id], 0);
    }
    hub.origin = origin;
    hub.filters = AlertFilters{};
    hub.lastSequenceId = 0;
    hub.callers = hub.ignored = 0;
    hub.heartbeatDueMs = -1;
    hub.tripwiresOn = 0;
    scanTrackerConfigure(hub.scans, 0, kDefaultScanSeconds);
    hub.scans.scans = hub.scans.evicted = 0;
}

void alertHubConfigure(AlertHub& hub, const AlertSettings& settings, long long nowMs)
{
    alertChannelConfigureSyslog(hub.channels[AlertSyslogChannel], settings.syslog);
    alertChannelConfigureMail(hub.channels[AlertMailChannel], settings.mail);
    alertChannelConfigureWebhook(hub.channels[AlertWebhookChannel], settings.webhook);
    for (int id = AlertMailChannel; id < kAlertChannels; ++id)
        hub.incidents[id].quietMs = settings.filters.quietMinutes * 60000LL;
    hub.filters = settings.filters;
    configureScans(hub, settings.tripwires);
    const bool beating = settings.syslog.enabled && settings.filters.heartbeatMinutes > 0;
    if (!beating)
        hub.heartbeatDueMs = -1;
    else if (hub.heartbeatDueMs < 0 || hub.heartbeatDueMs > nowMs + heartbeatPeriodMs(hub))
        hub.heartbeatDueMs = hub.heartbeatDueMs < 0 ? nowMs : nowMs + heartbeatPeriodMs(hub);
}

void alertHubEvent(AlertHub& hub, AlertFacts facts, const WallTime& time, long long nowMs)
{
    if (facts.event == AlertConnect) {
        ++hub.callers;
        if (alertHubIgnores(hub.filters, facts.callerAddress, facts.localPort)) {
            ++hub.ignored;
            return;
        }
    }
    // Listening stops: what was counted is told now, before the stop itself.
    postDueSummaries(hub, time, nowMs, facts.event == AlertStandby);
    postToChannels(hub, facts, time, nowMs);
    if (facts.event == AlertConnect)
        postScanOf(hub, facts, time, nowMs);
    for (AlertChannel& channel : hub.channels)
        alertChannelPump(channel, nowMs);
}

void alertHubPump(AlertHub& hub, const AlertDecoyState& decoy, const WallTime& time, long long nowMs)
{
    if (hub.heartbeatDueMs >= 0 && nowMs >= hub.heartbeatDueMs) {
        postHeartbeat(hub, decoy, time);
        hub.heartbeatDueMs = nowMs + heartbeatPeriodMs(hub);
    }
    postDueSummaries(hub, time, nowMs);
    for (AlertChannel& channel : hub.channels)
        alertChannelPump(channel, nowMs);
}

int alertHubIdle(const AlertHub& hub)
{
    for (const AlertChannel& channel : hub.channels)
        if (!alertChannelIdle(channel))
            return 0;
    return 1;
}

void alertHubRetrySoon(AlertHub& hub, long long nowMs)
{
    for (AlertChannel& channel : hub.channels)
        alertChannelRetrySoon(channel, nowMs);
}

int alertHubIgnores(const AlertFilters& filters, const char* address, int localPort)
{
    unsigned long caller = 0;
    const char* end = readIpv4(address, caller);
    if (!end || *end)
        return 0;
    for (int i = 0; i < filters.ignoreCount && i < kAlertIgnoreEntries; ++i) {
        const IgnoreEntry& entry = filters.ignore[i];
        if ((caller & entry.mask) == entry.network && (entry.port == 0 || entry.port == localPort))
            return 1;
    }
    return 0;
}

AlertFacts alertHubTestEvent(AlertHub& hub, int channelId, const WallTime& time)
{
    AlertFacts facts{};
    facts.event = AlertTest;
    if (channelId == AlertSyslogChannel)
        hub.lastSequenceId = alertNextSequenceId(hub.lastSequenceId);
    stamp(facts, time, hub.lastSequenceId ? hub.lastSequenceId : 1);
    return facts;
}
