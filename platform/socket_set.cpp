#include "platform/socket_set.h"

void socketSetClear(SocketSet& set)
{
    set.count = 0;
}

int socketSetContains(const SocketSet& set, SocketHandle handle)
{
    for (int i = 0; i < set.count; ++i) {
        if (set.handles[i] == handle)
            return 1;
    }
    return 0;
}

void socketSetAdd(SocketSet& set, SocketHandle handle)
{
    if (socketSetContains(set, handle) || set.count >= kMaxWatchedSockets)
        return;
    set.handles[set.count++] = handle;
}

void socketSetRemove(SocketSet& set, SocketHandle handle)
{
    for (int i = 0; i < set.count; ++i) {
        if (set.handles[i] != handle)
            continue;
        for (int j = i + 1; j < set.count; ++j)
            set.handles[j - 1] = set.handles[j];
        --set.count;
        return;
    }
}
