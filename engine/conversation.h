#pragma once
// The conversation engine: what a caller meets. Runs only inside the main
// window's poll and disconnect timer messages; never waits beyond the bounded
// readiness waits (50 ms a poll, 30 x 50 ms for the telnet option greeting).
#include "engine/daemon_script.h"
#include "engine/listener.h"

// Bytes of a caller's line read in one poll at most, so that a caller who
// streams without ever ending a line cannot stretch a tick: each byte costs a
// receive and, under echo, a send. Typed lines are far shorter.
enum { kMaxLineBytesPerPoll = 256 };

// For every poll timer message: polls while the caller has answers due,
// otherwise hangs up (timerChoice 0) or starts the conversation over.
void pollTick(ListenerState& listener, const DaemonScript& activeScript, const char* logPath,
              WindowHandle window);

// One poll: waits at most 50 ms for a readable socket, accepts a caller or
// handles the caller's input. 1 on success, 0 on failure.
int pollListener(ListenerState& listener, const DaemonScript& activeScript, const char* logPath,
                 WindowHandle window);

// Sends the text due at `stage` (welcome, reply, goodbye; nothing from 3 on).
// 0 only when the send fails.
int sendScriptText(SocketHandle socket, const DaemonScript& script, int stage);

// The prompt that repeat sends again: the last line of welcome.
const char* welcomeLastLine(const DaemonScript& script);

// IAC WILL ECHO, IAC DO SGA, IAC WILL SGA, IAC DONT ECHO, then 30 passes of a
// 50 ms wait draining the answers. 0 only when a wait fails.
int sendTelnetGreeting(SocketHandle socket);

// For every disconnect timer message.
void disconnectTimerFired(ListenerState& listener, WindowHandle window);
