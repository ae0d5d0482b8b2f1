#pragma once
// Daemon scripts as the tests and fuzzers build, compare and print them.
#include "engine/daemon_script.h"

#include <cstring>
#include <sstream>
#include <string>

inline DaemonScript scriptWith(const char* welcome, const char* reply, const char* goodbye, int replyCount,
                               int port, int timerChoice, int echoWelcome, int echoReply, int repeat)
{
    DaemonScript script{{}, {}, {}, replyCount, port, timerChoice, echoWelcome, echoReply, repeat};
    copyText(script.welcome, welcome, sizeof script.welcome);
    copyText(script.reply, reply, sizeof script.reply);
    copyText(script.goodbye, goodbye, sizeof script.goodbye);
    return script;
}

inline DaemonScript builtIn(int kind)
{
    DaemonScript table[kScriptTableSize] = {};
    loadBuiltInScripts(table);
    return table[kind];
}

// Texts that lost their terminator, each as long as its buffer.
inline DaemonScript unterminated(DaemonScript script)
{
    for (char* text : {script.welcome, script.reply, script.goodbye})
        std::memset(text, *text, kScriptTextSize);
    return script;
}

// A script as "welcome|reply|goodbye|CRN CPN CCT CE1 CE2 CWR", texts up to their terminator.
inline std::string describe(const DaemonScript& s)
{
    std::ostringstream out;
    out << s.welcome << '|' << s.reply << '|' << s.goodbye << '|' << s.replyCount << ' ' << s.port << ' '
        << s.timerChoice << ' ' << s.echoWelcome << ' ' << s.echoReply << ' ' << s.repeat;
    return out.str();
}
inline std::ostream& operator<<(std::ostream& out, const DaemonScript& s) { return out << describe(s); }
inline bool operator==(const DaemonScript& a, const DaemonScript& b) { return describe(a) == describe(b); }
