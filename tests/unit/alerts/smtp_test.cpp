#include "alerts/alert_channel.h"
#include "alerts/mail_message.h"
#include "alerts/smtp_sender.h"
#include "fakes/net_fake.h"
#include "fakes/tls_fake.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>

namespace {

FakeCollector& server = fakeNet().collector;
AlertQueueStorage storage;

// The server's answer to each arrival, found by its first line, else by that line's verb, in `once` (used up)
// and then in `script`; "" is the greeting, "<hello>" what follows TLS's welcome, "." the end of a mail.
using Script = std::map<std::string, std::string>;
Script script, once;
const Script kServer = {
    {"", "220 mail.example ESMTP\r\n"},
    {"EHLO", "250-mail.example\r\n250-STARTTLS\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n"},
    {"STARTTLS", "220 2.0.0 Ready\r\n"},
    {"AUTH", "235 2.7.0 Accepted\r\n"},
    {"MAIL", "250 2.1.0 OK\r\n"},
    {"RCPT", "250 2.1.5 OK\r\n"},
    {"DATA", "354 Go on\r\n"},
    {".", "250 2.0.0 Queued\r\n"},
    {"RSET", "250 OK\r\n"},
    {"QUIT", "221 Bye\r\n"},
};

std::string answer(const std::string& arrived)
{
    const bool end = arrived.size() >= 5 && arrived.compare(arrived.size() - 5, 5, "\r\n.\r\n") == 0;
    const std::string line = end ? "." : arrived.substr(0, arrived.find("\r\n"));
    for (const std::string& key : {line, line.substr(0, line.find_first_of(" :"))}) {
        if (const auto found = once.find(key); found != once.end()) {
            const std::string reply = found->second;
            once.erase(found);
            return reply;
        }
        if (script.count(key))
            return script[key];
    }
    return "";
}

AlertChannel& freshChannel(MailSecurity security, const char* user = "", int recipients = 1)
{
    static AlertChannel channel;
    resetFakeNet();
    resetFakeTls();
    script = kServer;
    once.clear();
    server.lookup = NetResolved;
    server.answer = answer;
    alertChannelInit(channel, storage, 0);
    smtpSenderSetHeloName(channel, "pc.example");
    MailTarget t{};
    t.enabled = 1;
    std::strcpy(t.server, "mail.example");
    t.port = 587;
    t.security = security;
    std::strcpy(t.user, user);
    std::strcpy(t.password, "secret");
    std::strcpy(t.from, "d@example.org");
    for (t.toCount = 0; t.toCount < recipients; ++t.toCount)
        t.to[t.toCount][0] = static_cast<char>('a' + t.toCount), std::strcpy(t.to[t.toCount] + 1, "@example.org");
    alertChannelConfigureMail(channel, t);
    return channel;
}

// Posts `mail`, if any, and pumps at `now` until the dialogue rests. Then what reached the server since the last
// look, each CR LF a ';', then "|" and the status: "sent waiting dropped", the last error and its time, then
// "idle" or "retry@" the next attempt.
std::string at(AlertChannel& channel, long long now, const std::string& mail = "")
{
    if (!mail.empty())
        alertChannelPost(channel, mail.data(), static_cast<int>(mail.size()));
    server.greeting = script[""];
    for (int i = 0; i < 40; ++i)
        alertChannelPump(channel, now);
    std::string wire = std::exchange(server.received, "");
    for (std::size_t end; (end = wire.find("\r\n")) != std::string::npos;)
        wire.replace(end, 2, ";");
    const AlertStatus s = alertChannelStatus(channel);
    return wire + "|" + std::to_string(s.sent) + " " + std::to_string(s.waiting) + " " + std::to_string(s.dropped) +
           (s.lastError[0] ? " " : "") + s.lastError + (s.lastError[0] ? "@" + std::to_string(s.lastErrorAtMs) : "") +
           (channel.waitingToRetry ? " retry@" + std::to_string(channel.retryAtMs)
                                   : alertChannelIdle(channel) ? " idle" : "");
}

const std::string kEhlo = "EHLO pc.example;", kEnvelope = "MAIL FROM:<d@example.org>;RCPT TO:<a@example.org>;";
const std::string kSend = kEnvelope + "DATA;";
const std::string kPlain = "AUTH PLAIN AHVzZXIAc2VjcmV0;";  // "\0user\0secret"

} // namespace

