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
#include "alerts/alert_targets.h"

struct AlertChannel;

enum {
    kSmtpReplySize = 512,      // one reply line, CR LF included (RFC 5321 4.5.3.1.5)
    kSmtpOutSize = 9 * 1024,   // a command, or a rendered mail dot-stuffed
};

// One SMTP session: what the sender knows of the server and what is on its way.
struct SmtpSession {
    int phase;               // the smtp sender's own
    int recipient;           // the RCPT TO under way
    int accepted;            // recipients the server took for this mail
    int startTlsOffered, authPlain, authLogin;  // from the last EHLO
    char reply[kSmtpReplySize];  // the first line of the reply being read
    int replyLines;
    int replyBytes;
    char out[kSmtpOutSize];  // the command or the mail not yet taken by the connection
    int outLength, outSent;
};

// What the SMTP sender keeps between pumps.
struct SmtpSenderState {
    char heloName[kAlertHostSize];  // for EHLO: this PC's name, set by the owner (smtpSenderSetHeloName)
    SmtpSession session;            // starts anew with each connection
};

// EHLO's name: this PC's DNS name (the origin's host name). The owner sets it
// after alertChannelInit; a name that is empty or not a host name's letters,
// digits, '-', '.' and '_' gives "localhost".
void smtpSenderSetHeloName(AlertChannel& channel, const char* name);

void smtpSenderPump(AlertChannel& channel, long long nowMs);
void smtpSenderClose(AlertChannel& channel);
