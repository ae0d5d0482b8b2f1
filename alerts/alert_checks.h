#pragma once
// The checks of each channel's target, one for the dialog, the file and the
// installer's rules alike: "" when sound, else the message to show, which
// lives until the next check (the window's thread alone checks settings).
#include "alerts/alert_targets.h"

enum { kAlertProblemSize = 200 };

// A collector (or mail server) name: a DNS name (letters, digits, '-', '_',
// '.', at most 253 characters) or a dotted IPv4 address. The message names
// an IPv6 address or a host:port for what they are.
const char* alertHostProblem(const char* host);

// The fields of each channel as the dialog's OK checks them: host names,
// addresses and the URL only when the channel is on, as the file's reader
// checks them; the port and the like either way, as the file keeps them.
const char* syslogTargetProblem(const SyslogTarget& target);
const char* mailTargetProblem(const MailTarget& target);
const char* webhookTargetProblem(const WebhookTarget& target);

// A value as a problem text quotes it: printable, at most 40 characters and "...".
struct QuotedValue {
    char text[48];
};
QuotedValue quoted(const char* value);
