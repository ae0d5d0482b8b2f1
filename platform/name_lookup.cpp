// The bookkeeping of the name look-ups, the same on every platform: the
// blocking look-up of each runs in a worker slot.
#include "platform/name_lookup.h"

#include "platform/ipv4_text.h"
#include "platform/worker.h"

#include <cstring>

namespace {

struct LookUp {
    WorkerSlot worker;
    char name[256];
    std::uint8_t address[4];
    int found;
};

// At namespace scope, so that it is zero-initialised at load: a local static
// would bring the runtime's guarded initialisation, and its exceptions, along.
LookUp lookUps[kResolveSlots];

// On the worker: the answer is written before the slot says it is done.
void lookUp(void* argument)
{
    LookUp& slot = *static_cast<LookUp*>(argument);
    std::uint8_t address[4] = {};
    slot.found = netLookUpBlocking(slot.name, address);
    std::memcpy(slot.address, address, sizeof address);
    workerSlotFinish(slot.worker);
}

bool valid(int slot)
{
    return slot >= 0 && slot < kResolveSlots;
}

bool busy(const LookUp& slot)
{
    const WorkerSlotState state = workerSlotState(slot.worker);
    return state == WorkerSlotWorking || state == WorkerSlotAbandoned;
}

} // namespace

int netResolveStart(int index, const char* name)
{
    if (!valid(index) || !name || std::strlen(name) >= sizeof lookUps[0].name || busy(lookUps[index]))
        return 0;
    LookUp& slot = lookUps[index];
    if (parseIpv4(name, slot.address)) {
        slot.found = 1;
        slot.worker.state.store(WorkerSlotDone);
        return 1;
    }
    std::strcpy(slot.name, name);
    return workerSlotStart(slot.worker, lookUp, &slot);
}

NetResolveState netResolvePoll(int index, std::uint8_t address[4])
{
    if (!valid(index))
        return NetResolveFailed;
    LookUp& slot = lookUps[index];
    const WorkerSlotState state = workerSlotState(slot.worker);
    if (state == WorkerSlotWorking)
        return NetResolvePending;
    const bool resolved = state == WorkerSlotDone && slot.found;
    if (resolved)
        std::memcpy(address, slot.address, 4);
    if (state == WorkerSlotDone)
        workerSlotRelease(slot.worker);
    return resolved ? NetResolved : NetResolveFailed;
}

void netResolveCancel(int index)
{
    if (valid(index))
        workerSlotCancel(lookUps[index].worker);
}
