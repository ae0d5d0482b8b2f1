#pragma once
// The settings file "velmo.sav": header and 13 key=value lines, read positionally.
#include "engine/daemon_script.h"
#include <cstdint>

#define VELMO_SETTINGS_FILE "velmo.sav"

// Brings an older layout up to date in place. 0 when the file cannot be opened
// for reading (no settings yet), 1 otherwise.
int upgradeSettingsFile(const char* fileName);

// Reads the current layout positionally; a numeric line that does not match
// keeps its previous value.
void loadSettings(std::int32_t& listenOnStart, std::int32_t& daemonKind, std::int32_t& logEnabled,
                  char logPath[kPathSize], DaemonScript& customScript, const char* fileName);

// Writes the current layout through a temporary file in the same folder that
// then replaces the old file, so a failed save leaves the old file whole.
void saveSettings(int listenOnStart, int daemonKind, int logEnabled, const char* logPath,
                  DaemonScript customScript, const char* fileName);
