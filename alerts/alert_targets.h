#pragma once
// Where alerts go: one record per channel (syslog, e-mail, webhook) and the
// filters they share. Plain fixed-size records, read from and saved to
// "alerts.ini" by the alerts file's reader and writer, edited by the Alerts
// dialog and handed to the channels as they are; the tripwires' ports and
// scan rule too.
#include "alerts/port_list.h"
#include "engine/tripwires.h"

enum {
    kAlertHostSize = 254,          // a DNS name of up to 253 characters
    kAlertFingerprintSize = 32,    // SHA-256
    kAlertAddressSize = 255,       // an e-mail address of up to 254 characters
    kAlertUserSize = 256,
    kAlertPasswordSize = 256,
    kAlertRecipients = 10,
    kAlertUrlSize = 1024,
    kAlertIgnoreEntries = 64,
};

enum SyslogProtocol { SyslogUdp = 0, SyslogTcp = 1, SyslogTls = 2, SyslogRelp = 3 };
enum SyslogFraming { SyslogFramingOctet = 0, SyslogFramingLf = 1 };

enum { kSyslogDefaultPort = 514, kSyslogDefaultTlsPort = 6514, kSyslogDefaultRelpPort = 2514 };

// The collector's certificate: verified against the system's trust store and
// its name, or, with `present` set, exactly the certificate of this SHA-256.
struct AlertFingerprint {
    int present;
    unsigned char sha256[kAlertFingerprintSize];
};

// The syslog channel.
struct SyslogTarget {
    int enabled;
    char collector[kAlertHostSize];  // a DNS name or a dotted IPv4 address
    int port;                        // 1 to 65535
    SyslogProtocol protocol;
    SyslogFraming framing;            // TCP and TLS only
    AlertFingerprint fingerprint;    // TLS only
};

// Which events an e-mail or webhook channel carries: connections and their
// summaries always; listening's start and stop when asked for.
enum AlertEventChoice { AlertEventsConnect = 0, AlertEventsConnectAndListen = 1 };

enum MailSecurity { MailSecurityNone = 0, MailSecurityStartTls = 1, MailSecurityTls = 2 };
enum { kMailDefaultPort = 25, kMailStartTlsPort = 587, kMailTlsPort = 465 };

struct MailTarget {
    int enabled;
    char server[kAlertHostSize];
    int port;
    MailSecurity security;
    char user[kAlertUserSize];          // "" : no sign-in
    char password[kAlertPasswordSize];  // in the clear, in memory only
    char from[kAlertAddressSize];
    char to[kAlertRecipients][kAlertAddressSize];
    int toCount;
    AlertEventChoice events;
    AlertFingerprint fingerprint;
};

enum WebhookFormat { WebhookJson = 0, WebhookSlack = 1, WebhookDiscord = 2, WebhookTeams = 3, WebhookNtfy = 4 };

struct WebhookTarget {
    int enabled;
    char url[kAlertUrlSize];  // http:// or https://
    WebhookFormat format;
    AlertEventChoice events;
};

// One entry of the ignore list: an IPv4 network and, when `port` is not 0,
// only callers to that decoy port.
struct IgnoreEntry {
    unsigned long network;  // host order; already masked
    unsigned long mask;     // host order; 0xFFFFFFFF for a single address
    int port;
};

struct AlertFilters {
    IgnoreEntry ignore[kAlertIgnoreEntries];
    int ignoreCount;
    int quietMinutes;      // e-mail and webhook: 0 sends every connection; default 10
    int heartbeatMinutes;  // syslog: 0 off, 1 to 1440; default 15
};

// Ports beside the daemon's that catch a sweep, and the rule that tells a
// scan: `scanPorts` distinct ports (the daemon's counts) touched by one
// source within `scanSeconds`.
struct TripwireSettings {
    int enabled;
    PortList ports;             // ascending, each once; at most kMostTripwires
    int scanPorts;              // 2 to 64; 0: no scan is told
    int scanSeconds;            // 1 to 3600
};

struct AlertSettings {
    SyslogTarget syslog;
    MailTarget mail;
    WebhookTarget webhook;
    AlertFilters filters;
    TripwireSettings tripwires;
};

enum { kDefaultQuietMinutes = 10, kDefaultHeartbeatMinutes = 15, kMostMinutes = 1440 };
enum { kDefaultScanPorts = 3, kMostScanPorts = 64, kDefaultScanSeconds = 60, kMostScanSeconds = 3600 };

// Every channel off; syslog 514, UDP, octet framing; e-mail port 25 with no
// security; webhook JSON; connect events; quiet 10 minutes; heartbeat 15;
// no tripwires, a scan being 3 ports in 60 s.
AlertSettings defaultAlertSettings();

// A port left out follows the protocol (514, tls 6514, relp 2514) or the
// security (25, starttls 587, tls 465).
int defaultSyslogPort(SyslogProtocol protocol);
int defaultMailPort(MailSecurity security);
