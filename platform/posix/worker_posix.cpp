#include "platform/worker.h"

#include <pthread.h>

namespace {

void* runWorker(void* parameter)
{
    WorkerSlot& slot = *static_cast<WorkerSlot*>(parameter);
    slot.work(slot.argument);
    return nullptr;
}

} // namespace

int workerThreadStart(WorkerSlot& slot)
{
    pthread_t thread;
    if (pthread_create(&thread, nullptr, runWorker, &slot) != 0)
        return 0;
    pthread_detach(thread);
    return 1;
}
