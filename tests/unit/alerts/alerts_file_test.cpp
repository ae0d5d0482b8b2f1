#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

std::string fingerprint(const AlertFingerprint& print)
{
    char text[100];
    fingerprintText(print, text, sizeof text);
    return text;
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// Every field of the settings, in one line.
std::string describe(const AlertSettings& s)
{
    const SyslogTarget& t = s.syslog;
    const MailTarget& m = s.mail;
    const WebhookTarget& w = s.webhook;
    char ignore[2000];
    ignoreListText(s.filters, ignore, sizeof ignore);
    std::string to;
    for (int i = 0; i < m.toCount; ++i)
        to += std::string(i ? ";" : "") + m.to[i];
    using std::to_string;
    return "S" + to_string(t.enabled) + " " + t.collector + ":" + to_string(t.port) + " p" + to_string(t.protocol) +
           " f" + to_string(t.framing) + " [" + fingerprint(t.fingerprint) + "] | M" + to_string(m.enabled) + " " +
           m.server + ":" + to_string(m.port) + " s" + to_string(m.security) + " " + m.user + "/" + m.password + " " +
           m.from + ">" + to + " e" + to_string(m.events) + " [" + fingerprint(m.fingerprint) + "] | W" +
           to_string(w.enabled) + " " + w.url + " f" + to_string(w.format) + " e" + to_string(w.events) +
           " | ignore=" + ignore + " quiet=" + to_string(s.filters.quietMinutes) +
           " heartbeat=" + to_string(s.filters.heartbeatMinutes);
}

// The channels on (syslog, e-mail, webhook) and the problems told.
std::string outcome(const AlertSettingsReading& r)
{
    std::string text = std::to_string(r.settings.syslog.enabled) + std::to_string(r.settings.mail.enabled) +
                       std::to_string(r.settings.webhook.enabled);
    for (const auto& problem : r.problem)
        text += problem[0] ? std::string(" ") + problem : "";
    return text;
}

const std::string kSections[] = {
    "[Velmoranth Alerts]\r\nEnabled=1\r\nCollector=192.0.2.10\r\n",
    "[E-mail]\r\nEnabled=1\r\nServer=mail.example.net\r\nSecurity=starttls\r\nUser=decoy\r\nFrom=decoy@example.net\r\n"
    "To=a@example.net\r\n",
    "[Webhook]\r\nEnabled=1\r\nURL=https://hooks.example.net/T0\r\n"};

// The sound file with `line` added at the end of section `section`.
std::string withLine(int section, const std::string& line)
{
    std::string file;
    for (int i = 0; i < 3; ++i)
        file += kSections[i] + (i == section ? line + "\r\n" : "");
    return file;
}

const std::string kIpv6 = "is an IPv6 address: Velmoranth sends over IPv4; give a host name or an IPv4 address.";
const std::string kNotHost = "is not a host name or an IPv4 address.";
const std::string kNotPort = "is not a number from 1 to 65535.";
const std::string kNotAddress = "is not a plain e-mail address (name@domain).";
const std::string kNotUrl = "is not an http:// or https:// address without blanks.";
const std::string kBadList = "the recipients are not up to 10 addresses of at most 254 characters, separated by "
                             "commas.";
const std::string kOff[] = {"011 alerts.ini: [Velmoranth Alerts] ", "101 alerts.ini: [E-mail] ",
                            "110 alerts.ini: [Webhook] ", "000 alerts.ini: [Velmoranth Alerts] "};

// The bytes of `text` as UTF-16 with a BOM (each byte taken as a character).
std::string utf16(const std::string& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xfe\xff" : "\xff\xfe";
    for (char c : text)
        bytes += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    return bytes;
}

} // namespace

