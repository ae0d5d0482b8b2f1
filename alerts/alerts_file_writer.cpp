#include "alerts/alerts_file_writer.h"

#include "alerts/alert_value_syntax.h"
#include "platform/secret_store.h"
#include "storage/scratch_save.h"

#include <cstdio>
#include <cstring>

namespace {

enum { kIgnoreTextSize = 3072 };

// Every text a save writes ends where its line does.
bool fitsOnItsLine(const char* text)
{
    return text[std::strcspn(text, "\r\n\x1a")] == '\0';
}

bool writable(const AlertSettings& settings)
{
    const MailTarget& mail = settings.mail;
    bool fits = fitsOnItsLine(settings.syslog.collector) && fitsOnItsLine(mail.server) && fitsOnItsLine(mail.user) &&
                fitsOnItsLine(mail.from) && fitsOnItsLine(settings.webhook.url) &&
                inRange(mail.toCount, kAlertRecipients + 1);
    for (int i = 0; fits && i < mail.toCount; ++i)
        fits = fitsOnItsLine(mail.to[i]);
    return fits;
}

void writeAlertsSection(std::FILE* file, const SyslogTarget& target, const AlertFilters& filters)
{
    char fingerprint[kFingerprintTextSize], ignore[kIgnoreTextSize];
    fingerprintText(target.fingerprint, fingerprint, sizeof fingerprint);
    ignoreListText(filters, ignore, sizeof ignore);
    std::fprintf(file,
                 "[Velmoranth Alerts]\r\nEnabled=%d\r\nCollector=%s\r\nPort=%d\r\nProtocol=%s\r\nFraming=%s\r\n"
                 "Fingerprint=%s\r\nHeartbeat=%d\r\nIgnore=%s\r\nQuiet=%d\r\n",
                 target.enabled ? 1 : 0, target.collector, target.port, nameOf(kSyslogProtocolNames, target.protocol),
                 nameOf(kSyslogFramingNames, target.framing), fingerprint, filters.heartbeatMinutes, ignore,
                 filters.quietMinutes);
}

void writeMailSection(std::FILE* file, const MailTarget& mail, const char* password)
{
    std::fprintf(file, "\r\n[E-mail]\r\nEnabled=%d\r\nServer=%s\r\nPort=%d\r\nSecurity=%s\r\nUser=%s\r\nPassword=%s\r\n"
                       "From=%s\r\nTo=", mail.enabled ? 1 : 0, mail.server, mail.port,
                 nameOf(kMailSecurityNames, mail.security), mail.user, password, mail.from);
    for (int i = 0; i < mail.toCount; ++i)
        std::fprintf(file, "%s%s", i ? ", " : "", mail.to[i]);
    char fingerprint[kFingerprintTextSize];
    fingerprintText(mail.fingerprint, fingerprint, sizeof fingerprint);
    std::fprintf(file, "\r\nEvents=%s\r\nFingerprint=%s\r\n", nameOf(kEventChoiceNames, mail.events), fingerprint);
}

void writeWebhookSection(std::FILE* file, const WebhookTarget& webhook)
{
    std::fprintf(file, "\r\n[Webhook]\r\nEnabled=%d\r\nURL=%s\r\nFormat=%s\r\nEvents=%s\r\n", webhook.enabled ? 1 : 0,
                 webhook.url, nameOf(kWebhookFormatNames, webhook.format), nameOf(kEventChoiceNames, webhook.events));
}

} // namespace

int saveAlertSettings(const AlertSettings& settings, const char* fileName)
{
    char password[kSecretTextSize] = "";
    const char* plain = settings.mail.password;
    if (!writable(settings) || (plain[0] && !protectSecret(plain, password, sizeof password)))
        return 0;
    char scratch[kScratchPathSize];
    std::FILE* file = openSaveFile(fileName, scratch, sizeof scratch);
    if (!file)
        return 0;
    writeAlertsSection(file, settings.syslog, settings.filters);
    writeMailSection(file, settings.mail, password);
    writeWebhookSection(file, settings.webhook);
    return finishSave(file, scratch, fileName);
}
