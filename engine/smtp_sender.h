#pragma once
// E-mail over SMTP (RFC 5321): one mail per queued message, confirmed by the
// server's 2xx after DATA. Several waiting mails go in one session, which
// ends with QUIT and the confirmed close once nothing waits.
//
// Security: none (plain, no sign-in), STARTTLS (RFC 3207; required: a server
// that does not offer it, or refuses it, gets nothing more, never the mail in
// the clear), or TLS from the first byte. Sign-in by AUTH PLAIN, else LOGIN
// (RFC 4954), only over TLS.
//
// The server's replies: 4xx anywhere keeps the mail for the next attempt
// after the pause; 5xx to MAIL, DATA or the mail drops that mail (counted,
// the reply shown) and the session goes on with the next; 5xx to one RCPT
// skips that recipient, the mail goes to the others (the reply shown), and
// when every recipient is refused the mail is dropped. 5xx to the greeting,
// EHLO, STARTTLS or the sign-in fails the attempt, the mails kept, and so
// does 530 anywhere (the settings lack TLS or a sign-in, which is no fault of
// the mail). Each reply has 60 s.
#include "engine/alert_channel.h"

// EHLO's name: this PC's DNS name (the origin's host name). The owner sets it
// after alertChannelInit; a name that is empty or not a host name's letters,
// digits, '-', '.' and '_' gives "localhost".
void smtpSenderSetHeloName(AlertChannel& channel, const char* name);

void smtpSenderPump(AlertChannel& channel, long long nowMs);
void smtpSenderClose(AlertChannel& channel);
