#pragma once
// The settings file "velmo.sav": header and 13 key=value lines, read positionally.
// Written with CR LF line ends on every platform; read with CR LF or LF.
#include "engine/daemon_script.h"
#include <cstdint>

#define VELMO_SETTINGS_FILE "velmo.sav"

// Brings an older layout up to date in place, through "velmo.tmp" in the same
// folder, which it creates. 0 when the file cannot be opened for reading (no
// settings yet), 1 otherwise; when "velmo.tmp" is already there or cannot be
// created, or the rewrite fails, the old file stays as it was.
int upgradeSettingsFile(const char* fileName);

// Reads the current layout positionally. A line that does not match its key
// keeps the previous value (texts included); an unreadable file changes nothing.
void loadSettings(std::int32_t& listenOnStart, std::int32_t& daemonKind, std::int32_t& logEnabled,
                  char logPath[kPathSize], DaemonScript& customScript, const char* fileName);

// Writes the current layout through a scratch file of its own (see
// openSaveFile), so a failed save leaves the old file whole.
void saveSettings(int listenOnStart, int daemonKind, int logEnabled, const char* logPath,
                  DaemonScript customScript, const char* fileName);
