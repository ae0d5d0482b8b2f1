#include "engine/conversation.h"

#include "engine/error_notice.h"

namespace {

enum { kReadyWaitMs = 50, kGreetingPasses = 30, kGreetingDrainBytes = 100 };
enum : unsigned { kDisconnectUnitMs = 30000u, kLongestTimerMs = 0x7FFFFFFFu };

const char kCarriageReturn = '\r';
const char kLineFeed = '\n';

// Length of a script text, never past its buffer even if it lost its NUL.
int textLength(const char* text)
{
    int length = 0;
    while (length < kScriptTextSize && text[length] != '\0')
        ++length;
    return length;
}

int sendText(SocketHandle socket, const char* text)
{
    return netSend(socket, text, textLength(text));
}

// timerChoice x 30 s, kept within what a window timer accepts; a negative
// choice read from a hand-edited file becomes the longest period.
unsigned disconnectPeriodMs(std::int32_t timerChoice)
{
    unsigned long long period =
        static_cast<unsigned long long>(static_cast<std::uint32_t>(timerChoice)) * kDisconnectUnitMs;
    return period > kLongestTimerMs ? kLongestTimerMs : static_cast<unsigned>(period);
}

int echoesAnyLine(const DaemonScript& script)
{
    return script.echoWelcome || script.echoReply;
}

int echoesLineAt(const DaemonScript& script, std::int32_t stage)
{
    return (stage == 1 && script.echoWelcome) || (stage == 2 && script.echoReply);
}

// The watched handles in ascending order: the walk over 0..highestSocket
// only ever stops at watched handles.
void ascendingHandles(const SocketSet& watched, SocketSet& sorted)
{
    sorted = watched;
    for (int i = 1; i < sorted.count; ++i) {
        SocketHandle handle = sorted.handles[i];
        int j = i;
        for (; j > 0 && sorted.handles[j - 1] > handle; --j)
            sorted.handles[j] = sorted.handles[j - 1];
        sorted.handles[j] = handle;
    }
}

int acceptCaller(ListenerState& listener, const DaemonScript& script, const char* logPath,
                 WindowHandle window)
{
    SocketHandle caller = kNoSocket;
    PeerAddress peer{};
    NetAcceptResult result = netAccept(listener.listenSocket, caller, peer);
    if (result == NetNothingToAccept || result == NetCallerGone)
        return 1;  // the caller left before we took it: nothing to report
    if (result == NetAcceptFailed) {
        showErrorNotice(window, NoticeAccept);
        return 0;
    }
    listener.peerAddress = peer;
    listener.callerSocket = caller;
    frontShowDisplayState(window, DisplayDetected);
    frontCallerAccepted(window, peer);
    if (frontLogSwitchOn(window)) {
        char address[16];
        netAddressText(peer, address);
        frontLogCaller(logPath, address, script.port);
    }
    if (script.timerChoice != 0)
        frontStartTimer(window, kDisconnectTimerId, disconnectPeriodMs(script.timerChoice));
    if (echoesAnyLine(script) && !sendTelnetGreeting(caller)) {
        endConversation(listener, window, caller);
        frontStopTimer(window, kDisconnectTimerId);
        return 0;
    }
    // A welcome that cannot be sent is not reported: the caller is served all the same.
    sendScriptText(caller, script, listener.stage);
    socketSetAdd(listener.watchedSockets, caller);
    if (caller > listener.highestSocket)
        listener.highestSocket = caller;
    listener.callerActive = 1;
    listener.stage += 1;
    return 1;
}

int sendPromptAgain(ListenerState& listener, const DaemonScript& script, SocketHandle socket)
{
    listener.repeatPending = 0;
    if (!script.repeat)
        return 1;
    return netSend(socket, "\r\n", 2) && sendText(socket, welcomeLastLine(script));
}

// The caller's carriage return has been read: line end, then the answer due.
int answerLine(ListenerState& listener, const DaemonScript& script, SocketHandle socket,
               WindowHandle window)
{
    if (echoesAnyLine(script) && !netSend(socket, "\n\r", 2)) {
        showErrorNotice(window, NoticeSend);
        return 0;
    }
    std::int32_t answered = listener.stage;
    listener.stage += 1;
    if (!sendScriptText(socket, script, answered)) {
        showErrorNotice(window, NoticeSend);
        return 0;
    }
    return 1;
}

// Reads what the caller has sent so far, one byte at a time, up to and
// including the carriage return that ends a line. An unfinished line is
// carried to the next poll: nothing of it matters but `stage`, which only a
// line end changes.
int handleCallerInput(ListenerState& listener, const DaemonScript& script, SocketHandle socket,
                      WindowHandle window)
{
    if (listener.repeatPending != 0 && !sendPromptAgain(listener, script, socket)) {
        showErrorNotice(window, NoticeSend);
        return 0;
    }
    const int echo = echoesLineAt(script, listener.stage);
    for (int taken = 0; taken < kMaxLineBytesPerPoll; ++taken) {
        char byte;
        int received = netReceive(socket, &byte, 1);
        if (received == NetReceiveWouldBlock)
            return 1;
        if (received <= 0) {
            endConversation(listener, window, socket);
            if (script.timerChoice != 0)
                frontStopTimer(window, kDisconnectTimerId);
            return 0;
        }
        if (echo && byte != kLineFeed)
            netSend(socket, &byte, 1);  // an echo that cannot go out is dropped
        if (byte == kCarriageReturn)
            return answerLine(listener, script, socket, window);
    }
    return 1;
}

} // namespace