TEST(Smtp, EachSecurityDeliversAndSignsInOnlyOverTls)
{
    struct Case {
        MailSecurity security;
        const char* user;
        std::string ehlo, wire;
    } cases[] = {
        {MailSecurityNone, "", kServer.at("EHLO"), kEhlo + kSend + "one;.;QUIT;"},
        {MailSecurityStartTls, "user", kServer.at("EHLO"),
         kEhlo + "STARTTLS;<hello>" + kEhlo + kPlain + kSend + "one;.;QUIT;<close_notify>"},
        {MailSecurityTls, "user", "250-mail.example\r\n250 AUTH=LOGIN\r\n",
         "<hello>" + kEhlo + "AUTH LOGIN;dXNlcg==;c2VjcmV0;" + kSend + "one;.;QUIT;<close_notify>"},
    };
    for (const Case& c : cases) {
        AlertChannel& channel = freshChannel(c.security, c.user);
        script["EHLO"] = c.ehlo;
        script["dXNlcg=="] = "334 UGFzc3dvcmQ6\r\n";
        script["AUTH LOGIN"] = "334 VXNlcm5hbWU6\r\n";
        script["c2VjcmV0"] = kServer.at("AUTH");
        if (c.security == MailSecurityTls)
            script["<hello>"] = std::exchange(script[""], "");  // the greeting comes under TLS
        EXPECT_EQ(at(channel, 0, "one"), c.wire + "|1 0 0 idle") << c.security;
        EXPECT_EQ(server.connects * 10 + fakeTls().live, 10);
        EXPECT_EQ(fakeTls().serverName, c.security == MailSecurityNone ? "" : "mail.example");
    }
}

TEST(Smtp, NothingOfTheMailGoesWhenTlsOrTheSignInFailsAndTheReasonIsShown)
{
    struct Case {
        MailSecurity security;
        const char* user;
        Script changes;
        std::string wire, error;
    } cases[] = {
        {MailSecurityStartTls, "", {{"EHLO", "250-mail.example\r\n250 AUTH PLAIN\r\n"}}, kEhlo,
         "The mail server does not offer STARTTLS: nothing was sent."},
        {MailSecurityStartTls, "", {{"STARTTLS", "454 4.7.0 TLS not available\r\n"}}, kEhlo + "STARTTLS;",
         "The mail server refused STARTTLS: 454 4.7.0 TLS not available"},
        {MailSecurityStartTls, "user", {{"AUTH", "535 5.7.8 Authentication credentials invalid\r\n"}},
         kEhlo + "STARTTLS;<hello>" + kEhlo + kPlain,
         "The mail server refused the sign-in: 535 5.7.8 Authentication credentials invalid"},
        {MailSecurityTls, "user", {{"EHLO", "250 mail.example\r\n"}}, "<hello>" + kEhlo,
         "The mail server offers no sign-in by PLAIN or LOGIN."},
        {MailSecurityNone, "user", {}, kEhlo, "The sign-in goes only over TLS: choose STARTTLS or TLS."},
        {MailSecurityNone, "", {{"", "554 5.3.2 Not now\r\n"}}, "",
         "The mail server refused the session: 554 5.3.2 Not now"},
        {MailSecurityNone, "", {{"EHLO", "421-4.3.2 Going down\r\n421 bye\r\n"}}, kEhlo,
         "The mail server refused EHLO: 421-4.3.2 Going down"},
        {MailSecurityNone, "", {{"MAIL", "530 5.7.0 Authentication required\r\n"}},
         kEhlo + "MAIL FROM:<d@example.org>;",
         "The mail server asks for STARTTLS or a sign-in first: 530 5.7.0 Authentication required"},
    };
    for (const Case& c : cases) {
        AlertChannel& channel = freshChannel(c.security, c.user);
        for (const auto& change : c.changes)
            script[change.first] = change.second;
        if (c.security == MailSecurityTls)
            script["<hello>"] = std::exchange(script[""], "");
        EXPECT_EQ(at(channel, 0, "one"), c.wire + "|0 1 0 " + c.error + "@0 retry@1000");
    }
    AlertChannel& channel = freshChannel(MailSecurityStartTls);
    fakeTls().failure = TlsFailureUntrusted;
    EXPECT_EQ(at(channel, 0, "one"),
              kEhlo + "STARTTLS;<hello>|0 1 0 The mail server's certificate is not trusted.@0 retry@1000");
    EXPECT_EQ(fakeTls().live, 0);
    freshChannel(MailSecurityNone);
    std::strcpy(channel.mail.from, "d@example.org>\r\nRCPT TO:<x@example.org");  // no command of a setting's own
    EXPECT_EQ(at(channel, 0, "one"), kEhlo + "|0 1 0 The mail settings hold a name that cannot be sent.@0 retry@1000");
}

