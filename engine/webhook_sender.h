#pragma once
// Webhooks: one HTTP POST per queued message, confirmed by a 2xx answer.
#include "engine/alert_channel.h"

void webhookSenderPump(AlertChannel& channel, long long nowMs);
void webhookSenderClose(AlertChannel& channel);
