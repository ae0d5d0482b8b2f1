#include "engine/smtp_sender.h"

// Placeholder until the SMTP dialogue lands: nothing is sent.
void smtpSenderPump(AlertChannel&, long long) {}
void smtpSenderClose(AlertChannel& channel)
{
    alertConnectionClose(channel.connection);
}
