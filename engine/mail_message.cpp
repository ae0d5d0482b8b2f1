#include "engine/mail_message.h"

// Placeholder until the mail renderer lands.
int buildMailMessage(const SyslogOrigin&, const MailTarget&, const AlertFacts&, char*, int)
{
    return 0;
}
