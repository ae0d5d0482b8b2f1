#pragma once
// The decoy's alerts as a whole: each event is built once (its facts, its
// time, its sequence id), checked against the ignore list, and rendered by
// each channel that carries it into that channel's own queue. The heartbeat
// is due from here too, and a port scan is told from here, as one incident,
// when the tripwires are on. The window hands in events and the clocks, and
// pumps.
#include "alerts/alert_channel.h"
#include "alerts/alert_event.h"
#include "alerts/alert_incidents.h"
#include "alerts/alert_targets.h"
#include "alerts/scan_tracker.h"

enum AlertChannelId { AlertSyslogChannel = 0, AlertMailChannel = 1, AlertWebhookChannel = 2, kAlertChannels = 3 };

// What the hub needs to know of the decoy for a heartbeat.
struct AlertDecoyState {
    int listening;
    int localPort;
    int daemonKind;
    PortList armed, refused;  // the tripwires, while listening
};

struct AlertHub {
    AlertChannel channels[kAlertChannels];
    AlertIncidents incidents[kAlertChannels];  // e-mail and webhook only
    AlertFilters filters;
    SyslogOrigin origin;
    unsigned long lastSequenceId;   // 0 before the first
    unsigned long callers, ignored;
    long long heartbeatDueMs;       // -1: off
    int tripwiresOn;                // the alerts file turns the tripwires on
    ScanTracker scans;
};

// Storage for the hub's three queues, which the owner keeps (a static).
struct AlertHubStorage {
    AlertQueueStorage queues[kAlertChannels];
};

// Channels with nothing to do; `firstSlot` the first of three resolve slots.
void alertHubInit(AlertHub& hub, AlertHubStorage& storage, const SyslogOrigin& origin, int firstSlot);

// Takes new settings: each channel its target, the filters, the heartbeat
// (the first one due at once when it was off).
void alertHubConfigure(AlertHub& hub, const AlertSettings& settings, long long nowMs);

// An event of the decoy, with its facts but for the sequence id and time,
// which the hub sets (`time` is the wall clock now). A connect from an
// ignored address raises nothing, and is counted. A connect that crosses the
// scan rule's line is followed at once by a `scan` event.
void alertHubEvent(AlertHub& hub, AlertFacts facts, const WallTime& time, long long nowMs);

// Delivers, sends the heartbeat when due (with the decoy's state), and the
// summaries whose quiet time ended.
void alertHubPump(AlertHub& hub, const AlertDecoyState& decoy, const WallTime& time, long long nowMs);

// Nothing waits on any channel.
int alertHubIdle(const AlertHub& hub);

void alertHubRetrySoon(AlertHub& hub, long long nowMs);

// 1 when `address` (dotted text) calling `localPort` is on the ignore list.
int alertHubIgnores(const AlertFilters& filters, const char* address, int localPort);

// A test message's facts for a channel of the hub's kind: a syslog test takes
// the next sequence id, as syslog sees it; one by e-mail or webhook carries
// the last one given.
AlertFacts alertHubTestEvent(AlertHub& hub, int channelId, const WallTime& time);

// `facts` in the form of `channel`'s sender: a syslog message, a mail, a
// webhook request. Returns its length; 0 when it cannot be rendered.
int alertRender(const SyslogOrigin& origin, const AlertChannel& channel, const AlertFacts& facts, char* out,
                int size);
