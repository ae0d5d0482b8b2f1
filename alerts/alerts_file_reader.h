#pragma once
// Reading the alerts file "alerts.ini" in the working folder, beside "velmo.sav",
// which it never touches. A small text file a person or a deployment script
// can write:
//
//   [Velmoranth Alerts]
//   Enabled=1
//   Collector=192.0.2.10
//   Port=514
//   Protocol=udp
//   Framing=octet
//   Fingerprint=
//   Heartbeat=15
//   Ignore=10.0.5.20, 192.168.7.0/24, 10.0.0.9:23
//   Quiet=10
//
//   [E-mail]
//   Enabled=1
//   Server=mail.example.net
//   Port=587
//   Security=starttls
//   User=decoy@example.net
//   Password=dpapi:AQAAANCMnd8BFdERjHoAwE/Cl+sBAAAA...
//   From=decoy@example.net
//   To=admin@example.net, desk@example.net
//   Events=connect
//   Fingerprint=
//
//   [Webhook]
//   Enabled=1
//   URL=https://hooks.example.net/T000/B000/XXXX
//   Format=slack
//   Events=connect
//
//   [Tripwires]
//   Enabled=1
//   Ports=21, 22, 80, 443, 3389, 8000-8010
//   ScanPorts=3
//   ScanSeconds=60
//
// Events= says what e-mail and the webhook carry beyond connections and
// their summaries: "connect" (the default) or "connect,listen,standby" (the
// dialog's "Listening starts and stops"); names in any order and case,
// blanks around them ignored, listen and standby only together. Port= left
// out: by protocol (514, tls 6514, relp 2514) or security (25, starttls 587,
// tls 465). [E-mail] Fingerprint= pins the mail server's certificate as
// [Velmoranth Alerts] Fingerprint= pins the collector's. Heartbeat= and
// Quiet= are minutes from 0 to 1440. Ports= holds TCP ports and ranges, at
// most 64 ports once expanded; ScanPorts= 0 (no scan is told) or 2 to 64,
// default 3; ScanSeconds= 1 to 3600, default 60. An empty value is the key's
// default.
//
// Read as ANSI, UTF-8 with a BOM, or UTF-16 LE or BE with a BOM; CR LF, LF
// or CR; a Ctrl-Z ends the file; section headers and keys in any case,
// blanks around them ignored; keys in any order; unknown keys, unknown
// sections and blank lines ignored; at most 256 KiB. Missing file: alerts
// off. A bad value turns its channel off (a bad shared key: every channel; a
// bad Heartbeat: syslog; a bad tripwire key: the tripwires), and the reading
// says what was wrong so the dialog can show it; the other channels stay on.
#include "alerts/alert_checks.h"
#include "alerts/alert_targets.h"

#define VELMO_ALERTS_FILE "alerts.ini"

// The problems of one reading, by what they turn off.
enum AlertProblemScope { AlertProblemSyslog, AlertProblemMail, AlertProblemWebhook, AlertProblemShared,
                         AlertProblemTripwires, kAlertProblemScopes };

struct AlertSettingsReading {
    AlertSettings settings;  // as read; a channel's `enabled` is 0 unless its part (and the shared keys) are sound
    int fileFound;           // 0: no file (alerts off, nothing wrong)
    char problem[kAlertProblemScopes][kAlertProblemSize];  // "" when sound; otherwise the first problem found
    int passwordWasPlain;    // the file held a password in the clear
    int passwordStaysPlain;  // ... and still does: it could not be protected, or the file could not be written
};

// Reads the file. A password found in the clear is protected for this
// Windows user whenever it is sound itself (it fits and is printable ASCII),
// whatever else in the file is damaged: only its Password= lines of [E-mail]
// are replaced, in place and in the file's own encoding, and the file saved
// through a scratch file; every other byte stays as it was.
AlertSettingsReading loadAlertSettings(const char* fileName);
