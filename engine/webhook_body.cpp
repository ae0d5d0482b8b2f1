#include "engine/webhook_body.h"

// Placeholder until the webhook renderers land.
int buildWebhookMessage(const SyslogOrigin&, WebhookFormat, const AlertFacts&, char*, int)
{
    return 0;
}
