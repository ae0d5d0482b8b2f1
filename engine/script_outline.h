#pragma once
// The read-only outline of a daemon script shown by the Preview dialog: a port
// line, a timer line and the texts the daemon sends, each tagged with what the
// daemon does after sending it.
#include "engine/daemon_script.h"

// Three texts of up to 599 characters with every tag and line break: the
// largest outline any stored script can give, so nothing is ever cut.
enum {
    kPreviewBufferSize = 3 * (kScriptTextSize - 1)
                         + (14 + 13 + 15 + 2)  // welcome tags and line break
                         + (14 + 13 + 2)       // reply tags and line break
                         + 1,
};

// "Listening on port N."
void composePortLine(const DaemonScript& script, char (&buffer)[kPreviewBufferSize]);

// "Timer: None." or "Timer: N Sec."
void composeTimerLine(const DaemonScript& script, char (&buffer)[kPreviewBufferSize]);

// welcome + tags + CR LF, [reply + tags + CR LF when replyCount is 2], goodbye.
void composeOutline(const DaemonScript& script, char (&buffer)[kPreviewBufferSize]);
