#pragma once
// E-mail over SMTP (RFC 5321): one mail per queued message, confirmed by the
// server's 2xx after DATA.
#include "engine/alert_channel.h"

void smtpSenderPump(AlertChannel& channel, long long nowMs);
void smtpSenderClose(AlertChannel& channel);
