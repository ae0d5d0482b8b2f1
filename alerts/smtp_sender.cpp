#include "alerts/smtp_sender.h"

#include "alerts/alert_channel.h"
#include "alerts/mail_message.h"
#include "platform/ascii.h"

#include <cstring>

namespace {

enum Phase {
    Idle, Connecting, Greeting, Ehlo, StartTls, Handshaking, AuthPlain, AuthLogin, AuthUser, AuthPassword,
    Mail, Rcpt, Data, Message, Rset, Quit,
};

enum {
    kReplyMax = 8192,      // one reply, all its lines; a server that says more does not speak SMTP
    kRoundsPerPump = 8,    // replies and commands that may follow each other in one pump
};

enum : long long { kReplyTimeOutMs = 60000 };

static_assert(2 * kMailMessageSize + 5 <= kSmtpOutSize, "any rendered mail fits the wire's buffer, every line a '.'");

const char kAnswered[] = "The mail server answered: ";
const char kSignIn[] = "The mail server refused the sign-in: ";

// What a phase waits for, and what a refusal means there: 5xx to the mail's
// own commands drops that mail; anywhere else it, and 4xx anywhere, fails
// the attempt and keeps the mails.
enum Refusal { FailsAttempt, RefusesMail, RefusesRecipient };
struct Step {
    int expected;  // the first digit of the reply that moves on
    Refusal refusal;
    const char* words;  // for a failed attempt
};

// In the order of Phase.
const Step kSteps[Quit + 1] = {
    {2, FailsAttempt, kAnswered},  // Idle
    {2, FailsAttempt, kAnswered},  // Connecting
    {2, FailsAttempt, "The mail server refused the session: "},  // Greeting
    {2, FailsAttempt, "The mail server refused EHLO: "},  // Ehlo
    {2, FailsAttempt, "The mail server refused STARTTLS: "},  // StartTls
    {2, FailsAttempt, kAnswered},  // Handshaking
    {2, FailsAttempt, kSignIn},  // AuthPlain
    {3, FailsAttempt, kSignIn},  // AuthLogin
    {3, FailsAttempt, kSignIn},  // AuthUser
    {2, FailsAttempt, kSignIn},  // AuthPassword
    {2, RefusesMail, kAnswered},  // Mail
    {2, RefusesRecipient, kAnswered},  // Rcpt
    {3, RefusesMail, kAnswered},  // Data
    {2, RefusesMail, kAnswered},  // Message
    {2, FailsAttempt, kAnswered},  // Rset
    {2, FailsAttempt, kAnswered},  // Quit
};

SmtpSession& sessionOf(AlertChannel& channel)
{
    return channel.smtp.session;
}

void endSession(AlertChannel& channel)
{
    alertConnectionClose(channel.connection);
    channel.smtp.session = SmtpSession{};
    channel.queue.locked = 0;
}

void failWith(AlertChannel& channel, const char* words, long long nowMs)
{
    char why[kAlertErrorTextSize];
    appendPrintable(words, sessionOf(channel).reply, why, sizeof why);
    alertChannelFail(channel, why, nowMs);
}

void failConnection(AlertChannel& channel, long long nowMs)
{
    char why[kAlertErrorTextSize];
    alertConnectionErrorText(channel.connection, "mail server", why, sizeof why);
    alertChannelFail(channel, why, nowMs);
}

// A refusal that costs the mail nothing but a recipient: shown, not counted.
void note(AlertChannel& channel, const char* words, long long nowMs)
{
    appendPrintable(words, sessionOf(channel).reply, channel.status.lastError, sizeof channel.status.lastError);
    channel.status.lastErrorAtMs = nowMs;
}

// Clears what held a password, as a store the compiler may not leave out.
void wipe(void* bytes, size_t size)
{
    for (volatile unsigned char* p = static_cast<unsigned char*>(bytes); size > 0; --size)
        *p++ = 0;
}

// Queues one command line made of the three parts, and waits for its reply.
// A part that would end the line early (a CR or LF in a setting) sends
// nothing. False when the attempt failed.
bool command(AlertChannel& channel, Phase next, long long nowMs, const char* a, const char* b = "",
             const char* c = "")
{
    SmtpSession& session = sessionOf(channel);
    const int start = session.outLength;
    bool clean = true;
    const char* parts[] = {a, b, c};
    for (const char* part : parts)
        for (; *part && clean; ++part) {
            clean = *part >= 32 && *part < 127 && session.outLength < kSmtpOutSize - 2;
            if (clean)
                session.out[session.outLength++] = *part;
        }
    if (!clean) {
        session.outLength = start;
        alertChannelFail(channel, "The mail settings hold a name that cannot be sent.", nowMs);
        return false;
    }
    session.out[session.outLength++] = '\r';
    session.out[session.outLength++] = '\n';
    session.phase = next;
    alertConnectionExpectBy(channel.connection, nowMs + kReplyTimeOutMs);
    return true;
}

void base64(const unsigned char* in, int length, char* out)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < length; i += 3) {
        const unsigned long v = static_cast<unsigned long>(in[i]) << 16 |
                                (i + 1 < length ? static_cast<unsigned long>(in[i + 1]) << 8 : 0) |
                                (i + 2 < length ? in[i + 2] : 0);
        *out++ = kAlphabet[v >> 18 & 63];
        *out++ = kAlphabet[v >> 12 & 63];
        *out++ = i + 1 < length ? kAlphabet[v >> 6 & 63] : '=';
        *out++ = i + 2 < length ? kAlphabet[v & 63] : '=';
    }
    *out = '\0';
}

