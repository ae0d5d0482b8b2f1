#pragma once
// An in-memory socket layer for the core's tests, linked in place of the platform's. Callers are records the test
// fills and reads; nothing waits, so what every poll sees is decided by the test alone.
#include "platform/name_lookup.h"
#include "platform/net.h"

#include <deque>
#include <map>
#include <set>
#include <string>

struct FakeCaller {
    std::string input;     // sent by the caller, not yet read by the decoy
    std::string received;  // every byte the decoy sent it
    bool hungUp = false;   // receives give 0 once `input` is used up
    int closes = 0;        // times the decoy closed its socket
    long sendRoom = -1;    // bytes its buffers still take; -1: no end (0: a caller that never reads)
    int host = 0;          // its address is 203.0.113.host; 0: 192.0.2.(i + 1)
    bool reset = false;    // a tripwire's caller that resets before it is accepted, as a connect scan does
};

enum FakeNetFailure { FailNone, FailStartup, FailSocket, FailBind, FailListen, FailAccept, VanishBeforeAccept };

// Caller i has handle 10 + 2i and address 192.0.2.(i + 1); the listener's
// handle 11 lies between the first two, as reused handles may.
enum : SocketHandle { kFakeListenerHandle = 11 };

// The collector alerts go to: a peer whose `received` ends each datagram in "|", and whose room is shared by all
// its connections (datagrams fail with none left). Every name resolves as `lookup` says; every connect gets
// `outcome` (a failure is a refusal), and its connection, 1000 + connects, stays open until either side closes
// it. Once the decoy half-closes, the collector has read to the end and does as `atEnd` says; the TCP table then
// shows the connection (local port 40000 + connects) in TIME_WAIT after `closingLooks` looks that find it
// CLOSING, and gone after a reset. One that `closesOnNotify` closes on a TLS close_notify: CLOSE_WAIT, and gone
// once the decoy half-closes after it. `hungUp` and `reset` hold until the next connect. A TLS ClientHello
// ("<hello>") is answered "<welcome>" unless `silent`; `answer`, when set, answers whatever arrives, the hello
// after its welcome too (a RELP or SMTP server), and what follows a '\f' in its answer comes in a later read
// (another segment); `greeting` is said at each connect (an SMTP server's).
enum FakeAtEnd { CloseAtEnd, StayOpenAtEnd, ResetAtEnd, ResetReadAsEndAtEnd };  // the last: as Wine reports it
struct FakeCollector : FakeCaller {
    NetResolveState lookup = NetResolvePending;
    NetConnectState outcome = NetConnected;
    int connects = 0, lookups = 0, lookupsCancelled = 0, port = 0, closingLooks = 0;
    SocketHandle open = kNoSocket;
    bool halfClosed = false, reset = false, silent = false, closesOnNotify = false;
    FakeAtEnd atEnd = CloseAtEnd;
    std::string (*answer)(const std::string& arrived) = nullptr;
    std::string greeting, later;
};

// A tripwire's listening socket: handles from 1001 up, odd, made once the
// daemon's listener is open; `inUse` and `refused` ports cannot be bound.
struct FakeWire {
    int port = 0;
    bool listening = false;
    std::deque<SocketHandle> backlog;
};

struct FakeNet {
    std::deque<FakeCaller> callers;
    std::deque<SocketHandle> backlog;
    std::map<SocketHandle, FakeWire> wires;
    std::set<int> inUse, refused;
    FakeNetFailure failure = FailNone;
    int waitsBeforeFailure = -1;  // readiness waits that succeed before they fail; -1: all succeed
    int waits = 0, boundPort = 0, startups = 0;
    bool listenerOpen = false;
    FakeCollector collector;
};

FakeNet& fakeNet();
void resetFakeNet();
// A caller connects: it waits in the backlog until the decoy accepts it.
FakeCaller& fakeConnect();
// A caller from 203.0.113.`host` connects to tripwire `port`; 0 when no wire listens there.
int fakeHit(int port, int host);
