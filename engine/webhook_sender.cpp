#include "engine/webhook_sender.h"

// Placeholder until the webhook sender lands: nothing is sent.
void webhookSenderPump(AlertChannel&, long long) {}
void webhookSenderClose(AlertChannel&) {}
