#pragma once
// Alerts as RFC 5424 syslog messages, one per event, with the event's facts
// as structured data and the sequence id as RFC 5424's own meta element.
#include "alerts/alert_event.h"
#include "alerts/alert_targets.h"

enum { kSyslogMessageSize = 2048 };  // the longest message (a scan of every port, a 255-byte host name) fits

// The whole message: PRI VERSION TIMESTAMP HOSTNAME APP-NAME PROCID MSGID
// STRUCTURED-DATA MSG, without any framing or line end. Returns its length.
int buildSyslogMessage(const SyslogOrigin& origin, const AlertFacts& facts, char* message, int size);

// The message framed for a stream: RFC 6587 octet counting (its length in
// decimal, a blank, the message) or a line feed after it. Returns the
// framed length, or 0 when `size` is too small.
int frameSyslogMessage(SyslogFraming framing, const char* message, int length, char* framed, int size);