int boundedLength(const char* text, int size)
{
    const void* end = std::memchr(text, '\0', static_cast<size_t>(size));
    return end ? static_cast<int>(static_cast<const char*>(end) - text) : size;
}

// A setting as Base64, for AUTH LOGIN.
bool commandBase64(AlertChannel& channel, Phase next, long long nowMs, const char* text, int size)
{
    char encoded[(kAlertPasswordSize + 2) / 3 * 4 + 4];
    static_assert(kAlertUserSize <= kAlertPasswordSize, "room for either");
    base64(reinterpret_cast<const unsigned char*>(text), boundedLength(text, size), encoded);
    const bool queued = command(channel, next, nowMs, encoded);
    wipe(encoded, sizeof encoded);
    return queued;
}

// "\0user\0password" as Base64 (RFC 4616), in the AUTH command itself.
bool authPlain(AlertChannel& channel, long long nowMs)
{
    const MailTarget& mail = channel.mail;
    unsigned char plain[2 + kAlertUserSize + kAlertPasswordSize];
    const int user = boundedLength(mail.user, sizeof mail.user),
              password = boundedLength(mail.password, sizeof mail.password);
    plain[0] = 0;
    std::memcpy(plain + 1, mail.user, static_cast<size_t>(user));
    plain[1 + user] = 0;
    std::memcpy(plain + 2 + user, mail.password, static_cast<size_t>(password));
    char encoded[sizeof plain / 3 * 4 + 8];
    base64(plain, 2 + user + password, encoded);
    const bool queued = command(channel, AuthPlain, nowMs, "AUTH PLAIN ", encoded);
    wipe(plain, sizeof plain);
    wipe(encoded, sizeof encoded);
    return queued;
}

void quit(AlertChannel& channel, long long nowMs)
{
    command(channel, Quit, nowMs, "QUIT");
}

// The wire form of a mail: a '.' that starts a line doubled, a last line
// end, and the lone '.' line (RFC 5321 4.5.2). Its length, without writing
// it when `out` is null.
int dotStuff(const char* mail, int length, char* out)
{
    int written = 0;
    bool lineStart = true;
    for (int i = 0; i < length; ++i) {
        if (lineStart && mail[i] == '.' && out)
            out[written] = '.';
        written += lineStart && mail[i] == '.';
        if (out)
            out[written] = mail[i];
        ++written;
        lineStart = mail[i] == '\n';
    }
    const char* end = lineStart ? ".\r\n" : "\r\n.\r\n";
    for (; *end; ++end, ++written)
        if (out)
            out[written] = *end;
    return written;
}

// The oldest waiting mail on the wire, into `out` (null: only its length).
// One longer than the buffer counts as the buffer and one byte more.
int stuffHead(AlertChannel& channel, char* out)
{
    unsigned long length = 0;
    const char* mail = alertQueueMessage(channel.queue, 0, length);
    return length < kSmtpOutSize ? dotStuff(mail, static_cast<int>(length), out) : kSmtpOutSize + 1;
}

