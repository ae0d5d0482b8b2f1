#pragma once
// One event of the decoy, built once with its facts and its sequence id, then
// rendered by each channel in its own form (a syslog message, a mail, a
// webhook body). Only addresses, ports, names and counts go in, never a byte
// that a caller sent, so a caller cannot forge a line in anyone's log.
#include "platform/clock.h"
#include "platform/net.h"

enum AlertEvent { AlertConnect, AlertListen, AlertStandby, AlertTest, AlertHeartbeat, AlertSummary };

// The heartbeat's report on the decoy and its syslog channel.
struct AlertHeartbeatFacts {
    int listening;
    unsigned long callers;  // accepted since start, ignored ones included
    unsigned long sent, waiting, dropped, ignored;
};

// What a summary counts: connections not sent on their own, from one address
// (`addresses` 1, the address in the facts) or from many (a flood's rest).
struct AlertSummaryFacts {
    unsigned long connections;
    unsigned long addresses;
    CalendarTime firstLocal, lastLocal;  // the first and the last of them
};

struct AlertFacts {
    AlertEvent event;
    unsigned long sequenceId;  // 1 to 2147483647
    WallTime time;
    char callerAddress[16];    // connect and a one-address summary
    int callerPort;            // the caller's own (source) port; connect only
    int localPort;             // the decoy's listening port; 0 when not listening
    int daemonKind;            // a DaemonKind
    AlertHeartbeatFacts heartbeat;
    AlertSummaryFacts summary;
};

// What every message of one run shares, fixed at start.
struct SyslogOrigin {
    char hostName[256];  // printable US-ASCII only; "-" when nothing is left
    unsigned long processId;
};

// Keeps the bytes 33 to 126 of `rawHostName`, at most 255 of them.
void syslogOriginInit(SyslogOrigin& origin, const char* rawHostName, unsigned long processId);

// The daemon's name as the main window shows it ("FreeBSD 5.1" ... "Custom");
// "None" for a kind outside 1 to 5.
const char* alertDaemonName(int daemonKind);

// The event's name: connect, listen, standby, test, heartbeat, summary.
const char* alertEventName(AlertEvent event);

// The event told for a person, in one line, as every channel shows it:
// "Connection from 203.0.113.7:51234 to port 23 (FreeBSD 5.1)". Returns its length.
int alertReadableText(const AlertFacts& facts, char* text, int size);

// The facts of a `connect` from the peer an accept reported.
AlertFacts callerAlertFacts(const PeerAddress& peer, int localPort, int daemonKind);

// The next sequence id after `id`: 1 after 2147483647 (and after 0).
unsigned long alertNextSequenceId(unsigned long id);
