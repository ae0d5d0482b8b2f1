#pragma once
// Writing the alerts file "alerts.ini": every key of every section, as ANSI
// with CR LF, the e-mail password protected for this Windows user.
#include "alerts/alert_targets.h"

// Writes the whole file through a scratch file, so a failed save leaves the
// old one whole. 1 on success; 0 also when a text would break its line or
// the password could not be protected.
int saveAlertSettings(const AlertSettings& settings, const char* fileName);
