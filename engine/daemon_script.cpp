#include "engine/daemon_script.h"

#include <cstring>

void copyText(char* destination, const char* source, unsigned size)
{
    if (size == 0)
        return;
    std::size_t length = std::strlen(source);
    if (length > size - 1)
        length = size - 1;
    std::memmove(destination, source, length);
    destination[length] = '\0';
}

namespace {

void setBuiltIn(DaemonScript& script, const char* welcome, const char* reply, const char* goodbye,
                int replyCount, int port, int echoWelcome, int repeat)
{
    copyText(script.welcome, welcome, sizeof script.welcome);
    if (reply)
        copyText(script.reply, reply, sizeof script.reply);
    if (goodbye)
        copyText(script.goodbye, goodbye, sizeof script.goodbye);
    script.replyCount = replyCount;
    script.port = port;
    script.timerChoice = 2;
    script.echoWelcome = echoWelcome;
    script.echoReply = 0;
    script.repeat = repeat;
}

} // namespace

void loadBuiltInScripts(DaemonScript scriptTable[kScriptTableSize])
{
    setBuiltIn(scriptTable[DaemonFreeBSD], "FreeBSD 5.1\r\n\r\nLogin: ", "Password: ",
               "Incorrect Login.\r\n", 2, 23, 1, 1);
    setBuiltIn(scriptTable[DaemonRedHat], "RedHat 8.0 (Psyche)\r\n\r\nLogin: ", "Password: ",
               "Incorrect Login.\r\n", 2, 23, 1, 1);
    // The banners' reply and goodbye stay as the zeroed table left them.
    setBuiltIn(scriptTable[DaemonSubSeven], "SubSeven 2.1 \r\n", nullptr, nullptr, 1, 27374, 0, 0);
    setBuiltIn(scriptTable[DaemonNetBus], "NetBus 1.60 \r\n", nullptr, nullptr, 1, 12345, 0, 0);
}

void copyScript(DaemonScript& destination, DaemonScript source)
{
    copyText(destination.welcome, source.welcome, sizeof destination.welcome);
    copyText(destination.reply, source.reply, sizeof destination.reply);
    copyText(destination.goodbye, source.goodbye, sizeof destination.goodbye);
    destination.replyCount = source.replyCount;
    destination.port = source.port;
    destination.timerChoice = source.timerChoice;
    destination.echoWelcome = source.echoWelcome;
    destination.echoReply = source.echoReply;
    destination.repeat = source.repeat;
}

void selectDaemon(DaemonScript scriptTable[kScriptTableSize], int kind)
{
    if (kind < 0 || kind >= kScriptTableSize)
        kind = kActiveSlot;
    copyScript(scriptTable[kActiveSlot], scriptTable[kind]);
}
