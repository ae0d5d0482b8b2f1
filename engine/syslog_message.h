#pragma once
// Alerts as RFC 5424 syslog messages, one per event. A message is built only
// from addresses, ports and names, never from a byte that a caller sent, so a
// caller cannot forge a line in the collector's log.
#include "engine/net.h"

#include <string>

enum AlertEvent { AlertConnect, AlertListen, AlertStandby, AlertTest };

// What an event tells. Texts are bounded by their fields; the address is
// dotted IPv4 text as the socket layer renders it.
struct AlertFacts {
    AlertEvent event;
    char callerAddress[16];  // connect only
    int callerPort;          // the caller's own (source) port; connect only
    int localPort;           // the decoy's listening port
    int daemonKind;          // a DaemonKind: its name goes into the message
};

// What every message of one run shares, fixed at start.
struct SyslogOrigin {
    char hostName[256];       // printable US-ASCII only; "-" when nothing is left
    unsigned long processId;
};

// A wall-clock instant in UTC.
struct UtcTime {
    int year, month, day, hour, minute, second, millisecond;
};

// Keeps the bytes 33 to 126 of `rawHostName`, at most 255 of them.
void syslogOriginInit(SyslogOrigin& origin, const char* rawHostName, unsigned long processId);

// The daemon's name as the main window shows it ("FreeBSD 5.1" ... "Custom");
// "None" for a kind outside 1 to 5.
const char* alertDaemonName(int daemonKind);

// The whole message: PRI VERSION TIMESTAMP HOSTNAME APP-NAME PROCID MSGID
// STRUCTURED-DATA MSG, without any framing or line end.
std::string buildSyslogMessage(const SyslogOrigin& origin, const UtcTime& time, const AlertFacts& facts);

// RFC 6587 octet counting for TCP: the message's length in decimal, a blank, the message.
std::string frameOctetCounted(const std::string& message);

// The current time in UTC, from the system clock.
UtcTime utcNow();

// The instant `ms` milliseconds after 1970-01-01T00:00:00Z.
UtcTime utcFromUnixMs(long long ms);

// The facts of a `connect` from the peer an accept reported.
AlertFacts callerAlertFacts(const PeerAddress& peer, int localPort, int daemonKind);
