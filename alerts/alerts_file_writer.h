#pragma once
// Writing the alerts file "alerts.ini" as the Alerts dialog saves it: in
// place, in the file's own encoding. Each key the dialog owns gets its value
// where it stands (every line of it in its section; one that holds the value
// already stays as written), a missing key goes after its section's last key
// line, a missing section at the end after a blank line; every other byte
// (comments, unknown keys and sections, blank lines, line ends) stays as it
// was. Without a file, or with an empty one, the file is new: ANSI, CR LF,
// every key. The e-mail password is always written protected for this
// Windows user.
//
// A file that does not begin with [Velmoranth Alerts] (the reader turns all
// alerts off for it) gets that header as a new first line, and is edited as
// any other: what stood before its first header of old is read as part of
// [Velmoranth Alerts] from then on; nothing of it is lost.
#include "alerts/alert_targets.h"

// Saves through a scratch file, so a failed save leaves the old file whole.
// 1 on success; 0 also when a text would break its line, the password could
// not be protected, or the file could not be read whole (over 256 KiB).
int saveAlertSettings(const AlertSettings& settings, const char* fileName);