// The next waiting mail's transaction, or QUIT when none waits. A mail too
// long for the wire's buffer is dropped.
void startMail(AlertChannel& channel, long long nowMs)
{
    while (channel.queue.count > 0 && stuffHead(channel, nullptr) > kSmtpOutSize)
        alertChannelReject(channel, "The mail is too long to send.", nowMs);
    if (channel.queue.count == 0)
        return quit(channel, nowMs);
    if (channel.mail.toCount < 1)
        return alertChannelFail(channel, "The mail has no recipient.", nowMs);
    SmtpSession& session = sessionOf(channel);
    session.recipient = session.accepted = 0;
    channel.queue.locked = 1;
    command(channel, Mail, nowMs, "MAIL FROM:<", channel.mail.from, ">");
}

void writeMail(AlertChannel& channel, long long nowMs)
{
    SmtpSession& session = sessionOf(channel);
    session.outLength = stuffHead(channel, session.out);  // it fits: startMail saw to it
    session.phase = Message;
    alertConnectionExpectBy(channel.connection, nowMs + kReplyTimeOutMs);
}

void sendRecipient(AlertChannel& channel, long long nowMs)
{
    command(channel, Rcpt, nowMs, "RCPT TO:<", channel.mail.to[sessionOf(channel).recipient], ">");
}

// The mail goes, counted as dropped, with the server's reply; the session
// starts afresh for the next.
void refuseMail(AlertChannel& channel, const char* words, long long nowMs)
{
    char why[kAlertErrorTextSize];
    appendPrintable(words, sessionOf(channel).reply, why, sizeof why);
    alertChannelReject(channel, why, nowMs);
    if (channel.queue.count > 0)
        command(channel, Rset, nowMs, "RSET");
    else
        quit(channel, nowMs);
}

void nextRecipient(AlertChannel& channel, long long nowMs)
{
    SmtpSession& session = sessionOf(channel);
    const int count = channel.mail.toCount < kAlertRecipients ? channel.mail.toCount : kAlertRecipients;
    if (++session.recipient < count)
        sendRecipient(channel, nowMs);
    else if (session.accepted > 0)
        command(channel, Data, nowMs, "DATA");
    else
        refuseMail(channel, "The mail server refused every recipient: ", nowMs);
}

void sendEhlo(AlertChannel& channel, long long nowMs)
{
    SmtpSession& session = sessionOf(channel);
    session.startTlsOffered = session.authPlain = session.authLogin =
        0; // what the server offered before TLS no longer counts
    command(channel, Ehlo, nowMs, "EHLO ", channel.smtp.heloName[0] ? channel.smtp.heloName : "localhost");
}

void signIn(AlertChannel& channel, long long nowMs)
{
    const SmtpSession& session = sessionOf(channel);
    if (!channel.connection.tlsSession)
        alertChannelFail(channel, "The sign-in goes only over TLS: choose STARTTLS or TLS.", nowMs);
    else if (session.authPlain)
        authPlain(channel, nowMs);
    else if (session.authLogin)
        command(channel, AuthLogin, nowMs, "AUTH LOGIN");
    else
        alertChannelFail(channel, "The mail server offers no sign-in by PLAIN or LOGIN.", nowMs);
}

void afterEhlo(AlertChannel& channel, long long nowMs)
{
    const MailTarget& mail = channel.mail;
    if (mail.security == MailSecurityStartTls && !channel.connection.tlsSession) {
        if (!sessionOf(channel).startTlsOffered)
            return alertChannelFail(channel, "The mail server does not offer STARTTLS: nothing was sent.", nowMs);
        command(channel, StartTls, nowMs, "STARTTLS");
    } else if (mail.user[0]) {
        signIn(channel, nowMs);
    } else {
        startMail(channel, nowMs);
    }
}

// The reply that moves the dialogue on.
void proceed(AlertChannel& channel, long long nowMs)
{
    SmtpSession& session = sessionOf(channel);
    switch (session.phase) {
    case Greeting: return sendEhlo(channel, nowMs);
    case Ehlo: return afterEhlo(channel, nowMs);
    case StartTls:
        session.phase = Handshaking;
        return alertConnectionStartTls(channel.connection, nowMs);
    case AuthLogin:
        commandBase64(channel, AuthUser, nowMs, channel.mail.user, sizeof channel.mail.user);
        return;
    case AuthUser:
        commandBase64(channel, AuthPassword, nowMs, channel.mail.password, sizeof channel.mail.password);
        return;
    case Mail: return sendRecipient(channel, nowMs);
    case Rcpt:
        ++session.accepted;
        return nextRecipient(channel, nowMs);
    case Data: return writeMail(channel, nowMs);
    case Message: alertChannelConfirm(channel, 1); return startMail(channel, nowMs);
    default: return startMail(channel, nowMs);  // signed in; reset
    }
}

