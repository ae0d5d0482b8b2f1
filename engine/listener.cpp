#include "engine/listener.h"

#include "engine/error_notice.h"

namespace {

void clearConversation(ListenerState& listener)
{
    listener.callerActive = 0;
    listener.stage = 0;
    listener.repeatPending = 0;
}

void endSocketsUse(ListenerState& listener)
{
    if (!listener.socketsStarted)
        return;
    netCleanup();
    listener.socketsStarted = 0;
}

int failStart(ListenerState& listener, WindowHandle window, int notice)
{
    if (listener.listenSocket != kNoSocket) {
        netClose(listener.listenSocket);
        listener.listenSocket = kNoSocket;
    }
    endSocketsUse(listener);
    showErrorNotice(window, notice);
    return 0;
}

} // namespace

void briefPause()
{
    // A fixed handful of empty steps; volatile keeps the compiler from dropping them.
    for (volatile int outer = 0; outer < 50; outer = outer + 1) {
        for (volatile int inner = 0; inner < 255; inner = inner + 1) {
        }
    }
}

int startListening(ListenerState& listener, WindowHandle window, int port)
{
    if (!netStartup()) {
        showErrorNotice(window, NoticeStartup);
        return 0;
    }
    listener.socketsStarted = 1;
    socketSetClear(listener.watchedSockets);
    listener.listenSocket = netCreateStreamSocket();
    if (listener.listenSocket == kNoSocket)
        return failStart(listener, window, NoticeSocket);
    if (!netBindAny(listener.listenSocket, port))
        return failStart(listener, window, NoticeBind);
    if (!netListen(listener.listenSocket, kListenBacklog))
        return failStart(listener, window, NoticeListen);
    listener.highestSocket = listener.listenSocket;
    socketSetAdd(listener.watchedSockets, listener.listenSocket);
    return 1;
}

void endConversation(ListenerState& listener, WindowHandle window, SocketHandle socket)
{
    briefPause();
    netClose(socket);
    frontShowDisplayState(window, DisplayListening);
    socketSetRemove(listener.watchedSockets, socket);
    // A closed handle can be reused by the system at once; never close it twice.
    if (listener.callerSocket == socket)
        listener.callerSocket = kNoSocket;
    clearConversation(listener);
}

void stopListening(ListenerState& listener, WindowHandle window)
{
    if (listener.callerActive) {
        frontStopTimer(window, kDisconnectTimerId);
        briefPause();
        netClose(listener.callerSocket);
        socketSetRemove(listener.watchedSockets, listener.callerSocket);
        listener.callerSocket = kNoSocket;
        clearConversation(listener);
    }
    if (listener.listenSocket != kNoSocket) {
        briefPause();
        netClose(listener.listenSocket);
        socketSetRemove(listener.watchedSockets, listener.listenSocket);
        listener.listenSocket = kNoSocket;
    }
    endSocketsUse(listener);
}
