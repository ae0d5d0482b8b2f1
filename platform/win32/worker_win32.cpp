#include "platform/worker.h"

#include <windows.h>

namespace {

DWORD WINAPI runWorker(LPVOID parameter)
{
    WorkerSlot& slot = *static_cast<WorkerSlot*>(parameter);
    slot.work(slot.argument);
    return 0;
}

} // namespace

int workerThreadStart(WorkerSlot& slot)
{
    const HANDLE thread = CreateThread(nullptr, 0, runWorker, &slot, 0, nullptr);
    if (!thread)
        return 0;
    CloseHandle(thread);
    return 1;
}