void onReply(AlertChannel& channel, long long nowMs)
{
    SmtpSession& session = sessionOf(channel);
    const Step& step = kSteps[session.phase];
    const int kind = session.reply[0] - '0';
    if (session.phase == Quit)
        return;  // every mail is confirmed already
    if (kind == step.expected)
        return proceed(channel, nowMs);
    if (std::strncmp(session.reply, "530", 3) == 0)  // the settings lack TLS or a sign-in: no fault of this mail
        return failWith(channel, "The mail server asks for STARTTLS or a sign-in first: ", nowMs);
    if (kind == 5 && step.refusal == RefusesRecipient) {
        note(channel, "The mail server refused a recipient: ", nowMs);
        return nextRecipient(channel, nowMs);
    }
    if (kind == 5 && step.refusal == RefusesMail)
        return refuseMail(channel, "The mail server refused the mail: ", nowMs);
    failWith(channel, kind == 4 || kind == 5 ? step.words : "The mail server sent something unexpected: ", nowMs);
}

bool sameWord(const char* text, int length, const char* word)
{
    if (length != static_cast<int>(std::strlen(word)))
        return false;
    for (int i = 0; i < length; ++i)
        if ((text[i] >= 'a' && text[i] <= 'z' ? text[i] - 32 : text[i]) != word[i])
            return false;
    return true;
}

int wordLength(const char* text, int length)
{
    int n = 0;
    while (n < length && text[n] != ' ' && text[n] != '=')
        ++n;
    return n;
}

// An EHLO line after the first: "STARTTLS", or "AUTH" and its mechanisms
// (also in the old "AUTH=" form).
void noteExtension(SmtpSession& session, const char* text, int length)
{
    int word = wordLength(text, length);
    session.startTlsOffered |= sameWord(text, word, "STARTTLS");
    if (!sameWord(text, word, "AUTH"))
        return;
    for (int at = word + 1; at < length; at += word + 1) {
        word = wordLength(text + at, length - at);
        session.authPlain |= sameWord(text + at, word, "PLAIN");
        session.authLogin |= sameWord(text + at, word, "LOGIN");
    }
}

// One line of a reply, its line end included: "250-..." goes on, "250 ..."
// or "250" ends it (`last`). False when it is not SMTP.
bool takeLine(SmtpSession& session, const char* line, int length, bool& last)
{
    int n = length - 1;
    n -= n > 0 && line[n - 1] == '\r';
    if (n < 3 || line[0] < '2' || line[0] > '5' || !isDigit(line[1]) || !isDigit(line[2]) ||
        (n > 3 && line[3] != ' ' && line[3] != '-'))
        return false;
    if (session.replyLines > 0 && std::memcmp(line, session.reply, 3) != 0)
        return false;  // one code for every line of a reply
    session.replyBytes += length;
    if (session.replyBytes > kReplyMax)
        return false;
    if (session.replyLines++ == 0) {
        std::memcpy(session.reply, line, static_cast<size_t>(n));  // n < kSmtpReplySize: the caller bounds the line
        session.reply[n] = '\0';
    } else if (session.phase == Ehlo && n > 4) {
        noteExtension(session, line + 4, n - 4);
    }
    last = n == 3 || line[3] == ' ';
    return true;
}

// A command or mail of ours is not all on the wire yet: no reply can answer it.
bool outputPending(AlertChannel& channel)
{
    return sessionOf(channel).outLength > 0 ||
           (channel.connection.state == ConnectionOpen && !alertConnectionDrained(channel.connection));
}

