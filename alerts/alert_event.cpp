#include "alerts/alert_event.h"

#include "platform/ascii.h"
#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

const char kTimeText[] = "%02d:%02d";

int summaryText(const AlertFacts& facts, char* text, int size)
{
    const AlertSummaryFacts& summary = facts.summary;
    char first[8], last[8], ports[kPortsPhraseSize];
    std::snprintf(first, sizeof first, kTimeText, summary.firstLocal.hour, summary.firstLocal.minute);
    std::snprintf(last, sizeof last, kTimeText, summary.lastLocal.hour, summary.lastLocal.minute);
    alertPortsPhrase(facts, ports, sizeof ports);
    const char* plural = summary.connections == 1 ? "" : "s";
    if (summary.addresses == 1)
        return std::snprintf(text, static_cast<size_t>(size), "%lu more connection%s from %s to %s between %s and %s",
                             summary.connections, plural, facts.callerAddress, ports, first, last);
    return std::snprintf(text, static_cast<size_t>(size),
                         "%lu more connection%s from %lu addresses to %s between %s and %s", summary.connections,
                         plural, summary.addresses, ports, first, last);
}

// "Port scan from 203.0.113.7: 3 ports (21, 22, 3389) in 2 s".
int scanText(const AlertFacts& facts, char* text, int size)
{
    char ports[kPortsPhraseSize];
    portListText(facts.scan.ports, ", ", ports, sizeof ports);
    return std::snprintf(text, static_cast<size_t>(size), "Port scan from %s: %d ports (%s) in %ld s",
                         facts.callerAddress, facts.scan.ports.count, ports, facts.scan.seconds);
}

int heartbeatText(const AlertFacts& facts, char* text, int size)
{
    const AlertHeartbeatFacts& heartbeat = facts.heartbeat;
    if (!heartbeat.listening)
        return std::snprintf(text, static_cast<size_t>(size), "Standing by; %lu callers since start",
                             heartbeat.callers);
    return std::snprintf(text, static_cast<size_t>(size), "Listening on port %d (%s); %lu callers since start",
                         facts.localPort, alertDaemonName(facts.daemonKind), heartbeat.callers);
}

} // namespace

void alertPortsPhrase(const AlertFacts& facts, char* text, int size)
{
    const PortList& ports = facts.summary.ports;
    if (ports.count < 2) {
        std::snprintf(text, static_cast<size_t>(size), "port %d", ports.count == 1 ? ports.ports[0] : facts.localPort);
        return;
    }
    const int used = std::snprintf(text, static_cast<size_t>(size), "ports ");
    portListText(ports, ", ", text + used, size - used);
}

void syslogOriginInit(SyslogOrigin& origin, const char* rawHostName, unsigned long processId)
{
    if (copyVisible(rawHostName, origin.hostName, sizeof origin.hostName) == 0)
        std::snprintf(origin.hostName, sizeof origin.hostName, "-");
    origin.processId = processId;
}

const char* alertDaemonName(int daemonKind)
{
    static const char* const kNames[] = {"None", "FreeBSD 5.1", "RedHat 8.0", "SubSeven 2.1", "NetBus 1.60",
                                         "Custom", "Tripwire"};
    return daemonKind >= 1 && daemonKind <= kTripwireDaemon ? kNames[daemonKind] : kNames[0];
}

const char* alertEventName(AlertEvent event)
{
    static const char* const kNames[] = {"connect", "listen", "standby", "test", "heartbeat", "summary", "scan"};
    return event >= AlertConnect && event <= AlertScan ? kNames[event] : "test";
}

int alertReadableText(const AlertFacts& facts, char* text, int size)
{
    const char* daemon = alertDaemonName(facts.daemonKind);
    int length = 0;
    switch (facts.event) {
    case AlertConnect:
        length = std::snprintf(text, static_cast<size_t>(size), "Connection from %s:%d to port %d (%s)",
                               facts.callerAddress, facts.callerPort, facts.localPort, daemon);
        break;
    case AlertListen:
        length = std::snprintf(text, static_cast<size_t>(size), "Listening on port %d (%s)", facts.localPort, daemon);
        break;
    case AlertStandby:
        length = std::snprintf(text, static_cast<size_t>(size), "Stopped listening on port %d (%s)", facts.localPort,
                               daemon);
        break;
    case AlertHeartbeat: length = heartbeatText(facts, text, size); break;
    case AlertSummary: length = summaryText(facts, text, size); break;
    case AlertScan: length = scanText(facts, text, size); break;
    default:
        length =
            std::snprintf(text, static_cast<size_t>(size), "%s", "Test message from Velmoranth " VELMO_VERSION_TEXT);
        break;
    }
    return length < 0 ? 0 : (length < size ? length : size - 1);
}

AlertFacts callerAlertFacts(const PeerAddress& peer, int localPort, int daemonKind)
{
    AlertFacts facts{};
    facts.event = AlertConnect;
    netAddressText(peer, facts.callerAddress);
    unsigned char port[2];
    std::memcpy(port, &peer.portNetworkOrder, sizeof port);  // as on the wire: high byte first
    facts.callerPort = port[0] << 8 | port[1];
    facts.localPort = localPort;
    facts.daemonKind = daemonKind;
    return facts;
}

unsigned long alertNextSequenceId(unsigned long id)
{
    return id >= 2147483647UL ? 1 : id + 1;
}
