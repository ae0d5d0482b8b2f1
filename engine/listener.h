#pragma once
#include "engine/front_end.h"
#include "platform/net.h"

#include <cstdint>

enum {
    kPollTimerId = 10004,
    kDisconnectTimerId = 10005,
    kPollPeriodMs = 500,
    kListenBacklog = 10,
};

// The listener and the conversation under way. Fields as the engine's state
// table names them; `socketsStarted` pairs each start-up with one clean-up.
struct ListenerState {
    SocketHandle listenSocket = kNoSocket;
    SocketHandle callerSocket = kNoSocket;
    SocketSet watchedSockets{};
    SocketHandle highestSocket = 0;
    PeerAddress peerAddress{};
    std::int32_t callerActive = 0;
    std::int32_t stage = 0;
    std::int32_t repeatPending = 0;
    std::int32_t socketsStarted = 0;
};

// Opens the listener on the low 16 bits of `port`. Shows notice 1, 2, 3 or 4
// (owned by `window`) and returns 0 when a step fails; a failed start closes
// what it opened and ends the sockets start-up.
int startListening(ListenerState& listener, WindowHandle window, int port);

// Ends the conversation on `socket`: closes it, shows Listening, stops watching
// it and clears callerActive, stage and repeatPending.
void endConversation(ListenerState& listener, WindowHandle window, SocketHandle socket);

// Ends any conversation (stopping the disconnect timer), closes the listener
// and ends the sockets start-up. Leaves the display to the caller.
void stopListening(ListenerState& listener, WindowHandle window);

// The fixed spin before closing a socket: far below a millisecond.
void briefPause();