// Reads the whole lines the inbox holds and acts on each whole reply, while
// nothing of ours waits to go. Bytes that came while something did (`early`:
// read by a pump that began with our output pending, which reads before it
// sends) were sent before our command: no SMTP server does that. Returns the
// replies read.
int readReplies(AlertChannel& channel, long long nowMs, bool early)
{
    AlertConnection& connection = channel.connection;
    SmtpSession& session = sessionOf(channel);
    int replies = 0;
    while (connection.state == ConnectionOpen && session.phase != Idle && session.phase != Handshaking &&
           connection.inboxLength > 0) {
        if (early || outputPending(channel)) {
            alertChannelFail(channel, "The mail server does not speak SMTP.", nowMs);
            return replies;
        }
        const int window = connection.inboxLength < kSmtpReplySize ? connection.inboxLength : kSmtpReplySize;
        const char* end = static_cast<const char*>(std::memchr(connection.inbox, '\n', static_cast<size_t>(window)));
        bool last = false;
        if (!end && window < kSmtpReplySize)
            return replies;  // the rest of the line is still on its way
        if (!end || !takeLine(session, connection.inbox, static_cast<int>(end - connection.inbox) + 1, last)) {
            alertChannelFail(channel, "The mail server does not speak SMTP.", nowMs);
            return replies;
        }
        alertConnectionConsume(connection, static_cast<int>(end - connection.inbox) + 1);
        if (last) {
            session.replyLines = session.replyBytes = 0;
            ++replies;
            onReply(channel, nowMs);
        }
    }
    return replies;
}

void flushOut(AlertChannel& channel)
{
    SmtpSession& session = sessionOf(channel);
    while (session.outSent < session.outLength) {
        const int taken = alertConnectionWrite(channel.connection, session.out + session.outSent,
                                               session.outLength - session.outSent);
        if (taken == 0)
            return;
        session.outSent += taken;
    }
    std::memset(session.out, 0, static_cast<size_t>(session.outLength));  // an AUTH line stays no longer than needed
    session.outLength = session.outSent = 0;
}

// One round of the dialogue on what the connection holds now (`early`: our
// output was pending when the connection's pump began). True when it moved
// on, so that one more round may find the next reply.
bool advance(AlertChannel& channel, long long nowMs, bool early)
{
    AlertConnection& connection = channel.connection;
    SmtpSession& session = sessionOf(channel);
    if (connection.state == ConnectionFailed || connection.state == ConnectionFinished) {
        if (session.phase == Quit)  // every mail is confirmed already: the close is a courtesy
            endSession(channel);
        else
            failConnection(channel, nowMs);
        return false;
    }
    if (connection.state != ConnectionOpen)
        return false;
    const int before = session.phase;
    if (session.phase == Connecting) {
        session.phase = Greeting;
        alertConnectionExpectBy(connection, nowMs + kReplyTimeOutMs);
    } else if (session.phase == Handshaking) {
        sendEhlo(channel, nowMs);
    }
    const int replies = readReplies(channel, nowMs, early);
    if (connection.state != ConnectionOpen || session.phase == Idle)
        return session.phase == Handshaking;
    if (connection.peerClosed) {
        if (session.phase == Quit)
            endSession(channel);
        else
            alertChannelFail(channel, "The mail server closed the connection.", nowMs);
        return false;
    }
    flushOut(channel);
    if (session.phase == Quit && session.outLength == 0)
        alertConnectionFinish(connection, nowMs);
    return replies > 0 || session.phase != before;
}

bool hostNameCharacter(char c)
{
    return isAsciiLetter(c) || isDigit(c) || c == '-' || c == '.' || c == '_';
}

} // namespace

void smtpSenderSetHeloName(AlertChannel& channel, const char* name)
{
    char* kept = channel.smtp.heloName;
    int length = 0;
    while (name && hostNameCharacter(name[length]) && length < kAlertHostSize - 1)
        ++length;
    if (name && name[length] == '\0')
        std::memcpy(kept, name, static_cast<size_t>(length));
    else
        length = 0;
    kept[length] = '\0';
}

void smtpSenderPump(AlertChannel& channel, long long nowMs)
{
    if (sessionOf(channel).phase == Idle) {
        if (channel.queue.count == 0)
            return;
        const MailTarget& mail = channel.mail;
        endSession(channel);
        sessionOf(channel).phase = Connecting;
        const AlertEndpoint where{mail.server, mail.port, mail.security == MailSecurityTls, &mail.fingerprint};
        alertConnectionOpen(channel.connection, where, nowMs);
    }
    for (int round = 0; round < kRoundsPerPump; ++round) {
        const bool early = outputPending(channel);
        alertConnectionPump(channel.connection, nowMs);
        if (!advance(channel, nowMs, early))
            return;
    }
}

void smtpSenderClose(AlertChannel& channel)
{
    endSession(channel);
}