TEST(AlertSettings, ReadsEachKeyOfEachChannelAndTurnsOffOnlyTheChannelAtFault)
{
    ScratchFolder folder;
    const std::string file = folder.path("alerts.ini");
    const std::string eleven = "To=a@b" + replaced(std::string(10, ','), ",", ",a@b");
    // The section, a line added at its end, and the outcome; for a sound line, a part of describe().
    const std::tuple<int, std::string, std::string> kCases[] = {
        {0, "Port=x", kOff[0] + "the port \"x\" " + kNotPort}, {1, "Port=x", kOff[1] + "the port \"x\" " + kNotPort},
        {0, "port = 65536", kOff[0] + "the port \"65536\" " + kNotPort},
        {0, "Protocol=smtp", kOff[0] + "the protocol \"smtp\" is not udp, tcp, tls or relp."},
        {0, "Framing=crlf", kOff[0] + "the framing \"crlf\" is not octet or lf."},
        {0, "Fingerprint=AB:CD", kOff[0] + "the fingerprint \"AB:CD\" is not a SHA-256 in hex."},
        {0, "Heartbeat=1441", kOff[0] + "the heartbeat \"1441\" is not a number of minutes from 0 to 1440."},
        {0, "Collector=fe80::1", kOff[0] + "the collector \"fe80::1\" " + kIpv6},
        {0, "Collector=logs:514", kOff[0] + "the collector \"logs:514\" holds a port: give the port in its own field."},
        {0, "Collector=10.1", kOff[0] + "the collector \"10.1\" " + kNotHost},
        {0, "Collector=", kOff[0] + "no collector is given."},
        {0, "Enabled=2", kOff[0] + "Enabled \"2\" is neither 0 nor 1."}, {2, "Enabled=1 ", ""},
        {0, "Collector=" + std::string(254, 'c'), kOff[0] + "the collector's name is longer than 253 characters."},
        {0, "Collector=" + std::string(4000, 'c'), kOff[0] + "line 4 is too long."},
        {0, "Quiet=x", kOff[3] + "the quiet time \"x\" is not a number of minutes from 0 to 1440."},
        {0, "Ignore=10.0.0.1, 10.0.0.300", kOff[3] + "the ignore list's entry \"10.0.0.300\" is not an IPv4 address or "
                                           "network (a.b.c.d/n), with an optional :port."},
        {1, "Security=ssl", kOff[1] + "the security \"ssl\" is not none, starttls or tls."},
        {1, "Security=none", kOff[1] + "a sign-in goes only over TLS: choose starttls or tls, or leave the user name "
                                       "empty."},
        {1, "Server=[::1]", kOff[1] + "the server \"[::1]\" " + kIpv6},
        {1, "From=Decoy <d>@example.net", kOff[1] + "the sender \"Decoy <d>@example.net\" " + kNotAddress},
        {1, "To=a@example.net, b@x..y", kOff[1] + "the recipient \"b@x..y\" " + kNotAddress},
        {1, "From=d.example.net", kOff[1] + "the sender \"d.example.net\" " + kNotAddress},
        {1, "From=@x", kOff[1] + "the sender \"@x\" " + kNotAddress}, {1, "From=" + std::string(64, 'd') + "@x", ""},
        {1, "Port=1", ""}, {1, "Port=65535", ""},
        {1, "From=" + std::string(65, 'd') + "@x",
         kOff[1] + "the sender \"" + std::string(40, 'd') + "...\" " + kNotAddress},
        {1, "To=a@example.net,,b@example.net", kOff[1] + kBadList}, {1, eleven, kOff[1] + kBadList},
        {1, "To=", kOff[1] + "no recipient (To) is given."}, {2, "URL=", kOff[2] + "no URL is given."},
        {1, "Password=dpapi:!!", kOff[1] + "the password was protected for another Windows user or is damaged; enter "
                                           "it again."},
#ifdef _WIN32  // DPAPI refuses a blob it did not make
        {1, "Password=dpapi:AQID", kOff[1] + "the password was protected for another Windows user or is damaged; enter "
                                             "it again."},
#else  // the stand-in unprotects any Base64: here, to bytes that are not printable
        {1, "Password=dpapi:AQID", kOff[1] + "the user name and the password may hold printable ASCII characters "
                                             "only."},
#endif
        {1, "Events=listen", kOff[1] + "the events \"listen\" are neither connect nor connect,listen,standby."},
        {2, "URL=ftp://x/y", kOff[2] + "the URL \"ftp://x/y\" " + kNotUrl},
        {2, "URL=https://a b/", kOff[2] + "the URL \"https://a b/\" " + kNotUrl},
        {2, "URL=https://[::1]:80/x", kOff[2] + "the URL's host \"[::1]:80\" " + kIpv6},
        {2, "URL=https://h:0/x", kOff[2] + "the URL's port \"0\" " + kNotPort},
        {2, "URL=https://me@h/x", kOff[2] + "the URL's host \"me@h\" " + kNotHost},
        {2, "Format=xml", kOff[2] + "the format \"xml\" is not json, slack, discord, teams or ntfy."},
        {2, "URL=http://" + std::string(300, 'h'), kOff[2] + "the URL's host is longer than 253 characters."},
        {2, "URL=" + std::string(4000, 'u'), kOff[2] + "line 14 is too long."}, {2, "[Other]\r\nEnabled=0", "W1 "},
        // Sound values, and what they give; a channel that is off has its names checked once it is on.
        {0, "Protocol=TLS", "192.0.2.10:6514 p2 f0"}, {0, "Protocol=relp\r\nFraming=LF", ":2514 p3 f1"},
        {0, "Port=601\r\nProtocol=tcp", ":601 p1"}, {0, "Heartbeat=0\r\nQuiet=0", "quiet=0 heartbeat=0"},
        {0, "Ignore= 10.0.5.20 , 192.168.7.5/24,10.0.0.9:23", "ignore=10.0.5.20, 192.168.7.0/24, 10.0.0.9:23 "},
        {0, "Collector=fe80::1\r\nEnabled=0", "S0 fe80::1:514"}, {1, "Security=tls", "net:465 s2"},
        {1, "Security=none\r\nUser=", "net:25 s0"}, {1, "Events=Listen, connect ,standby", " e1 "},
        {1, "To=a@example.net , b.c+d@x-y.example", ">a@example.net;b.c+d@x-y.example e0"},
        {2, "Format=NTFY\r\nURL=http://192.0.2.7:8080", "W1 http://192.0.2.7:8080 f4"},
    };
    for (const auto& [section, line, expected] : kCases) {
        folder.write("alerts.ini", withLine(section, line));
        const AlertSettingsReading reading = loadAlertSettings(file.c_str());
        const std::string told = outcome(reading), described = describe(reading.settings);
        if (expected.find("alerts.ini:") != std::string::npos)
            EXPECT_EQ(told, expected) << line;
        else
            EXPECT_TRUE(told.size() == 3 && described.find(expected) != std::string::npos) << line << told << described;
    }
}

