#include "platform/worker.h"

int workerSlotStart(WorkerSlot& slot, void (*work)(void*), void* argument)
{
    int expected = WorkerSlotFree;
    if (!slot.state.compare_exchange_strong(expected, WorkerSlotWorking)) {
        if (expected != WorkerSlotDone || !slot.state.compare_exchange_strong(expected, WorkerSlotWorking))
            return 0;
    }
    slot.work = work;
    slot.argument = argument;
    if (workerThreadStart(slot))
        return 1;
    slot.state.store(WorkerSlotFree);
    return 0;
}

WorkerSlotState workerSlotState(const WorkerSlot& slot)
{
    return static_cast<WorkerSlotState>(slot.state.load());
}

void workerSlotRelease(WorkerSlot& slot)
{
    slot.state.store(WorkerSlotFree);
}

void workerSlotCancel(WorkerSlot& slot)
{
    int expected = WorkerSlotWorking;
    if (!slot.state.compare_exchange_strong(expected, WorkerSlotAbandoned) && expected == WorkerSlotDone)
        slot.state.store(WorkerSlotFree);
}

int workerSlotFinish(WorkerSlot& slot)
{
    int expected = WorkerSlotWorking;
    if (slot.state.compare_exchange_strong(expected, WorkerSlotDone))
        return 1;
    slot.state.store(WorkerSlotFree);
    return 0;
}
