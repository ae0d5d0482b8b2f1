#include "ui/dialogs/alerts_dialog.h"

#include "alerts/mail_message.h"
#include "alerts/smtp_sender.h"
#include "alerts/syslog_message.h"
#include "alerts/webhook_body.h"
#include "resources/resource.h"
#include "alerts/alert_value_syntax.h"
#include "alerts/alerts_file_reader.h"
#include "alerts/alerts_file_writer.h"
#include "ui/window_alerts.h"
#include "ui/program_state.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

namespace {

enum {
    kRefreshTimerId = 9050,
    kRefreshPeriodMs = 100,
    kLineSize = 320,
    kMaxPort = 65535,
    kMaxMinutes = 1440,
    kPages = 4,
    kFiltersPage = 3,
    kFingerprintTextSize = 128,   // "sha-256:" and 32 pairs of digits with colons, and some slack
    kRecipientsTextSize = kAlertRecipients * (kAlertAddressSize + 2),
    kIgnoreTextSize = 2048,       // 64 entries of up to 24 characters, and their separators
    // A channel page's own lines, by their offset from its template's id.
    kTestOffset = IDC_SYSLOG_TEST - IDD_ALERTS_SYSLOG,
    kResultOffset = IDC_SYSLOG_RESULT - IDD_ALERTS_SYSLOG,
    kStatusOffset = IDC_SYSLOG_STATUS - IDD_ALERTS_SYSLOG,
    kProblemOffset = IDC_SYSLOG_PROBLEM - IDD_ALERTS_SYSLOG,
};
static_assert(IDC_MAIL_TEST - IDD_ALERTS_MAIL == kTestOffset && IDC_WEBHOOK_TEST - IDD_ALERTS_WEBHOOK == kTestOffset &&
                  IDC_MAIL_STATUS - IDD_ALERTS_MAIL == kStatusOffset &&
                  IDC_WEBHOOK_PROBLEM - IDD_ALERTS_WEBHOOK == kProblemOffset &&
                  IDC_FILTERS_PROBLEM - IDD_ALERTS_FILTERS == kProblemOffset,
              "each page's own lines at the same offsets");
static_assert(int{AlertProblemSyslog} == AlertSyslogChannel && int{AlertProblemMail} == AlertMailChannel &&
                  int{AlertProblemWebhook} == AlertWebhookChannel && int{AlertProblemShared} == kFiltersPage,
              "a page shows the problems of its own scope");

// In the tabs' order, which is the channels' and then the filters'.
const int kPageTemplates[kPages] = {IDD_ALERTS_SYSLOG, IDD_ALERTS_MAIL, IDD_ALERTS_WEBHOOK, IDD_ALERTS_FILTERS};
const char* const kPageNames[kPages] = {"Syslog", "E-mail", "Webhook", "Filters"};
const int kSyslogPorts[] = {kSyslogDefaultPort, kSyslogDefaultPort, kSyslogDefaultTlsPort, kSyslogDefaultRelpPort};
const int kMailPorts[] = {kMailDefaultPort, kMailStartTlsPort, kMailTlsPort};

HWND pages[kPages];
int hostRefused[kPages];  // the problem line shows the at-once refusal of the page's host

constexpr int larger(int a, int b) { return a > b ? a : b; }
enum { kTestMessageSize = larger(kSyslogMessageSize, larger(kMailMessageSize, kWebhookMessageSize)) };

// Each channel page tests through a channel of its own, so that a test never
// waits behind, nor is counted with, the program's alerts; its slot allows
// one look-up at a time however often the button is pressed.
struct TestChannel {
    AlertChannel channel;
    char bytes[kTestMessageSize];
    AlertQueueEntry entry[1];
    int underWay;  // sent, and its outcome not shown yet
};
TestChannel tests[kAlertChannels];

// What a page's reading or a channel's check found: "" when sound.
struct Fault {
    const char* text;
    int field;
};
const Fault kSound = {"", 0};

// ---- The pages' controls, by their ids, which are unique across pages ----

int pageOf(int id)
{
    return id / 100 - IDD_ALERTS_SYSLOG / 100;
}

int lineOf(int page, int offset)
{
    return kPageTemplates[page] + offset;
}

HWND control(int id)
{
    return GetDlgItem(pages[pageOf(id)], id);
}

void setText(int id, const char* text)
{
    SetWindowTextA(control(id), text);
}

// Unchanged text is not set again, so the lines refreshed by the timer do not flicker.
void refreshText(int id, const char* text)
{
    char shown[kLineSize];
    GetWindowTextA(control(id), shown, sizeof shown);
    if (std::strcmp(shown, text) != 0)
        setText(id, text);
}

void getText(int id, char* text, int size)
{
    GetWindowTextA(control(id), text, size);
}

int checked(int id)
{
    return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void check(int id, int on)
{
    SendMessageA(control(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The index of the ticked one of `count` radio buttons from `first`.
int radioIndex(int first, int count)
{
    for (int i = 0; i < count; ++i) {
        if (checked(first + i))
            return i;
    }
    return 0;
}

void checkRadio(int first, int count, int index)
{
    CheckRadioButton(pages[pageOf(first)], first, first + count - 1, first + index);
}

void setNumber(int id, int number)
{
    SetDlgItemInt(pages[pageOf(id)], id, static_cast<UINT>(number), FALSE);
}

// -1 when the field holds no number up to `high`.
int numberIn(int id, int high)
{
    BOOL isNumber = FALSE;
    const UINT number = GetDlgItemInt(pages[pageOf(id)], id, &isNumber, FALSE);
    return isNumber && number <= static_cast<UINT>(high) ? static_cast<int>(number) : -1;
}

// Anything but a number from 1 to 65535 reads as 0, which the checks refuse.
int portIn(int id)
{
    const int port = numberIn(id, kMaxPort);
    return port > 0 ? port : 0;
}

void enable(int id, bool on)
{
    EnableWindow(control(id), on ? TRUE : FALSE);
}

// ---- Showing the settings -------------------------------------------------

struct FieldLimit {
    int id;
    int characters;
};

const FieldLimit kFieldLimits[] = {
    {IDC_SYSLOG_COLLECTOR, kAlertHostSize - 1}, {IDC_SYSLOG_PORT, 5}, {IDC_SYSLOG_HEARTBEAT, 4},
    {IDC_SYSLOG_FINGERPRINT, kFingerprintTextSize - 1}, {IDC_MAIL_SERVER, kAlertHostSize - 1}, {IDC_MAIL_PORT, 5},
    {IDC_MAIL_USER, kAlertUserSize - 1}, {IDC_MAIL_PASSWORD, kAlertPasswordSize - 1},
    {IDC_MAIL_FROM, kAlertAddressSize - 1}, {IDC_MAIL_TO, kRecipientsTextSize - 1},
    {IDC_MAIL_FINGERPRINT, kFingerprintTextSize - 1}, {IDC_WEBHOOK_URL, kAlertUrlSize - 1},
    {IDC_FILTERS_IGNORE, kIgnoreTextSize - 1}, {IDC_FILTERS_QUIET, 4},
};

void limitFields()
{
    for (const FieldLimit& limit : kFieldLimits)
        SendMessageA(control(limit.id), EM_LIMITTEXT, static_cast<WPARAM>(limit.characters), 0);
}

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
    char text[kFingerprintTextSize];
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

// The password itself is never shown: the field starts empty, and the note
// says whether one is stored.
void showMail(const MailTarget& mail)
{
    check(IDC_MAIL_ENABLED, mail.enabled);
    setText(IDC_MAIL_SERVER, mail.server);
    setNumber(IDC_MAIL_PORT, mail.port);
    checkRadio(IDC_MAIL_NONE, 3, mail.security);
    setText(IDC_MAIL_USER, mail.user);
    setText(IDC_MAIL_PASSWORD_NOTE, mail.password[0] ? "A password is stored: left empty, it is kept." : "");
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

// What the file's reading found wrong with the page's part, which is off for it.
void showFileProblem(int page)
{
    const char* problem = program.alertsRead.problem[page];
    char line[kLineSize] = "";
    if (problem[0] != '\0')
        std::snprintf(line, sizeof line, "%s %s", problem,
                      page == kFiltersPage ? "Every channel is off." : "This channel is off.");
    setText(lineOf(page, kProblemOffset), line);
    hostRefused[page] = 0;
}

// The http:// mark is shown as the URL is typed.
void showPlainMark()
{
    char start[8];
    getText(IDC_WEBHOOK_URL, start, sizeof start);
    CharLowerA(start);
    ShowWindow(control(IDC_WEBHOOK_PLAIN), std::strcmp(start, "http://") == 0 ? SW_SHOW : SW_HIDE);
}

// ---- Reading the pages ------------------------------------------------------

Fault fingerprintIn(int id, AlertFingerprint& fingerprint)
{
    char text[kFingerprintTextSize];
    getText(id, text, sizeof text);
    if (parseFingerprint(text, fingerprint))
        return kSound;
    return Fault{"The fingerprint must be the certificate's SHA-256: 64 hex digits, colons between pairs allowed.", id};
}

Fault minutesIn(int id, const char* what, int& minutes)
{
    static char told[kLineSize];
    minutes = numberIn(id, kMaxMinutes);
    if (minutes >= 0)
        return kSound;
    std::snprintf(told, sizeof told, "%s must be a number of minutes from 0 to %d.", what, kMaxMinutes);
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
    return kSound;
}

Fault readFiltersPage(AlertSettings& settings)
{
    static char told[kLineSize];
    AlertFilters& filters = settings.filters;
    const Fault fault = minutesIn(IDC_FILTERS_QUIET, "The quiet time", filters.quietMinutes);
    char list[kIgnoreTextSize], bad[kLineSize / 2];
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

Fault (*const kPageReaders[kPages])(AlertSettings&) = {readSyslogPage, readMailPage, readWebhookPage,
                                                        readFiltersPage};

// ---- The channels' checks ---------------------------------------------------

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

Fault channelFault(int channel, const AlertSettings& settings)
{
    switch (channel) {
    case AlertSyslogChannel: return syslogFault(settings.syslog);
    case AlertMailChannel: return mailFault(settings.mail);
    default: return Fault{webhookTargetProblem(settings.webhook), IDC_WEBHOOK_URL};
    }
}

// The page as it stands, and for a channel page, its channel's check.
Fault pageFault(int page, AlertSettings& settings)
{
    const Fault fault = kPageReaders[page](settings);
    return fault.text[0] || page == kFiltersPage ? fault : channelFault(page, settings);
}

// ---- Tests and status -----------------------------------------------------

void resetTest(int channel)
{
    TestChannel& test = tests[channel];
    alertChannelClose(test.channel);
    alertChannelInitSmall(test.channel, test.bytes, sizeof test.bytes, test.entry, 1, kTestFirstSlot + channel);
    smtpSenderSetHeloName(test.channel, program.alertOrigin.hostName);  // as the program's mail channel says it
    test.underWay = 0;
}

void configureTest(AlertChannel& channel, int id, const AlertSettings& settings)
{
    switch (id) {
    case AlertSyslogChannel: alertChannelConfigureSyslog(channel, settings.syslog); break;
    case AlertMailChannel: alertChannelConfigureMail(channel, settings.mail); break;
    default: alertChannelConfigureWebhook(channel, settings.webhook); break;
    }
}

// The fields as they stand, ticked or not, saved or not.
Fault testFault(int channel, AlertSettings& settings)
{
    const Fault fault = kPageReaders[channel](settings);
    settings.syslog.enabled = settings.mail.enabled = settings.webhook.enabled = 1;
    return fault.text[0] ? fault : channelFault(channel, settings);
}

// Once the test message is out or has failed, its channel is closed: a
// test is tried once, never retried behind the user's back.
void showTestOutcome(int channel)
{
    TestChannel& test = tests[channel];
    const AlertStatus status = alertChannelStatus(test.channel);
    if (!test.underWay || (status.sent == 0 && status.lastError[0] == '\0'))
        return;
    const char* sent = status.unconfirmed ? "UDP: sent, delivery not confirmed" : "Sent.";
    setText(lineOf(channel, kResultOffset), status.sent != 0 ? sent : status.lastError);
    resetTest(channel);
}

void onSendTest(int channel)
{
    AlertSettings settings = program.alertsRead.settings;
    const Fault fault = testFault(channel, settings);
    if (fault.text[0] != '\0') {
        setText(lineOf(channel, kResultOffset), fault.text);
        return;
    }
    resetTest(channel);
    alertSocketsNeeded();
    AlertChannel& test = tests[channel].channel;
    configureTest(test, channel, settings);
    const AlertFacts facts = alertHubTestEvent(program.alerts, channel, clockWallTime());
    char message[kTestMessageSize];
    alertChannelPost(test, message, alertRender(program.alertOrigin, test, facts, message, sizeof message));
    alertChannelPump(test, clockMonotonicMs());
    tests[channel].underWay = 1;
    setText(lineOf(channel, kResultOffset), "Sending...");
    showTestOutcome(channel);
}

// The local clock time, hh:mm:ss, of a moment on the channels' clock.
void localClockText(long long atMs, char* text, int size)
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME file;
    SystemTimeToFileTime(&local, &file);
    ULARGE_INTEGER ticks;  // 100 ns each
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart -= static_cast<ULONGLONG>(clockMonotonicMs() - atMs) * 10000u;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    FileTimeToSystemTime(&file, &local);
    std::snprintf(text, static_cast<size_t>(size), "%02u:%02u:%02u", local.wHour, local.wMinute, local.wSecond);
}

void showStatus(int channel)
{
    const AlertStatus status = alertChannelStatus(program.alerts.channels[channel]);
    char line[kLineSize];
    int length = std::snprintf(line, sizeof line, "Sent %lu, waiting %lu, dropped %lu.", status.sent,
                               status.waiting, status.dropped);
    if (status.lastError[0] != '\0') {
        char clock[16];
        localClockText(status.lastErrorAtMs, clock, sizeof clock);
        std::snprintf(line + length, sizeof line - static_cast<size_t>(length), " Last error at %s: %s", clock,
                      status.lastError);
    }
    refreshText(lineOf(channel, kStatusOffset), line);
}

// ---- The pages' own handlers --------------------------------------------------

// A port left at a default follows the new choice's default.
void followDefaultPort(int portId, const int* defaults, int count, int chosen)
{
    const int port = portIn(portId);
    for (int i = 0; i < count; ++i) {
        if (port == defaults[i]) {
            setNumber(portId, defaults[chosen]);
            return;
        }
    }
}

void onProtocol(int protocol)
{
    followDefaultPort(IDC_SYSLOG_PORT, kSyslogPorts, 4, protocol);
    enableSyslogFields(protocol);
}

void onSecurity(int security)
{
    followDefaultPort(IDC_MAIL_PORT, kMailPorts, 3, security);
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

INT_PTR CALLBACK pageProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND: return onPageCommand(LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
    }
}

// ---- The dialog ---------------------------------------------------------------

void showPage(HWND dialog, int page)
{
    SendDlgItemMessageA(dialog, IDC_ALERTS_TABS, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    for (int i = 0; i < kPages; ++i)
        ShowWindow(pages[i], i == page ? SW_SHOW : SW_HIDE);
}

// The pages lie over the tabs' display area, above the tab control.
void createPages(HWND dialog)
{
    HWND tabs = GetDlgItem(dialog, IDC_ALERTS_TABS);
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    for (int page = 0; page < kPages; ++page) {
        tab.pszText = const_cast<char*>(kPageNames[page]);
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&tab));
    }
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (int page = 0; page < kPages; ++page) {
        pages[page] = CreateDialogParamA(program.module, MAKEINTRESOURCEA(kPageTemplates[page]), dialog, pageProc, 0);
        SetWindowPos(pages[page], HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, 0);
    }
}

void showSettings(const AlertSettings& settings)
{
    showSyslog(settings.syslog, settings.filters.heartbeatMinutes);
    showMail(settings.mail);
    showWebhook(settings.webhook);
    showFilters(settings.filters);
}

// The fault's page comes to the front, its problem line names it, and the
// field at fault gets the focus.
void showFault(HWND dialog, int page, const Fault& fault)
{
    showPage(dialog, page);
    setText(lineOf(page, kProblemOffset), fault.text);
    SetFocus(control(fault.field));
}

// Every page is read and checked in turn; the first fault stops it.
bool readPages(HWND dialog, AlertSettings& settings)
{
    for (int page = 0; page < kPages; ++page) {
        const Fault fault = pageFault(page, settings);
        if (fault.text[0] != '\0') {
            showFault(dialog, page, fault);
            return false;
        }
    }
    return true;
}

void closeDialog(HWND dialog, int result)
{
    KillTimer(dialog, kRefreshTimerId);
    for (int channel = 0; channel < kAlertChannels; ++channel)
        resetTest(channel);
    EndDialog(dialog, result);
}

void onOk(HWND dialog)
{
    AlertSettings settings = program.alertsRead.settings;
    if (!readPages(dialog, settings))
        return;
    if (!saveAlertSettings(settings, VELMO_ALERTS_FILE)) {
        const int page = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ALERTS_TABS, TCM_GETCURSEL, 0, 0));
        setText(lineOf(page, kProblemOffset), "The alerts file " VELMO_ALERTS_FILE " could not be written; nothing changed.");
        return;
    }
    program.alertsRead = AlertSettingsReading{};
    program.alertsRead.settings = settings;
    program.alertsRead.fileFound = 1;
    alertsApply(GetWindow(dialog, GW_OWNER), settings);
    closeDialog(dialog, IDC_ALERTS_OK);
}

INT_PTR onInitDialog(HWND dialog)
{
    createPages(dialog);
    limitFields();
    showSettings(program.alertsRead.settings);
    for (int page = 0; page < kPages; ++page)
        showFileProblem(page);
    for (int channel = 0; channel < kAlertChannels; ++channel) {
        resetTest(channel);
        showStatus(channel);
    }
    showPage(dialog, 0);
    SetTimer(dialog, kRefreshTimerId, kRefreshPeriodMs, nullptr);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_ALERTS_OK:
    case IDOK:
        onOk(dialog);
        return TRUE;
    case IDC_ALERTS_CANCEL:
    case IDCANCEL:
        closeDialog(dialog, IDC_ALERTS_CANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

// A click on a tab, or the arrow keys on the tabs.
INT_PTR onNotify(HWND dialog, const NMHDR& header)
{
    if (header.idFrom != IDC_ALERTS_TABS || header.code != static_cast<UINT>(TCN_SELCHANGE))
        return FALSE;
    showPage(dialog, static_cast<int>(SendMessageA(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
    return TRUE;
}

INT_PTR onTimer()
{
    const long long now = clockMonotonicMs();
    for (int channel = 0; channel < kAlertChannels; ++channel) {
        alertChannelPump(tests[channel].channel, now);
        showTestOutcome(channel);
        showStatus(channel);
    }
    return TRUE;
}

} // namespace

void openAlertsDialog(HWND owner)
{
    DialogBoxParamA(program.module, MAKEINTRESOURCEA(IDD_ALERTS), owner, alertsDialogProc, 0);
}

INT_PTR CALLBACK alertsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return onInitDialog(dialog);
    case WM_COMMAND: return onCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY: return onNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER: return onTimer();
    default: return FALSE;
    }
}