TEST(AlertSettings, ReadsEveryEncodingAndLineEndAndMatchesHeadersInAnyCase)
{
    ScratchFolder folder;
    const std::string file = folder.path("alerts.ini");
    const AlertSettingsReading none = loadAlertSettings(file.c_str());
    EXPECT_EQ(outcome(none) + std::to_string(none.fileFound), "0000");
    const std::string ansi = withLine(-1, "");
    folder.write("alerts.ini", ansi);
    const std::string expected = describe(loadAlertSettings(file.c_str()).settings);
    EXPECT_EQ(expected, "S1 192.0.2.10:514 p0 f0 [] | M1 mail.example.net:587 s1 decoy/ decoy@example.net>"
                        "a@example.net e0 [] | W1 https://hooks.example.net/T0 f0 e0 | ignore= quiet=10 heartbeat=15");
    const std::pair<std::string, std::string> kFiles[] = {
        {"\xef\xbb\xbf" + ansi, "111"}, {utf16(ansi, false), "111"}, {utf16(ansi, true), "111"},
        {replaced(ansi, "\r\n", "\n"), "111"}, {replaced(ansi, "\r\n", "\r"), "111"}, {ansi + "\x1aPort=x", "111"},
        {replaced(replaced(ansi, "[Velmoranth Alerts]", " [velmoranth ALERTS] "), "[E-mail]", "  [e-MAIL]\t"), "111"},
        // Non-ASCII, from UTF-16 as from ANSI, is a bad value; a NUL spoils its value rather than cut it short.
        {utf16(withLine(0, "Collector=h\xf4st"), false), kOff[0] + "the collector \"h??st\" " + kNotHost},
        {withLine(0, std::string("Port=51\0004", 9)), kOff[0] + "the port \"51?4\" " + kNotPort},
        {replaced(ansi, "Alerts]", "Settings]"), "000 alerts.ini: the first line is not [Velmoranth Alerts]."},
        // Kept as UTF-8 while off: a surrogate pair, a lone high surrogate, two lone low ones.
        {replaced(utf16(withLine(0, "Enabled=0\r\nCollector=h\xf4#"), false), std::string("#\0", 2),
                  std::string("\x3d\xd8\x00\xde\x3d\xd8x\0\x00\xdc\xff\xdf", 12)), "011"}};
    for (const auto& [bytes, told] : kFiles) {
        folder.write("alerts.ini", bytes);
        const AlertSettingsReading reading = loadAlertSettings(file.c_str());
        EXPECT_EQ(outcome(reading), told) << bytes;
        EXPECT_TRUE(told != "111" || describe(reading.settings) == expected) << bytes;
        const std::string utf8 = "h\xc3\xb4\xf0\x9f\x98\x80\xef\xbf\xbdx\xef\xbf\xbd\xef\xbf\xbd";
        EXPECT_TRUE(told != "011" || reading.settings.syslog.collector == utf8) << reading.settings.syslog.collector;
    }
}

