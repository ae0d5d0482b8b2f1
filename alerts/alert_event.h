#pragma once
// One event of the decoy, built once with its facts and its sequence id, then
// rendered by each channel in its own form (a syslog message, a mail, a
// webhook body). Only addresses, ports, names and counts go in, never a byte
// that a caller sent, so a caller cannot forge a line in anyone's log.
#include "alerts/port_list.h"
#include "platform/clock.h"
#include "platform/net.h"

enum AlertEvent { AlertConnect, AlertListen, AlertStandby, AlertTest, AlertHeartbeat, AlertSummary, AlertScan };

// The daemon a tripwire's hit names, beside the DaemonKinds 1 to 5.
enum { kTripwireDaemon = 6 };

// The heartbeat's report on the decoy and its syslog channel.
struct AlertHeartbeatFacts {
    int listening;
    unsigned long callers;  // accepted since start (tripwires' hits too), ignored ones included
    unsigned long sent, waiting, dropped, ignored;
    int tripwiresOn;        // the alerts file turns tripwires on: the next four are told
    PortList armed;         // the tripwires watching
    PortList refused;       // those that could not be armed
    unsigned long scans;    // since start
    unsigned long evicted;  // sources dropped from a full scan tracker (told when any)
};

// What a summary counts: connections not sent on their own, from one address
// (`addresses` 1, the address in the facts) or from many (a flood's rest),
// and the ports they went to.
struct AlertSummaryFacts {
    unsigned long connections;
    unsigned long addresses;
    CalendarTime firstLocal, lastLocal;  // the first and the last of them
    PortList ports;
};

// A port scan: one source touched `ports` (the armed ones, the daemon's
// among them) within the scan rule's time.
struct AlertScanFacts {
    PortList ports;              // touched so far, in the window
    unsigned long connections;   // hits counted so far in the window
    long seconds;                // from the first of them to the one that crossed the line
};

struct AlertFacts {
    AlertEvent event;
    unsigned long sequenceId;  // 1 to 2147483647
    WallTime time;
    char callerAddress[16];    // connect, a one-address summary, scan
    int callerPort;            // the caller's own (source) port; connect only
    int localPort;             // the decoy's listening port; 0 when not listening
    int daemonKind;            // a DaemonKind, or kTripwireDaemon
    AlertHeartbeatFacts heartbeat;
    AlertSummaryFacts summary;
    AlertScanFacts scan;
};

// What every message of one run shares, fixed at start.
struct SyslogOrigin {
    char hostName[256];  // printable US-ASCII only; "-" when nothing is left
    unsigned long processId;
};

// Keeps the bytes 33 to 126 of `rawHostName`, at most 255 of them.
void syslogOriginInit(SyslogOrigin& origin, const char* rawHostName, unsigned long processId);

// The daemon's name as the main window shows it ("FreeBSD 5.1" ... "Custom"),
// "Tripwire" for kTripwireDaemon; "None" for any other kind.
const char* alertDaemonName(int daemonKind);

// The event's name: connect, listen, standby, test, heartbeat, summary, scan.
const char* alertEventName(AlertEvent event);

// The event told for a person, in one line, as every channel shows it:
// "Connection from 203.0.113.7:51234 to port 23 (FreeBSD 5.1)". Returns its
// length; kReadableTextSize holds the longest.
enum { kReadableTextSize = 640, kPortsPhraseSize = 8 + 7 * kPortListSize };
int alertReadableText(const AlertFacts& facts, char* text, int size);

// A summary's ports: "port 23", or "ports 21, 22, 3389" when it counts more than one.
void alertPortsPhrase(const AlertFacts& facts, char* text, int size);

// The facts of a `connect` from the peer an accept reported.
AlertFacts callerAlertFacts(const PeerAddress& peer, int localPort, int daemonKind);

// The next sequence id after `id`: 1 after 2147483647 (and after 0).
unsigned long alertNextSequenceId(unsigned long id);