void pollTick(ListenerState& listener, const DaemonScript& activeScript, const char* logPath,
              WindowHandle window)
{
    if (listener.listenSocket == kNoSocket)
        return;  // a tick left over after the listener closed
    // Without a caller there is nothing to hang up, whatever the reply count says.
    if (!listener.callerActive || activeScript.replyCount >= listener.stage) {
        pollListener(listener, activeScript, logPath, window);
        return;
    }
    if (activeScript.timerChoice == 0) {
        endConversation(listener, window, listener.callerSocket);
        return;
    }
    listener.stage = 1;
    listener.repeatPending = 2;
}

int pollListener(ListenerState& listener, const DaemonScript& activeScript, const char* logPath,
                 WindowHandle window)
{
    SocketSet ready;
    if (netWaitReadable(listener.watchedSockets, listener.highestSocket, kReadyWaitMs, ready) < 0)
        return 0;
    if (listener.repeatPending == 2) {
        socketSetAdd(ready, listener.callerSocket);
        listener.repeatPending = 1;
    }
    // Walk a copy: accepting and hanging up change the watched set.
    SocketSet walk;
    ascendingHandles(listener.watchedSockets, walk);
    for (int i = 0; i < walk.count; ++i) {
        const SocketHandle handle = walk.handles[i];
        if (!socketSetContains(ready, handle))
            continue;
        if (handle == listener.listenSocket) {
            // During a conversation a waiting caller stays in the backlog.
            if (!listener.callerActive && !acceptCaller(listener, activeScript, logPath, window))
                return 0;
            continue;
        }
        if (!listener.callerActive || handle != listener.callerSocket)
            continue;
        if (!handleCallerInput(listener, activeScript, handle, window))
            return 0;
    }
    return 1;
}

int sendScriptText(SocketHandle socket, const DaemonScript& script, int stage)
{
    switch (stage) {
    case 0:
        return sendText(socket, script.welcome);
    case 1:
        return sendText(socket, script.reply);
    case 2:
        return sendText(socket, script.goodbye);
    default:
        return 1;
    }
}

const char* welcomeLastLine(const DaemonScript& script)
{
    // The final character is never looked at, so a welcome ending in a line
    // break keeps its whole last line, break included.
    for (int i = textLength(script.welcome) - 2; i >= 0; --i) {
        if (script.welcome[i] == kLineFeed)
            return script.welcome + i + 1;
    }
    return script.welcome;
}

int sendTelnetGreeting(SocketHandle socket)
{
    static const char kOptions[][3] = {
        {'\xFF', '\xFB', '\x01'},  // IAC WILL ECHO
        {'\xFF', '\xFD', '\x03'},  // IAC DO SUPPRESS-GO-AHEAD
        {'\xFF', '\xFB', '\x03'},  // IAC WILL SUPPRESS-GO-AHEAD
        {'\xFF', '\xFE', '\x01'},  // IAC DONT ECHO
    };
    for (const char* option : kOptions)
        netSend(socket, option, 3);
    SocketSet watched;
    socketSetClear(watched);
    socketSetAdd(watched, socket);
    // The answers are read and thrown away; all passes run even once answered.
    for (int pass = 0; pass < kGreetingPasses; ++pass) {
        SocketSet ready;
        int readable = netWaitReadable(watched, socket, kReadyWaitMs, ready);
        if (readable < 0)
            return 0;
        if (readable > 0) {
            char drained[kGreetingDrainBytes];
            netReceive(socket, drained, sizeof drained);
        }
    }
    return 1;
}

void disconnectTimerFired(ListenerState& listener, WindowHandle window)
{
    // A tick that outlived its conversation must not close a stale handle.
    if (listener.callerActive)
        endConversation(listener, window, listener.callerSocket);
    frontStopTimer(window, kDisconnectTimerId);
}