TEST(AlertSettings, ChecksHostsFingerprintsAndIgnoreLists)
{
    const std::pair<std::string, std::string> kHosts[] = {
        {"logs.example.net", ""}, {"host_1-a", ""}, {"192.0.2.255", ""}, {std::string(253, 'a'), ""},
        {std::string(254, 'a'), "The name \"" + std::string(40, 'a') + "...\" is longer than 253 characters."},
        {"", "Give a host name or an IPv4 address."}, {"::1", "The name \"::1\" " + kIpv6},
        {"10.0.0.1:514", "The name \"10.0.0.1:514\" holds a port: give the port in its own field."},
        {"010.0.0.1", "The name \"010.0.0.1\" " + kNotHost}, {"256.0.0.1", "The name \"256.0.0.1\" " + kNotHost},
        {"a..b", "The name \"a..b\" " + kNotHost}, {"a.", "The name \"a.\" " + kNotHost}};
    for (const auto& [host, told] : kHosts)
        EXPECT_EQ(alertHostProblem(host.c_str()), told);

    const std::string hex = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";
    const std::string canonical = "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:"
                                  "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF";
    const std::pair<std::string, std::string> kPrints[] = {
        {hex, canonical}, {"SHA-256:" + canonical, canonical}, {"sha-256:" + hex, canonical}, {"", ""},
        {hex + "00", "!"}, {hex.substr(2), "!"}, {"sha-256:", "!"}, {":" + canonical.substr(1), "!"},
        {canonical + ":", "!"}, {canonical.substr(0, 2) + "::" + canonical.substr(3), "!"}, {"g" + hex.substr(1), "!"}};
    for (const auto& [text, expected] : kPrints) {
        AlertFingerprint print{};
        EXPECT_EQ(parseFingerprint(text.c_str(), print) ? fingerprint(print) : "!", expected) << text;
    }

    const std::string many = replaced(std::string(kAlertIgnoreEntries, ','), ",", "10.0.0.1,");
    const std::pair<std::string, std::string> kLists[] = {
        {"", ""}, {"0.0.0.0/0, 10.1.2.3/32:65535", "0.0.0.0/0, 10.1.2.3:65535"}, {"10.9.8.7/8", "10.0.0.0/8"},
        {"10.0.0.1/33", "!10.0.0.1/33"}, {"10.0.0.1:0", "!10.0.0.1:0"}, {"10.0.0.1,", "!"}, {" , 10.0.0.1", "!"},
        {"h.example", "!h.example"},
        {many.substr(0, many.size() - 1), "10.0.0.1, 10.0.0.1, 10.0.0.1"}, {many + "10.0.0.2", "!10.0.0.2"}};
    for (const auto& [text, expected] : kLists) {
        AlertFilters filters{};
        char bad[40], canonicalList[2000];
        const int sound = parseIgnoreList(text.c_str(), filters, bad, sizeof bad);
        ignoreListText(filters, canonicalList, sizeof canonicalList);
        const std::string listed = std::string(canonicalList).substr(0, expected.size());
        EXPECT_EQ(sound ? listed : "!" + std::string(bad), expected) << text;
    }
    AlertFilters filters{};
    ASSERT_EQ(parseIgnoreList("192.168.7.9/24:23", filters, nullptr, 0), 1);
    const IgnoreEntry& entry = filters.ignore[0];
    EXPECT_TRUE(entry.network == 0xC0A80700ul && entry.mask == 0xFFFFFF00ul && entry.port == 23);
}