TEST(Smtp, RecipientsRefusalsAndSeveralMailsInOneSessionWithDotStuffing)
{
    AlertChannel& channel = freshChannel(MailSecurityNone, "", 3);
    script["RCPT TO:<b@example.org>"] = "550 5.1.1 <b@example.org>: Rejected\r\n";
    alertChannelPost(channel, "..one\r\n.\r\n", 10);
    EXPECT_EQ(at(channel, 0, ".two"),
              kEhlo + kEnvelope + "RCPT TO:<b@example.org>;RCPT TO:<c@example.org>;DATA;...one;..;.;" + kEnvelope +
                  "RCPT TO:<b@example.org>;RCPT TO:<c@example.org>;DATA;..two;.;QUIT;"
                  "|2 0 0 The mail server refused a recipient: 550 5.1.1 <b@example.org>: Rejected@0 idle");

    freshChannel(MailSecurityNone, "", 1);
    script["RCPT"] = "550 5.7.1 Relaying denied\r\n";
    alertChannelPost(channel, "one", 3);
    EXPECT_EQ(at(channel, 0, "two"),
              kEhlo + kEnvelope + "RSET;" + kEnvelope + "QUIT;" +
                  "|0 0 2 The mail server refused every recipient: 550 5.7.1 Relaying denied@0 idle");
    EXPECT_EQ(server.connects, 1);
    smtpSenderSetHeloName(channel, "front desk");  // not a host name
    EXPECT_EQ(at(channel, 0, "three").substr(0, 15), "EHLO localhost;");
}

TEST(Smtp, TemporaryRepliesKeepTheMailWithAGrowingPauseAndPermanentOnesDropIt)
{
    AlertChannel& channel = freshChannel(MailSecurityNone);
    script["."] = "451 4.3.0 Later\r\n";
    const std::string kOne = kEhlo + kSend + "one;.;", kLater = "The mail server answered: 451 4.3.0 Later@";
    EXPECT_EQ(at(channel, 0, "one"), kOne + "|0 1 0 " + kLater + "0 retry@1000");
    EXPECT_EQ(at(channel, 1000), kOne + "|0 1 0 " + kLater + "1000 retry@3000");
    script["."] = kServer.at(".");
    EXPECT_EQ(at(channel, 3000), kOne + "QUIT;|1 0 0 " + kLater + "1000 idle");

    for (const char* refused : {"MAIL", "DATA", "."}) {
        freshChannel(MailSecurityNone);
        once[refused] = "554-5.7.1 Rejected\r\n554 5.7.1 See the policy\r\n";
        alertChannelPost(channel, "one", 3);
        const std::string wire = at(channel, 0, "two");
        EXPECT_EQ(wire.substr(wire.find("RSET;")), "RSET;" + kSend + "two;.;QUIT;|1 0 1 "
                                                   "The mail server refused the mail: 554-5.7.1 Rejected@0 idle");
    }
}

TEST(Smtp, ASilentServerTimesOutAndRepliesAreReadWhateverTheirPieces)
{
    AlertChannel& channel = freshChannel(MailSecurityNone);
    script[""] = "220-mail.example\r\n220";  // a reply that never ends
    EXPECT_EQ(at(channel, 0, "one"), "|0 1 0");
    EXPECT_EQ(at(channel, 59999), "|0 1 0");
    EXPECT_EQ(at(channel, 60000), "|0 1 0 The mail server did not answer in time.@60000 retry@61000");
    script[""] = "";
    const std::string kLater = "|0 1 0 The mail server did not answer in time.@60000";
    EXPECT_EQ(at(channel, 61000), kLater);
    server.input = "220-mail.example\r\n220";  // then its end in a later read
    EXPECT_EQ(at(channel, 61000), kLater);
    server.input = " ready\r\n";
    EXPECT_EQ(at(channel, 61000), kEhlo + kSend + "one;.;QUIT;|1 0 0 " + kLater.substr(7) + " idle");

    const std::pair<std::string, std::string> kGreetings[] = {
        {std::string(600, '2'), "The mail server does not speak SMTP."},
        {"2x0 ok\r\n", "The mail server does not speak SMTP."},
        {"220-a\r\n250 b\r\n", "The mail server does not speak SMTP."},
        {"354 Go on\r\n", "The mail server sent something unexpected: 354 Go on"},
    };
    for (const auto& greeting : kGreetings) {
        freshChannel(MailSecurityNone);
        script[""] = greeting.first;
        EXPECT_EQ(at(channel, 0, "one"), "|0 1 0 " + greeting.second + "@0 retry@1000");
    }
}

