#pragma once
#include <cstdint>

enum { kScriptTextSize = 600, kPathSize = 300 };

// How one imitated daemon treats a caller. Plain record, copied by value.
struct DaemonScript {
    char welcome[kScriptTextSize];  // CWE: sent on accept; its last line is the prompt
    char reply[kScriptTextSize];    // CR1: answer to the caller's first line
    char goodbye[kScriptTextSize];  // CR2: answer to the second line
    std::int32_t replyCount;        // CRN: lines answered before hang-up or start-over
    std::int32_t port;              // CPN: listening port, also written to the log
    std::int32_t timerChoice;       // CCT: 0 none, n = disconnect after n x 30 s
    std::int32_t echoWelcome;       // CE1: echo the first line
    std::int32_t echoReply;         // CE2: echo the second line
    std::int32_t repeat;            // CWR: re-send the prompt on start-over
};

enum DaemonKind {
    DaemonNone = 0,
    DaemonFreeBSD = 1,
    DaemonRedHat = 2,
    DaemonSubSeven = 3,
    DaemonNetBus = 4,
    DaemonCustom = 5,
};

// Slot 0 of the script table is the active script, the copy the engine plays;
// slots 1 to 5 are indexed by DaemonKind.
enum { kActiveSlot = 0, kScriptTableSize = 6 };

// Writes the four built-in scripts into slots 1 to 4; slots 0 and 5 untouched.
void loadBuiltInScripts(DaemonScript scriptTable[kScriptTableSize]);

// The source is taken by value, so copying a slot onto itself is harmless.
void copyScript(DaemonScript& destination, DaemonScript source);

// Copies slot `kind` into the active slot. Kind 0 copies the active slot onto
// itself; a kind outside 0 to 5 does the same.
void selectDaemon(DaemonScript scriptTable[kScriptTableSize], int kind);

// Copies a zero-terminated text into a buffer of `size` bytes, cutting it to
// size - 1 characters. The one bounded copy the core uses for texts.
void copyText(char* destination, const char* source, unsigned size);