// The protected form is the platform's own: only its place and prefix are the same everywhere.
std::string masked(const std::string& text)
{
    return std::regex_replace(text, std::regex("Password=dpapi:[A-Za-z0-9+/=]+"), "Password=dpapi:*");
}

// UTF-16 of ASCII back to its bytes, without the BOM.
std::string narrow(const std::string& bytes)
{
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += bytes[i] ? bytes[i] : bytes[i + 1];
    return text;
}

void makeReadOnly(const std::string& path, bool readOnly)
{
    using std::filesystem::perms;
    std::filesystem::permissions(path, readOnly ? perms::owner_read : perms::owner_read | perms::owner_write);
}

TEST(AlertSettings, ProtectsAPlainPasswordInPlaceWhateverElseIsDamaged)
{
    ScratchFolder folder;
    const std::string file = folder.path("alerts.ini");
    // A damaged webhook, a comment, a key in any case with blanks and LF, a webhook's key of the same name, a
    // second [E-mail] without a last line end; every line but the passwords' stays byte for byte.
    const std::string plain = "[Velmoranth Alerts]\r\n; fleet\r\n[E-mail]\r\nEnabled=1\r\nServer=mail.example.net\r\n"
                              "Security=tls\r\nUser=decoy\r\n password = hunter2 \nFrom=decoy@example.net\r\n"
                              "To=a@example.net\r\n[Webhook]\r\nEnabled=1\r\nURL=https://h.example.net/x\r\n"
                              "Format=xml\r\nPassword=not a mail password\r\n[e-mail]\r\nPassword=hunter2";
    const std::string kept = replaced(replaced(plain, " password = hunter2 ", "Password=dpapi:*"),
                                      "]\r\nPassword=hunter2", "]\r\nPassword=dpapi:*");
    const std::string told = "010 alerts.ini: [Webhook] the format \"xml\" is not json, slack, discord, teams or ntfy.";
    for (const std::string& bytes : {plain, "\xef\xbb\xbf" + plain, utf16(plain, false), utf16(plain, true)}) {
        folder.write("alerts.ini", bytes);
        const AlertSettingsReading reading = loadAlertSettings(file.c_str());
        EXPECT_EQ(outcome(reading) + " " + reading.settings.mail.password, told + " hunter2") << bytes;
        EXPECT_EQ(reading.passwordWasPlain * 10 + reading.passwordStaysPlain, 10);
        const std::string saved = folder.read("alerts.ini");
        EXPECT_EQ(masked(bytes[0] == plain[0] || bytes[0] == '\xef' ? saved : narrow(saved)),
                  bytes[0] == '\xef' ? "\xef\xbb\xbf" + kept : kept);
        const AlertSettingsReading again = loadAlertSettings(file.c_str());
        EXPECT_EQ(outcome(again) + describe(again.settings), outcome(reading) + describe(reading.settings));
        EXPECT_EQ(again.passwordWasPlain + again.passwordStaysPlain + folder.count(), 1);
    }
    // The password itself damaged, the file read-only or not an alerts file: every byte stays, and the reading says
    // whether a password stays in the clear.
    const std::string single = plain.substr(0, plain.find("\r\n[e-mail]"));
    const std::tuple<std::string, bool, int> kUnchanged[] = {
        {plain, true, 11}, {replaced(single, "= hunter2", "=" + std::string(256, 'h')), false, 11},
        {replaced(single, "hunter2", "hunt\xe9r"), false, 11}, {"[Alerts]\r\n" + plain, false, 0},
        {withLine(1, "Password=" + std::string(4000, 'p')), false, 11}};
    for (const auto& [bytes, readOnly, plainNow] : kUnchanged) {
        folder.write("alerts.ini", bytes);
        makeReadOnly(file, readOnly);
        const AlertSettingsReading reading = loadAlertSettings(file.c_str());
        EXPECT_EQ(reading.passwordWasPlain * 10 + reading.passwordStaysPlain, plainNow) << bytes;
        EXPECT_EQ(std::string(reading.problem[AlertProblemMail]).find("hunt"), std::string::npos);
        EXPECT_EQ(saveAlertSettings(reading.settings, file.c_str()), readOnly ? 0 : 1);
        EXPECT_TRUE(folder.read("alerts.ini") == bytes || !readOnly);
        EXPECT_EQ(folder.count(), 1);
        makeReadOnly(file, false);
    }
}

