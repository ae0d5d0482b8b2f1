#pragma once
// Daemon scripts and settings records as the tests and fuzzers build, compare
// and print them. Texts compare up to their terminator, as the program sees them.
#include "engine/daemon_script.h"
#include "storage/settings_file.h"

#include <cstdint>
#include <cstring>
#include <ostream>

inline DaemonScript scriptWith(const char* welcome, const char* reply, const char* goodbye, int replyCount,
                               int port, int timerChoice, int echoWelcome, int echoReply, int repeat)
{
    DaemonScript script;
    std::memset(&script, 0, sizeof script);
    copyText(script.welcome, welcome, sizeof script.welcome);
    copyText(script.reply, reply, sizeof script.reply);
    copyText(script.goodbye, goodbye, sizeof script.goodbye);
    script.replyCount = replyCount;
    script.port = port;
    script.timerChoice = timerChoice;
    script.echoWelcome = echoWelcome;
    script.echoReply = echoReply;
    script.repeat = repeat;
    return script;
}

// The built-in script of one daemon kind.
inline DaemonScript builtIn(int kind)
{
    static DaemonScript table[kScriptTableSize];
    std::memset(table, 0, sizeof table);
    loadBuiltInScripts(table);
    return table[kind];
}

// The script as a save gives it back: texts cut to the 447 bytes an encoded value holds.
inline DaemonScript asStored(DaemonScript script)
{
    enum { kStoredTextSize = 447 + 1 };
    script.welcome[kStoredTextSize - 1] = '\0';
    script.reply[kStoredTextSize - 1] = '\0';
    script.goodbye[kStoredTextSize - 1] = '\0';
    return script;
}

inline bool operator==(const DaemonScript& a, const DaemonScript& b)
{
    return std::strcmp(a.welcome, b.welcome) == 0 && std::strcmp(a.reply, b.reply) == 0 &&
           std::strcmp(a.goodbye, b.goodbye) == 0 && a.replyCount == b.replyCount && a.port == b.port &&
           a.timerChoice == b.timerChoice && a.echoWelcome == b.echoWelcome && a.echoReply == b.echoReply &&
           a.repeat == b.repeat;
}

inline std::ostream& operator<<(std::ostream& out, const DaemonScript& s)
{
    return out << "{welcome \"" << s.welcome << "\", reply \"" << s.reply << "\", goodbye \"" << s.goodbye
               << "\", CRN " << s.replyCount << ", CPN " << s.port << ", CCT " << s.timerChoice << ", CE1 "
               << s.echoWelcome << ", CE2 " << s.echoReply << ", CWR " << s.repeat << "}";
}

// Everything the settings file holds.
struct Settings {
    std::int32_t listenOnStart;
    std::int32_t daemonKind;
    std::int32_t logEnabled;
    char logPath[kPathSize];
    DaemonScript custom;
};

inline bool operator==(const Settings& a, const Settings& b)
{
    return a.listenOnStart == b.listenOnStart && a.daemonKind == b.daemonKind && a.logEnabled == b.logEnabled &&
           std::strcmp(a.logPath, b.logPath) == 0 && a.custom == b.custom;
}

inline std::ostream& operator<<(std::ostream& out, const Settings& s)
{
    return out << "{LSN " << s.listenOnStart << ", MDN " << s.daemonKind << ", MLD " << s.logEnabled
               << ", MLP \"" << s.logPath << "\", custom " << s.custom << "}";
}

inline void save(const Settings& s, const char* fileName)
{
    saveSettings(s.listenOnStart, s.daemonKind, s.logEnabled, s.logPath, s.custom, fileName);
}

// `s` with what the file holds loaded over it.
inline Settings load(const char* fileName, Settings s)
{
    loadSettings(s.listenOnStart, s.daemonKind, s.logEnabled, s.logPath, s.custom, fileName);
    return s;
}
