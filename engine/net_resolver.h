#pragma once
// The bookkeeping of the socket layer's name resolution, shared by its two
// platform files. Each hands in its own blocking look-up and its own way to
// start a detached worker; the look-up runs there, so the thread that asks
// never waits. A slot whose look-up was abandoned stays busy until its worker
// ends, so one asker never has two workers, however often it asks.
#include "engine/net.h"

#include <atomic>
#include <cstring>

namespace net_resolver {

enum SlotState { SlotFree, SlotRunning, SlotAbandoned, SlotResolved, SlotFailed };

using BlockingLookup = int (*)(const char* name, std::uint8_t address[4]);
// Starts `work(argument)` on a detached worker: 1 when it started.
using StartWorker = int (*)(void (*work)(void*), void* argument);

struct Slot {
    std::atomic<int> state;
    char name[256];
    std::uint8_t address[4];
    BlockingLookup lookup;
};

// At namespace scope, so that it is zero-initialised at load: a local static
// would bring the runtime's guarded initialisation, and its exceptions, along.
inline Slot slotTable[kResolveSlots];

inline Slot* slots()
{
    return slotTable;
}

// 1 with the address when `name` is a dotted IPv4 address, four numbers of at most 255.
inline int parseDotted(const char* name, std::uint8_t address[4])
{
    for (int part = 0; part < 4; ++part) {
        int value = 0, digits = 0;
        for (; *name >= '0' && *name <= '9' && digits < 3; ++name, ++digits)
            value = value * 10 + (*name - '0');
        if (digits == 0 || value > 255 || (part < 3 && *name++ != '.'))
            return 0;
        address[part] = static_cast<std::uint8_t>(value);
    }
    return *name == '\0';
}

// On the worker: the answer is stored before the state says so; an abandoned
// slot is only freed.
inline void work(void* argument)
{
    Slot& slot = *static_cast<Slot*>(argument);
    std::uint8_t address[4] = {};
    const int found = slot.lookup(slot.name, address);
    std::memcpy(slot.address, address, sizeof address);
    int expected = SlotRunning;
    if (!slot.state.compare_exchange_strong(expected, found ? SlotResolved : SlotFailed))
        slot.state.store(SlotFree);
}

inline bool valid(int slot)
{
    return slot >= 0 && slot < kResolveSlots;
}

inline int start(int index, const char* name, BlockingLookup lookup, StartWorker startWorker)
{
    if (!valid(index) || !name || std::strlen(name) >= sizeof slots()[0].name)
        return 0;
    Slot& slot = slots()[index];
    const int state = slot.state.load();
    if (state == SlotRunning || state == SlotAbandoned)
        return 0;
    if (parseDotted(name, slot.address)) {
        slot.state.store(SlotResolved);
        return 1;
    }
    std::strcpy(slot.name, name);
    slot.lookup = lookup;
    slot.state.store(SlotRunning);
    if (startWorker(work, &slot))
        return 1;
    slot.state.store(SlotFree);
    return 0;
}

inline NetResolveState poll(int index, std::uint8_t address[4])
{
    if (!valid(index))
        return NetResolveFailed;
    Slot& slot = slots()[index];
    const int state = slot.state.load();
    if (state == SlotRunning)
        return NetResolvePending;
    if (state == SlotResolved)
        std::memcpy(address, slot.address, 4);
    if (state == SlotResolved || state == SlotFailed)
        slot.state.store(SlotFree);
    return state == SlotResolved ? NetResolved : NetResolveFailed;
}

inline void cancel(int index)
{
    if (!valid(index))
        return;
    Slot& slot = slots()[index];
    int expected = SlotRunning;
    if (!slot.state.compare_exchange_strong(expected, SlotAbandoned) && expected != SlotAbandoned)
        slot.state.store(SlotFree);
}

} // namespace net_resolver
