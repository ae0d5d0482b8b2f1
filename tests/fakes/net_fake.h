#pragma once
// An in-memory socket layer for the core's tests, linked in place of the
// platform's. Callers are records the test fills and reads; nothing waits, so
// what every poll sees is decided by the test alone.
#include "engine/net.h"

#include <deque>
#include <string>

struct FakeCaller {
    std::string input;     // sent by the caller, not yet read by the decoy
    std::string received;  // every byte the decoy sent it
    bool hungUp = false;   // receives give 0 once `input` is used up
    int closes = 0;        // times the decoy closed its socket
    long sendRoom = -1;    // bytes its buffers still take; -1: no end (0: a caller that never reads)
};

enum FakeNetFailure { FailNone, FailStartup, FailSocket, FailBind, FailListen, FailAccept, VanishBeforeAccept };

// Caller i has handle 10 + 2i and address 192.0.2.(i + 1); the listener's
// handle 11 lies between the first two, as reused handles may.
enum : SocketHandle { kFakeListenerHandle = 11 };

// The collector alerts go to. Every name resolves as `lookup` says; every connect gets `outcome` (a failure is a
// refusal), and its connection, 1000 + connects, stays open until either side closes it.
struct FakeCollector {
    NetResolveState lookup = NetResolvePending;
    NetConnectState outcome = NetConnected;
    std::string received;  // every byte that reached it; each datagram ends in "|"
    long sendRoom = -1;    // as for FakeCaller, for all connections together; datagrams fail with none left
    bool hungUp = false;   // the open connection reads end of stream, until the next connect
    int connects = 0;
    SocketHandle open = kNoSocket;
};

struct FakeNet {
    std::deque<FakeCaller> callers;
    std::deque<SocketHandle> backlog;
    FakeNetFailure failure = FailNone;
    int waitsBeforeFailure = -1;  // readiness waits that succeed before they fail; -1: all succeed
    int waits = 0;
    bool listenerOpen = false;
    int boundPort = 0;
    int startups = 0;
    FakeCollector collector;
};

FakeNet& fakeNet();
void resetFakeNet();
// A caller connects: it waits in the backlog until the decoy accepts it.
FakeCaller& fakeConnect();