// The dialog's save: each key it owns where it stands, the missing ones at the end of their section, a missing
// section at the end; comments, unknown keys and sections, blank lines and line ends as they were.
TEST(AlertSettings, SavesTheDialogsKeysInPlaceAndKeepsEveryOtherLine)
{
    ScratchFolder folder;
    const std::string file = folder.path("alerts.ini");
    const std::string mine = "[velmoranth alerts]\r\n; a fleet's file\r\nEnabled=1\r\nCollector = 192.0.2.10\r\n"
                             "Port=514\r\nProtocol=udp\r\nFraming=octet\r\nFingerprint=\r\nHeartbeat=15\r\nExtra=kept"
                             "\r\nQuiet=10\r\n\r\n[Notes]\r\nEnabled=1\r\nPorts=21\r\n[E-mail]\nEnabled=0\n"
                             "Server=mail.example.net\nport=25\nSecurity=none\nUser=\nPassword=\nFrom=d@example.net\n"
                             "To=a@example.net\nEvents=connect\nFingerprint=\nPort=26\n# the end";
    const std::string saved = replaced(replaced(replaced(replaced(mine, "udp", "tcp"), "port=25", "Port=587"),
                                                "Port=26", "Port=587"), "Quiet=10\r\n", "Quiet=10\r\nIgnore=\r\n") +
                              "\r\n\r\n[Webhook]\r\nEnabled=0\r\nURL=\r\nFormat=json\r\nEvents=connect\r\n";
    // A name from UTF-16 is UTF-8 in the settings, and UTF-16 again in the file.
    const std::string wide = replaced(saved, "Server=mail", "Server=m\xe4il");
    const std::tuple<std::string, std::string, std::string> kFiles[] = {
        {mine, "mail.example.net", saved}, {utf16(mine, false), "m\xc3\xa4il.example.net", utf16(wide, false)},
        {utf16(mine, true), "m\xc3\xa4il.example.net", utf16(wide, true)}};
    for (const auto& [bytes, server, expected] : kFiles) {
        folder.write("alerts.ini", bytes);
        AlertSettings settings = loadAlertSettings(file.c_str()).settings;
        settings.syslog.protocol = SyslogTcp;
        settings.mail.port = 587;
        std::snprintf(settings.mail.server, sizeof settings.mail.server, "%s", server.c_str());
        ASSERT_EQ(saveAlertSettings(settings, file.c_str()), 1);
        EXPECT_EQ(folder.read("alerts.ini"), expected);
        const AlertSettingsReading reading = loadAlertSettings(file.c_str());
        EXPECT_EQ(outcome(reading) + describe(reading.settings), "100" + describe(settings));
    }
    // Not an alerts file: its header comes first, and its old lines stay below it, read as part of that section.
    const std::string damaged = "Velmoranth alerts\r\nEnabled=1\r\nNote=x\r\n[E-mail]\r\nPassword=hunter2\r\n";
    folder.write("alerts.ini", damaged);
    ASSERT_EQ(saveAlertSettings(defaultAlertSettings(), file.c_str()), 1);
    EXPECT_EQ(folder.read("alerts.ini"),
              "[Velmoranth Alerts]\r\nVelmoranth alerts\r\nEnabled=0\r\nNote=x\r\nCollector=\r\nPort=514\r\n"
              "Protocol=udp\r\nFraming=octet\r\nFingerprint=\r\nHeartbeat=15\r\nIgnore=\r\nQuiet=10\r\n[E-mail]\r\n"
              "Password=\r\nEnabled=0\r\nServer=\r\nPort=25\r\nSecurity=none\r\nUser=\r\nFrom=\r\nTo=\r\n"
              "Events=connect\r\nFingerprint=\r\n\r\n[Webhook]\r\nEnabled=0\r\nURL=\r\nFormat=json\r\nEvents=connect\r\n");
    const AlertSettingsReading reading = loadAlertSettings(file.c_str());
    EXPECT_EQ(outcome(reading) + describe(reading.settings), "000" + describe(defaultAlertSettings()));

    // A missing file is written whole, as ANSI with CR LF and every key.
    folder.write("alerts.ini", withLine(1, "Password=hunter2"));
    AlertSettings settings = loadAlertSettings(file.c_str()).settings;
    const std::string fresh = folder.path("new.ini");
    ASSERT_EQ(saveAlertSettings(settings, fresh.c_str()), 1);
    EXPECT_EQ(saveAlertSettings(settings, folder.path("no such folder/new.ini").c_str()), 0);
    EXPECT_EQ(masked(folder.read("new.ini")),
              "[Velmoranth Alerts]\r\nEnabled=1\r\nCollector=192.0.2.10\r\nPort=514\r\nProtocol=udp\r\n"
              "Framing=octet\r\nFingerprint=\r\nHeartbeat=15\r\nIgnore=\r\nQuiet=10\r\n\r\n[E-mail]\r\n"
              "Enabled=1\r\nServer=mail.example.net\r\nPort=587\r\nSecurity=starttls\r\nUser=decoy\r\n"
              "Password=dpapi:*\r\nFrom=decoy@example.net\r\nTo=a@example.net\r\nEvents=connect\r\n"
              "Fingerprint=\r\n\r\n[Webhook]\r\nEnabled=1\r\nURL=https://hooks.example.net/T0\r\nFormat=json\r\n"
              "Events=connect\r\n");
    std::filesystem::remove(fresh);

    // Every field away from its default, saved and read back.
    settings = defaultAlertSettings();
    settings.syslog = {1, "logs.example.net", 6514, SyslogTls, SyslogFramingLf, {1, {0xAB, 0xCD}}};
    settings.mail = {1, "192.0.2.25", 2525, MailSecurityTls, "me", "p w=\"x\"", "decoy@example.net", {}, 0,
                     AlertEventsConnectAndListen, {1, {1}}};
    ASSERT_EQ(parseRecipients("a@example.net, b@example.net", settings.mail), 1);
    settings.webhook = {1, "https://ntfy.example.net:8443/decoys?x=1", WebhookNtfy, AlertEventsConnectAndListen};
    ASSERT_EQ(parseIgnoreList("10.0.0.0/8:23, 192.0.2.1", settings.filters, nullptr, 0), 1);
    settings.filters.quietMinutes = 0;
    settings.filters.heartbeatMinutes = 1440;
    ASSERT_EQ(saveAlertSettings(settings, file.c_str()), 1);
    EXPECT_EQ(describe(loadAlertSettings(file.c_str()).settings), describe(settings));
    EXPECT_EQ(folder.count(), 1);
    std::snprintf(settings.mail.user, sizeof settings.mail.user, "me\r\nEnabled=0");
    EXPECT_EQ(saveAlertSettings(settings, file.c_str()), 0);
    settings.syslog.port = 65536;
    EXPECT_STREQ(syslogTargetProblem(settings.syslog), "The port must be a number from 1 to 65535.");
    settings.mail.port = 0;
    settings.webhook = {0, "ftp://not checked while off", WebhookJson, AlertEventsConnect};
    EXPECT_STREQ(mailTargetProblem(settings.mail), "The port must be a number from 1 to 65535.");
    settings.mail.port = 25;
    settings.mail.security = static_cast<MailSecurity>(3);
    EXPECT_EQ(std::string(mailTargetProblem(settings.mail)).substr(0, 36), "The security must be none, starttls ");
    EXPECT_STREQ(webhookTargetProblem(settings.webhook), "");
}

