#pragma once
// Custom daemon files (".vlm"): one Custom script, current layout or one of
// the two older ones. Written with CR LF line ends; read with CR LF or LF.
#include "engine/daemon_script.h"

enum CustomFileVersion { CustomFileCurrent, CustomFileUnversioned, CustomFileV18 };
enum CustomFileReadResult { CustomFileRead, CustomFileNotFound, CustomFileUnknownFormat };

// Reads `fileName` into `script` (the values an older layout lacks are those it
// implies; a line that does not match its key leaves its field as `script` held
// it). On CustomFileNotFound (notice 10) or CustomFileUnknownFormat (notice 11)
// `script` and `version` are unchanged.
CustomFileReadResult readCustomDaemonFile(const char* fileName, DaemonScript& script,
                                          CustomFileVersion& version);

// The error notice code for a read result: 0, 10 or 11.
int customFileNoticeCode(CustomFileReadResult result);

// Writes `script` in the current layout through a scratch file of its own
// (see openSaveFile). 1 on success; on failure the old file is left as it
// was. The port is not checked here.
int writeCustomDaemonFile(const char* fileName, const DaemonScript& script);
