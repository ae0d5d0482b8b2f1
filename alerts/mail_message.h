#pragma once
// Alerts as e-mail (RFC 5322, MIME text/plain in US-ASCII, CR LF line ends,
// not dot-stuffed: the SMTP sender does that on the wire).
#include "alerts/alert_event.h"
#include "alerts/alert_targets.h"

enum { kMailMessageSize = 4096 };

// The whole message, headers and body, for `target`'s sender and recipients.
// Returns its length (0 when it and a closing NUL do not fit).
int buildMailMessage(const SyslogOrigin& origin, const MailTarget& target, const AlertFacts& facts, char* message,
                     int size);