TEST(Smtp, AReplySentBeforeOurCommandWentOutAnswersNothing)
{
    // 354 and 250 in one piece; or the 250 in a later segment, read while the mail still waited to go.
    const std::pair<std::string, std::string> kCases[] = {{"354 Go on\r\n250 2.0.0 Queued\r\n", ""},
                                                          {"354 Go on\r\n\f250 2.0.0 Queued\r\n", "one;.;"}};
    for (const auto& [data, mail] : kCases) {
        AlertChannel& channel = freshChannel(MailSecurityNone);
        script["DATA"] = data;
        EXPECT_EQ(at(channel, 0, "one"),
                  kEhlo + kSend + mail + "|0 1 0 The mail server does not speak SMTP.@0 retry@1000");
    }
}

TEST(Smtp, TheMailOfAConnectHasEveryHeaderAndFactAndEachEventItsSubject)
{
    SyslogOrigin origin;
    syslogOriginInit(origin, "FRONTDESK-PC", 4242);
    MailTarget target{};
    std::strcpy(target.from, "decoy@example.org");
    target.toCount = 3;
    std::strcpy(target.to[0], "admin@example.org");
    std::strcpy(target.to[1], "second.person.with.a.long.name@example.org");
    std::strcpy(target.to[2], "third@example.org");
    AlertFacts facts{};
    facts.event = AlertConnect;
    facts.sequenceId = 42;
    facts.time = {{2026, 12, 7, 9, 41, 27, 123}, {2026, 12, 7, 10, 41, 27, 123}, 60};
    std::strcpy(facts.callerAddress, "203.0.113.7");
    facts.callerPort = 51234;
    facts.localPort = 23;
    facts.daemonKind = 1;
    char mail[kMailMessageSize];
    const int length = buildMailMessage(origin, target, facts, mail, sizeof mail);
    EXPECT_EQ(std::string(mail, static_cast<std::size_t>(length)),
              "Date: Mon, 07 Dec 2026 10:41:27 +0100\r\n"
              "From: Velmoranth <decoy@example.org>\r\n"
              "To: admin@example.org, second.person.with.a.long.name@example.org,\r\n"
              " third@example.org\r\n"
              "Subject: Velmoranth: connection from 203.0.113.7 to port 23 on FRONTDESK-PC\r\n"
              "Message-ID: <42.4242.20261207094127123.connect-23-203.0.113.7@FRONTDESK-PC>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=us-ascii\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Event: connect\r\n"
              "Time (UTC): 2026-12-07 09:41:27.123\r\n"
              "Time (local): 2026-12-07 10:41:27.123 +0100\r\n"
              "Caller address: 203.0.113.7\r\n"
              "Caller port: 51234\r\n"
              "Local port: 23\r\n"
              "Daemon: FreeBSD 5.1\r\n"
              "PC: FRONTDESK-PC\r\n"
              "Version: " VELMO_VERSION_TEXT "\r\n"
              "Sequence id: 42\r\n"
              "\r\n"
              "Connection from 203.0.113.7:51234 to port 23 (FreeBSD 5.1)\r\n");
    EXPECT_EQ(buildMailMessage(origin, target, facts, mail, length), 0) << "no room for the NUL";
    facts.summary = {4, 1, facts.time.local, facts.time.local, {}};
    facts.summary.lastLocal.minute = 59;
    facts.time.utcOffsetMinutes = -90;
    const std::pair<AlertEvent, std::string> kSubjects[] = {
        {AlertSummary, "Velmoranth: 4 more connections from 203.0.113.7 to port 23 on\r\n FRONTDESK-PC"},
        {AlertListen, "Velmoranth: listening on port 23 on FRONTDESK-PC"},
        {AlertStandby, "Velmoranth: stopped listening on port 23 on FRONTDESK-PC"},
        {AlertTest, "Velmoranth: test message from FRONTDESK-PC"},
    };
    for (const auto& subject : kSubjects) {
        facts.event = subject.first;
        buildMailMessage(origin, target, facts, mail, sizeof mail);
        EXPECT_NE(std::strstr(mail, ("\r\nSubject: " + subject.second + "\r\n").c_str()), nullptr) << subject.second;
        const bool counted = std::strstr(mail, "\r\nConnections: 4\r\nAddresses: 1\r\nFirst (local): 2026-12-07 "
                                               "10:41:27.123\r\nLast (local): 2026-12-07 10:59:27.123\r\n") != nullptr;
        EXPECT_EQ(counted, subject.first == AlertSummary) << "a summary's counts, and only a summary's";
    }
    EXPECT_EQ(std::string(mail, 38), "Date: Mon, 07 Dec 2026 10:41:27 -0130\r");
}
