#include "ui/dialogs/alerts_pages.h"

#include "alerts/alert_checks.h"
#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "ui/dialogs/alerts_page_controls.h"
#include "ui/dialogs/alerts_test_send.h"
#include "ui/dialogs/alerts_tripwires_page.h"
#include "ui/program_state.h"

#include <cstdio>
#include <cstring>

static_assert(int{AlertProblemSyslog} == AlertSyslogChannel && int{AlertProblemMail} == AlertMailChannel &&
                  int{AlertProblemWebhook} == AlertWebhookChannel && int{AlertProblemShared} == kFiltersPage &&
                  int{AlertProblemTripwires} == kTripwiresPage,
              "a page shows the problems of its own scope");

namespace {

enum {
    kFingerprintFieldSize = 128,  // "sha-256:" and 32 pairs of digits with colons, and some slack
    kRecipientsTextSize = kAlertRecipients * (kAlertAddressSize + 2),
    kIgnoreTextSize = 2048,       // 64 entries of up to 24 characters, and their separators
};

int hostRefused[kAlertsPages];  // the problem line shows the at-once refusal of the page's host

const Fault kNoFault = {"", 0};

struct FieldLimit {
    int id;
    int characters;
};

const FieldLimit kFieldLimits[] = {
    {IDC_SYSLOG_COLLECTOR, kAlertHostSize - 1}, {IDC_SYSLOG_PORT, 5}, {IDC_SYSLOG_HEARTBEAT, 4},
    {IDC_SYSLOG_FINGERPRINT, kFingerprintFieldSize - 1}, {IDC_MAIL_SERVER, kAlertHostSize - 1}, {IDC_MAIL_PORT, 5},
    {IDC_MAIL_USER, kAlertUserSize - 1}, {IDC_MAIL_PASSWORD, kAlertPasswordSize - 1},
    {IDC_MAIL_FROM, kAlertAddressSize - 1}, {IDC_MAIL_TO, kRecipientsTextSize - 1},
    {IDC_MAIL_FINGERPRINT, kFingerprintFieldSize - 1}, {IDC_WEBHOOK_URL, kAlertUrlSize - 1},
    {IDC_FILTERS_IGNORE, kIgnoreTextSize - 1}, {IDC_FILTERS_QUIET, 4},
};

// Framing is for the streams, the fingerprint for TLS.
void enableSyslogFields(int protocol)
{
    const bool stream = protocol == SyslogTcp || protocol == SyslogTls;
    enable(IDC_SYSLOG_OCTET, stream);
    enable(IDC_SYSLOG_LF, stream);
    enable(IDC_SYSLOG_FINGERPRINT, protocol == SyslogTls);
}

void enableMailFields(int security)
{
    enable(IDC_MAIL_FINGERPRINT, security != MailSecurityNone);
}

void showFingerprint(int id, const AlertFingerprint& fingerprint)
{
    char text[kFingerprintFieldSize];
    fingerprintText(fingerprint, text, sizeof text);
    setText(id, text);
}

void showSyslog(const SyslogTarget& target, int heartbeatMinutes)
{
    check(IDC_SYSLOG_ENABLED, target.enabled);
    setText(IDC_SYSLOG_COLLECTOR, target.collector);
    setNumber(IDC_SYSLOG_PORT, target.port);
    setNumber(IDC_SYSLOG_HEARTBEAT, heartbeatMinutes);
    checkRadio(IDC_SYSLOG_UDP, 4, target.protocol);
    checkRadio(IDC_SYSLOG_OCTET, 2, target.framing);
    showFingerprint(IDC_SYSLOG_FINGERPRINT, target.fingerprint);
    enableSyslogFields(target.protocol);
}

void showRecipients(const MailTarget& mail)
{
    char text[kRecipientsTextSize] = "";
    for (int i = 0, used = 0; i < mail.toCount; ++i)
        used += std::snprintf(text + used, sizeof text - static_cast<size_t>(used), "%s%s", i ? ", " : "", mail.to[i]);
    setText(IDC_MAIL_TO, text);
}

// What the note beside the password field says: whether one is stored, and
// whether the file still holds one in the clear (read-only, say).
const char* passwordNote(const MailTarget& mail)
{
    if (program.alertsRead.passwordStaysPlain)
        return "Stored in the clear: it could not be protected.";
    return mail.password[0] ? "A password is stored: left empty, it is kept." : "";
}

// The password itself is never shown: the field starts empty.
void showMail(const MailTarget& mail)
{
    check(IDC_MAIL_ENABLED, mail.enabled);
    setText(IDC_MAIL_SERVER, mail.server);
    setNumber(IDC_MAIL_PORT, mail.port);
    checkRadio(IDC_MAIL_NONE, 3, mail.security);
    setText(IDC_MAIL_USER, mail.user);
    setText(IDC_MAIL_PASSWORD_NOTE, passwordNote(mail));
    setText(IDC_MAIL_FROM, mail.from);
    showRecipients(mail);
    check(IDC_MAIL_LISTEN, mail.events == AlertEventsConnectAndListen);
    showFingerprint(IDC_MAIL_FINGERPRINT, mail.fingerprint);
    enableMailFields(mail.security);
}

void showWebhook(const WebhookTarget& webhook)
{
    check(IDC_WEBHOOK_ENABLED, webhook.enabled);
    setText(IDC_WEBHOOK_URL, webhook.url);
    checkRadio(IDC_WEBHOOK_JSON, 5, webhook.format);
    check(IDC_WEBHOOK_LISTEN, webhook.events == AlertEventsConnectAndListen);
}

void showFilters(const AlertFilters& filters)
{
    char ignore[kIgnoreTextSize];
    ignoreListText(filters, ignore, sizeof ignore);
    setText(IDC_FILTERS_IGNORE, ignore);
    setNumber(IDC_FILTERS_QUIET, filters.quietMinutes);
}

// The http:// mark is shown as the URL is typed.
void showPlainMark()
{
    char start[8];
    getText(IDC_WEBHOOK_URL, start, sizeof start);
    CharLowerA(start);
    ShowWindow(control(IDC_WEBHOOK_PLAIN), std::strcmp(start, "http://") == 0 ? SW_SHOW : SW_HIDE);
}

Fault fingerprintIn(int id, AlertFingerprint& fingerprint)
{
    char text[kFingerprintFieldSize];
    getText(id, text, sizeof text);
    if (parseFingerprint(text, fingerprint))
        return kNoFault;
    return Fault{"The fingerprint must be the certificate's SHA-256: 64 hex digits, colons between pairs allowed.", id};
}

Fault minutesIn(int id, const char* what, int& minutes)
{
    static char told[kPageLineSize];
    minutes = numberIn(id, kMostMinutes);
    if (minutes >= 0)
        return kNoFault;
    std::snprintf(told, sizeof told, "%s must be a number of minutes from 0 to %d.", what, kMostMinutes);
    return Fault{told, id};
}

Fault readSyslogPage(AlertSettings& settings)
{
    SyslogTarget& target = settings.syslog;
    target.enabled = checked(IDC_SYSLOG_ENABLED);
    getText(IDC_SYSLOG_COLLECTOR, target.collector, sizeof target.collector);
    target.port = portIn(IDC_SYSLOG_PORT);
    target.protocol = static_cast<SyslogProtocol>(radioIndex(IDC_SYSLOG_UDP, 4));
    target.framing = static_cast<SyslogFraming>(radioIndex(IDC_SYSLOG_OCTET, 2));
    const Fault fault = minutesIn(IDC_SYSLOG_HEARTBEAT, "The heartbeat", settings.filters.heartbeatMinutes);
    return fault.text[0] ? fault : fingerprintIn(IDC_SYSLOG_FINGERPRINT, target.fingerprint);
}

// The stored password never comes back into the field: left empty, the
// field keeps it; text typed replaces it; no user name means no sign-in,
// so no password.
void readPassword(MailTarget& mail)
{
    char typed[kAlertPasswordSize];
    getText(IDC_MAIL_PASSWORD, typed, sizeof typed);
    if (typed[0] != '\0')
        std::memcpy(mail.password, typed, sizeof typed);
    if (mail.user[0] == '\0')
        mail.password[0] = '\0';
    SecureZeroMemory(typed, sizeof typed);
}

Fault readMailPage(AlertSettings& settings)
{
    MailTarget& mail = settings.mail;
    mail.enabled = checked(IDC_MAIL_ENABLED);
    getText(IDC_MAIL_SERVER, mail.server, sizeof mail.server);
    mail.port = portIn(IDC_MAIL_PORT);
    mail.security = static_cast<MailSecurity>(radioIndex(IDC_MAIL_NONE, 3));
    getText(IDC_MAIL_USER, mail.user, sizeof mail.user);
    readPassword(mail);
    getText(IDC_MAIL_FROM, mail.from, sizeof mail.from);
    mail.events = checked(IDC_MAIL_LISTEN) ? AlertEventsConnectAndListen : AlertEventsConnect;
    char to[kRecipientsTextSize];
    getText(IDC_MAIL_TO, to, sizeof to);
    if (!parseRecipients(to, mail))
        return Fault{"The recipients (To) must be at most 10 addresses, separated by commas, none empty.", IDC_MAIL_TO};
    return fingerprintIn(IDC_MAIL_FINGERPRINT, mail.fingerprint);
}

Fault readWebhookPage(AlertSettings& settings)
{
    WebhookTarget& webhook = settings.webhook;
    webhook.enabled = checked(IDC_WEBHOOK_ENABLED);
    getText(IDC_WEBHOOK_URL, webhook.url, sizeof webhook.url);
    webhook.format = static_cast<WebhookFormat>(radioIndex(IDC_WEBHOOK_JSON, 5));
    webhook.events = checked(IDC_WEBHOOK_LISTEN) ? AlertEventsConnectAndListen : AlertEventsConnect;
    return kNoFault;
}

Fault readFiltersPage(AlertSettings& settings)
{
    static char told[kPageLineSize];
    AlertFilters& filters = settings.filters;
    const Fault fault = minutesIn(IDC_FILTERS_QUIET, "The quiet time", filters.quietMinutes);
    char list[kIgnoreTextSize], bad[kPageLineSize / 2];
    getText(IDC_FILTERS_IGNORE, list, sizeof list);
    if (fault.text[0] || parseIgnoreList(list, filters, bad, sizeof bad))
        return fault;
    if (filters.ignoreCount == kAlertIgnoreEntries)
        std::snprintf(told, sizeof told, "The ignore list holds more than %d entries.", kAlertIgnoreEntries);
    else
        std::snprintf(told, sizeof told, "The entry \"%s\" is not an IPv4 address or network (a.b.c.d/n), "
                      "with an optional :port.", bad);
    return Fault{told, IDC_FILTERS_IGNORE};
}

Fault (*const kPageReaders[kAlertsPages])(AlertSettings&) = {readSyslogPage, readMailPage, readWebhookPage,
                                                             readFiltersPage, readTripwiresPage};

Fault syslogFault(const SyslogTarget& target)
{
    return Fault{syslogTargetProblem(target), target.port == 0 ? IDC_SYSLOG_PORT : IDC_SYSLOG_COLLECTOR};
}

// The check names what is wrong; the field at fault is the first, in the
// check's order, that makes it fail when put into a target otherwise sound.
int mailFieldAtFault(const MailTarget& mail)
{
    if (mail.port == 0)
        return IDC_MAIL_PORT;
    MailTarget probe = mail;
    probe.user[0] = probe.password[0] = '\0';
    std::snprintf(probe.from, sizeof probe.from, "a@example.net");
    std::snprintf(probe.to[0], sizeof probe.to[0], "a@example.net");
    probe.toCount = 1;
    if (mailTargetProblem(probe)[0] != '\0')
        return IDC_MAIL_SERVER;
    std::memcpy(probe.user, mail.user, sizeof probe.user);
    std::memcpy(probe.password, mail.password, sizeof probe.password);
    if (mailTargetProblem(probe)[0] != '\0')
        return IDC_MAIL_USER;
    std::memcpy(probe.from, mail.from, sizeof probe.from);
    return mailTargetProblem(probe)[0] != '\0' ? IDC_MAIL_FROM : IDC_MAIL_TO;
}

Fault mailFault(const MailTarget& mail)
{
    const int field = mailFieldAtFault(mail);
    return Fault{mailTargetProblem(mail), field};
}

int syslogPortOf(int protocol)
{
    return defaultSyslogPort(static_cast<SyslogProtocol>(protocol));
}

int mailPortOf(int security)
{
    return defaultMailPort(static_cast<MailSecurity>(security));
}

// A port left at one of the `count` choices' defaults follows the new choice's.
void followDefaultPort(int portId, int (*defaultOf)(int choice), int count, int chosen)
{
    const int port = portIn(portId);
    for (int i = 0; i < count; ++i) {
        if (port == defaultOf(i)) {
            setNumber(portId, defaultOf(chosen));
            return;
        }
    }
}

void onProtocol(int protocol)
{
    followDefaultPort(IDC_SYSLOG_PORT, syslogPortOf, 4, protocol);
    enableSyslogFields(protocol);
}

void onSecurity(int security)
{
    followDefaultPort(IDC_MAIL_PORT, mailPortOf, 3, security);
    enableMailFields(security);
}

// An IPv6 address or a host:port is refused as it is typed, with the
// problem line saying why until it is gone.
void onHostTyped(int id)
{
    char host[kAlertHostSize];
    getText(id, host, sizeof host);
    const int page = pageOf(id);
    if (std::strpbrk(host, ":[") != nullptr) {
        setText(lineOf(page, kProblemOffset), alertHostProblem(host));
        hostRefused[page] = 1;
    } else if (hostRefused[page]) {
        showFileProblem(page);
    }
}

INT_PTR onPageCommand(int id, int notification)
{
    switch (id) {
    case IDC_SYSLOG_UDP:
    case IDC_SYSLOG_TCP:
    case IDC_SYSLOG_TLS:
    case IDC_SYSLOG_RELP:
        onProtocol(id - IDC_SYSLOG_UDP);
        return TRUE;
    case IDC_MAIL_NONE:
    case IDC_MAIL_STARTTLS:
    case IDC_MAIL_TLS:
        onSecurity(id - IDC_MAIL_NONE);
        return TRUE;
    case IDC_SYSLOG_COLLECTOR:
    case IDC_MAIL_SERVER:
        if (notification != EN_CHANGE)
            return FALSE;
        onHostTyped(id);
        return TRUE;
    case IDC_WEBHOOK_URL:
        if (notification != EN_CHANGE)
            return FALSE;
        showPlainMark();
        return TRUE;
    case IDC_SYSLOG_TEST:
    case IDC_MAIL_TEST:
    case IDC_WEBHOOK_TEST:
        onSendTest(pageOf(id));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void limitFields()
{
    for (const FieldLimit& limit : kFieldLimits)
        SendMessageA(control(limit.id), EM_LIMITTEXT, static_cast<WPARAM>(limit.characters), 0);
}

void showSettings(const AlertSettings& settings)
{
    showSyslog(settings.syslog, settings.filters.heartbeatMinutes);
    showMail(settings.mail);
    showWebhook(settings.webhook);
    showFilters(settings.filters);
    showTripwires(settings.tripwires);
}

// What the file's reading found wrong with the page's part, which is off for it.
void showFileProblem(int page)
{
    const char* problem = program.alertsRead.problem[page];
    char line[kPageLineSize] = "";
    if (problem[0] != '\0')
        std::snprintf(line, sizeof line, "%s %s", problem,
                      page == kFiltersPage     ? "Every channel is off."
                      : page == kTripwiresPage ? "The tripwires are off."
                                               : "This channel is off.");
    setText(lineOf(page, kProblemOffset), line);
    hostRefused[page] = 0;
}

Fault channelFault(int channel, const AlertSettings& settings)
{
    switch (channel) {
    case AlertSyslogChannel: return syslogFault(settings.syslog);
    case AlertMailChannel: return mailFault(settings.mail);
    default: return Fault{webhookTargetProblem(settings.webhook), IDC_WEBHOOK_URL};
    }
}

Fault readPage(int page, AlertSettings& settings)
{
    return kPageReaders[page](settings);
}

// The page as it stands, and for a channel page, its channel's check.
Fault pageFault(int page, AlertSettings& settings)
{
    const Fault fault = readPage(page, settings);
    return fault.text[0] || page >= kFiltersPage ? fault : channelFault(page, settings);
}

INT_PTR CALLBACK pageProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND: return onPageCommand(LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
    }
}
