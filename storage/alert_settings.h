#pragma once
// The alerts file "alerts.ini" in the working folder, beside "velmo.sav",
// which it never touches. A small text file a person can edit:
//
//   [Velmoranth Alerts]
//   Enabled=1
//   Collector=192.0.2.10
//   Port=514
//   Protocol=udp
//
// Written with CR LF line ends; read with CR LF or LF, keys in any order,
// blanks around keys and values ignored, unknown keys and blank lines
// ignored. Missing file: alerts off. A damaged file or a bad value: alerts
// off, and the reading says what was wrong so the dialog can show it.
#include "engine/alert_channel.h"

#define VELMO_ALERTS_FILE "alerts.ini"

enum { kAlertProblemSize = 160 };

struct AlertSettingsReading {
    AlertTarget target;               // as read; `enabled` is 0 unless the whole file is sound
    int fileFound;                    // 0: no file (alerts off, nothing wrong)
    char problem[kAlertProblemSize];  // "" when sound; otherwise what was wrong, for the dialog
};

// Checks the fields as the dialog's OK does: with `enabled` set, a collector
// is needed (host name or dotted IPv4, no blanks) and a port from 1 to 65535.
// Returns "" when sound, else the message to show.
const char* alertTargetProblem(const AlertTarget& target);

// A target with alerts off, no collector, port 514, UDP.
AlertTarget defaultAlertTarget();

AlertSettingsReading loadAlertSettings(const char* fileName);

// Writes the whole file through a scratch file, so a failed save leaves the
// old one whole. 1 on success.
int saveAlertSettings(const AlertTarget& target, const char* fileName);