// [Tripwires]: the ports and ranges, the scan rule, and a bad value that turns only the tripwires off.
TEST(AlertsFile, ReadsTheTripwiresAndTurnsThemOffForABadValue)
{
    const struct {
        const char* keys;
        const char* read;  // enabled, then the ports as the file would keep them, ScanPorts/ScanSeconds; or the problem
    } kCases[] = {
        {"enabled = 1\r\nPORTS= 8000-8003, 21 ,22, 23\r\n", "1 21-23,8000-8003 3/60"},
        {"Enabled=1\r\nPorts=3389, 21, 3389\r\nScanPorts=2\r\nScanSeconds=3600\r\n", "1 21,3389 2/3600"},
        {"Enabled=1\r\nPorts=1-64\r\nScanPorts=0\r\nScanSeconds=1\r\n", "1 1-64 0/1"},
        {"Enabled=1\r\nPorts=1-65\r\n", "alerts.ini: [Tripwires] the ports are more than 64."},
        {"Enabled=1\r\nPorts=21, 23-22\r\n",
         "alerts.ini: [Tripwires] the port \"23-22\" is not a port or a range (low-high) from 1 to 65535."},
        {"Enabled=1\r\nPorts=0\r\n", "alerts.ini: [Tripwires] the port \"0\" is not a port or a range (low-high) from 1 "
                                     "to 65535."},
        {"Enabled=1\r\nScanPorts=1\r\n", "alerts.ini: [Tripwires] ScanPorts \"1\" is not a number from 2 to 64, or 0."},
        {"Enabled=1\r\nScanPorts=65\r\n", "alerts.ini: [Tripwires] ScanPorts \"65\" is not a number from 2 to 64, or 0."},
        {"Enabled=1\r\nScanSeconds=0\r\n", "alerts.ini: [Tripwires] ScanSeconds \"0\" is not a number from 1 to 3600."},
        {"Enabled=yes\r\n", "alerts.ini: [Tripwires] Enabled \"yes\" is neither 0 nor 1."},
    };
    ScratchFolder folder;
    for (const auto& c : kCases) {
        folder.write("alerts.ini", std::string("[Velmoranth Alerts]\r\nEnabled=1\r\nCollector=192.0.2.10\r\n\r\n"
                                               "[TRIPWIRES]\r\n") + c.keys);
        const AlertSettingsReading reading = loadAlertSettings(folder.path("alerts.ini").c_str());
        const TripwireSettings& tripwires = reading.settings.tripwires;
        char ports[400];
        portListFileText(tripwires, ports, sizeof ports);
        const std::string problem = reading.problem[AlertProblemTripwires];
        EXPECT_EQ(problem.empty() ? std::to_string(tripwires.enabled) + " " + ports + " " +
                                        std::to_string(tripwires.scanPorts) + "/" + std::to_string(tripwires.scanSeconds)
                                  : problem + std::to_string(tripwires.enabled),
                  problem.empty() ? c.read : std::string(c.read) + "0")
            << c.keys;
        EXPECT_EQ(reading.settings.syslog.enabled, 1) << "the channels stay on";
    }
}
