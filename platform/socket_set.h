#pragma once
// Socket handles as the platform hands them out, and a small set of them in
// insertion order: what a readiness wait watches and reports.
#include <cstdint>

using SocketHandle = std::uintptr_t;
constexpr SocketHandle kNoSocket = ~SocketHandle(0);

enum { kMaxWatchedSockets = 64 };

// Up to 64 handles in insertion order.
struct SocketSet {
    int count;
    SocketHandle handles[kMaxWatchedSockets];
};

void socketSetClear(SocketSet& set);
// Does nothing if the handle is present or the set is full.
void socketSetAdd(SocketSet& set, SocketHandle handle);
// Shifts later handles toward the front; an absent handle changes nothing.
void socketSetRemove(SocketSet& set, SocketHandle handle);
int socketSetContains(const SocketSet& set, SocketHandle handle);
