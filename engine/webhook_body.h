#pragma once
// Alerts as webhook requests: the headers and the body of each format.
#include "engine/alert_event.h"
#include "engine/alert_targets.h"

enum { kWebhookMessageSize = 8192 };

// The queued form of one request: its header lines, an empty line, the body.
// Returns its length (0 when it does not fit).
int buildWebhookMessage(const SyslogOrigin& origin, WebhookFormat format, const AlertFacts& facts, char* message,
                        int size);
