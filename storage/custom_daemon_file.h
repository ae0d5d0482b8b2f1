#pragma once
// Custom daemon files (".vlm"): one Custom script, current layout or one of
// the two older ones.
#include "engine/daemon_script.h"

enum CustomFileVersion { CustomFileCurrent, CustomFileUnversioned, CustomFileV18 };
enum CustomFileReadResult { CustomFileRead, CustomFileNotFound, CustomFileUnknownFormat };

// Reads `fileName` into `script` (the values an older layout lacks are those it
// implies). On CustomFileNotFound (notice 10) or CustomFileUnknownFormat
// (notice 11) `script` is unchanged.
CustomFileReadResult readCustomDaemonFile(const char* fileName, DaemonScript& script,
                                          CustomFileVersion& version);

// Writes `script` in the current layout, atomically. 1 on success.
int writeCustomDaemonFile(const char* fileName, const DaemonScript& script);
