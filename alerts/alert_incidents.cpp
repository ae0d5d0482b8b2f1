#include "alerts/alert_incidents.h"

#include <cstring>

namespace {

IncidentRecord* find(AlertIncidents& incidents, const char* address)
{
    for (IncidentRecord& record : incidents.records)
        if (record.inUse && std::strcmp(record.address, address) == 0)
            return &record;
    return nullptr;
}

// A record the due summaries freed, or none: with every record in its quiet
// time, a new address is not held back, and only the hourly cap stands.
IncidentRecord* freeRecord(AlertIncidents& incidents)
{
    for (IncidentRecord& record : incidents.records)
        if (!record.inUse)
            return &record;
    return nullptr;
}

void countInto(unsigned long& count, CalendarTime& first, CalendarTime& last, unsigned long added, const CalendarTime& from,
               const CalendarTime& to)
{
    if (count == 0)
        first = from;
    last = to;
    count += added;
}

// The cap's hour starts with the first message after the last one ended.
bool underCap(AlertIncidents& incidents, long long nowMs)
{
    if (incidents.hourStartMs < 0) {
        incidents.hourStartMs = nowMs;
        incidents.sentThisHour = 0;
    }
    if (incidents.sentThisHour >= kIncidentMessagesPerHour)
        return false;
    ++incidents.sentThisHour;
    return true;
}

bool seenInFlood(AlertIncidents& incidents, const char* address)
{
    for (int i = 0; i < incidents.floodSeenCount; ++i)
        if (std::strcmp(incidents.floodSeen[i], address) == 0)
            return true;
    if (incidents.floodSeenCount < kIncidentAddresses)
        std::memcpy(incidents.floodSeen[incidents.floodSeenCount++], address, 16);
    return false;
}

void holdForFlood(AlertIncidents& incidents, const char* address, unsigned long connections, const CalendarTime& first,
                  const CalendarTime& last, int localPort, int daemonKind)
{
    countInto(incidents.floodConnections, incidents.floodFirst, incidents.floodLast, connections, first, last);
    incidents.floodPort = localPort;
    incidents.floodDaemon = daemonKind;
    if (!seenInFlood(incidents, address))
        ++incidents.floodAddresses;
}

bool floodDue(AlertIncidents& incidents, long long nowMs, AlertFacts& summary, bool ending)
{
    if (incidents.hourStartMs < 0 || (nowMs - incidents.hourStartMs < kIncidentHourMs && !ending))
        return false;
    if (ending && incidents.floodConnections == 0)
        return false;  // the hour's count goes on
    const bool flooded = incidents.floodConnections > 0;
    if (flooded) {
        summary = AlertFacts{};
        summary.event = AlertSummary;
        summary.localPort = incidents.floodPort;
        summary.daemonKind = incidents.floodDaemon;
        summary.summary = AlertSummaryFacts{incidents.floodConnections, incidents.floodAddresses,
                                            incidents.floodFirst, incidents.floodLast, incidents.floodPorts};
    }
    incidents.hourStartMs = -1;
    incidents.floodConnections = incidents.floodAddresses = 0;
    incidents.floodPorts = PortList{};
    incidents.floodSeenCount = 0;
    return flooded;
}

AlertFacts addressSummary(const IncidentRecord& record)
{
    AlertFacts summary{};
    summary.event = AlertSummary;
    std::memcpy(summary.callerAddress, record.address, sizeof summary.callerAddress);
    summary.localPort = record.ports.count == 1 ? record.ports.ports[0] : record.localPort;
    summary.daemonKind = record.daemonKind;
    summary.summary = AlertSummaryFacts{record.counted, 1, record.firstLocal, record.lastLocal, record.ports};
    return summary;
}

} // namespace

void alertIncidentsInit(AlertIncidents& incidents, int quietMinutes)
{
    std::memset(&incidents, 0, sizeof incidents);
    incidents.quietMs = quietMinutes * 60000LL;
    incidents.hourStartMs = -1;
}

int alertIncidentsAdmit(AlertIncidents& incidents, const AlertFacts& facts, long long nowMs)
{
    if (facts.event == AlertScan)
        return underCap(incidents, nowMs);
    if (facts.event != AlertConnect)
        return 1;
    IncidentRecord* record = incidents.quietMs > 0 ? find(incidents, facts.callerAddress) : nullptr;
    if (record && nowMs < record->quietUntilMs) {
        countInto(record->counted, record->firstLocal, record->lastLocal, 1, facts.time.local, facts.time.local);
        portListAdd(record->ports, facts.localPort);
        return 0;
    }
    if (!record && incidents.quietMs > 0 && (record = freeRecord(incidents)) != nullptr) {
        *record = IncidentRecord{};
        record->inUse = 1;
        std::memcpy(record->address, facts.callerAddress, sizeof record->address);
        record->localPort = facts.localPort;
    }
    if (record) {
        record->daemonKind = facts.daemonKind;
        record->quietUntilMs = nowMs + incidents.quietMs;
    }
    if (underCap(incidents, nowMs))
        return 1;
    holdForFlood(incidents, facts.callerAddress, 1, facts.time.local, facts.time.local, facts.localPort,
                 facts.daemonKind);
    portListAdd(incidents.floodPorts, facts.localPort);
    return 0;
}

int alertIncidentsDue(AlertIncidents& incidents, long long nowMs, AlertFacts& summary, int ending)
{
    for (IncidentRecord& record : incidents.records) {
        if (!record.inUse || (nowMs < record.quietUntilMs && !ending))
            continue;
        record.inUse = 0;
        if (record.counted == 0)
            continue;
        if (underCap(incidents, nowMs)) {
            summary = addressSummary(record);
            return 1;
        }
        holdForFlood(incidents, record.address, record.counted, record.firstLocal, record.lastLocal, record.localPort,
                     record.daemonKind);
        for (int i = 0; i < record.ports.count; ++i)
            portListAdd(incidents.floodPorts, record.ports.ports[i]);
    }
    return floodDue(incidents, nowMs, summary, ending != 0) ? 1 : 0;
}
