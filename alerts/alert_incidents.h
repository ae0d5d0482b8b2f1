#pragma once
// One alert per incident, for the channels that reach a person (e-mail and
// webhooks): the first connection from an address goes at once, whatever
// port it called (the daemon's or a tripwire); further ones from it within
// the quiet time are counted, with the ports they went to, and one summary
// follows when the quiet time ends. A port scan from it goes at once: it is
// new news about that address. Whatever the addresses, a channel sends at
// most 30 messages an hour; the rest are counted and summed up in one
// summary at the end of that hour. Syslog gets every event and never passes
// through here.
#include "alerts/alert_event.h"

enum { kIncidentAddresses = 256, kIncidentMessagesPerHour = 30 };

enum : long long { kIncidentHourMs = 3600000 };

struct IncidentRecord {
    int inUse;
    char address[16];
    int localPort;                 // of the first connection
    int daemonKind;
    PortList ports;                // of the connections held back
    long long quietUntilMs;        // on the monotonic clock
    unsigned long counted;         // connections held back since the one that was sent
    CalendarTime firstLocal, lastLocal; // of those held back
};

struct AlertIncidents {
    IncidentRecord records[kIncidentAddresses];
    long long quietMs;             // 0: every connection is sent
    long long hourStartMs;         // the window of the hourly cap; -1 before the first message
    int sentThisHour;
    unsigned long floodConnections, floodAddresses;  // held back by the cap this hour
    CalendarTime floodFirst, floodLast;
    int floodPort, floodDaemon;
    PortList floodPorts;
    char floodSeen[kIncidentAddresses][16];  // the addresses counted this hour; beyond these, each counts anew
    int floodSeenCount;
};

void alertIncidentsInit(AlertIncidents& incidents, int quietMinutes);

// Whether `facts` (an event this channel carries) is sent now: 1, or 0 when it
// is counted for a later summary. Only connections are held back: listening's
// start and stop always go, and a scan goes within the hourly cap. Take the
// due summaries first: they free the records of incidents that ended.
int alertIncidentsAdmit(AlertIncidents& incidents, const AlertFacts& facts, long long nowMs);

// The next summary that is due at `nowMs`, in `summary` (its event
// AlertSummary, its time and sequence id left to the caller): 1, or 0 when
// none is due. Call until it gives 0. A summary counts against the hourly
// cap; one the cap holds back joins the flood's summary, which itself
// always goes. `ending`: listening stops, so every incident ends now and
// nothing counted waits for a summary that would never come.
int alertIncidentsDue(AlertIncidents& incidents, long long nowMs, AlertFacts& summary, int ending = 0);
