#include "alerts/alert_targets.h"

AlertSettings defaultAlertSettings()
{
    AlertSettings settings{};
    settings.syslog.port = kSyslogDefaultPort;
    settings.mail.port = kMailDefaultPort;
    settings.filters.quietMinutes = kDefaultQuietMinutes;
    settings.filters.heartbeatMinutes = kDefaultHeartbeatMinutes;
    settings.tripwires.scanPorts = kDefaultScanPorts;
    settings.tripwires.scanSeconds = kDefaultScanSeconds;
    return settings;
}

int defaultSyslogPort(SyslogProtocol protocol)
{
    if (protocol == SyslogTls || protocol == SyslogRelp)
        return protocol == SyslogTls ? kSyslogDefaultTlsPort : kSyslogDefaultRelpPort;
    return kSyslogDefaultPort;
}

int defaultMailPort(MailSecurity security)
{
    if (security == MailSecurityTls || security == MailSecurityStartTls)
        return security == MailSecurityTls ? kMailTlsPort : kMailStartTlsPort;
    return kMailDefaultPort;
}
