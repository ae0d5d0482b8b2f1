#pragma once
// Work that must block (a name look-up, an HTTP request, a certificate chain)
// runs on a thread of the platform's own, never on the window's. Each asker
// owns a slot; the worker touches only that slot, and the asker learns of the
// outcome by polling the slot's state (the HTTP layer also wakes the window
// by a posted message). A slot holds at most one worker, even an abandoned
// one, so an asker that asks again and again never piles up threads.
//
// Free -> Working (started) -> Done (the worker wrote its outcome) -> Free
// (the asker took it). Cancelling turns Working into Abandoned, which the
// worker frees when it ends unheard, and Done into Free.
#include <atomic>

enum WorkerSlotState { WorkerSlotFree, WorkerSlotWorking, WorkerSlotAbandoned, WorkerSlotDone };

struct WorkerSlot {
    std::atomic<int> state;
    void (*work)(void* argument);
    void* argument;
};

// Starts `work(argument)` in the slot when it is Free or Done (an outcome
// nobody took is dropped). The asker writes the worker's inputs first: the
// start orders them before the worker's first step. 1 when the work started;
// 0 when the slot's worker still runs or no thread could be had.
int workerSlotStart(WorkerSlot& slot, void (*work)(void*), void* argument);

// The state as the worker last left it.
WorkerSlotState workerSlotState(const WorkerSlot& slot);

// The asker took a Done slot's outcome: the slot is Free.
void workerSlotRelease(WorkerSlot& slot);

// The asker gives up: a running worker's outcome goes unheard.
void workerSlotCancel(WorkerSlot& slot);

// The worker's last step, after writing its outcome: 1 when the asker still
// waits (Done), 0 when it gave up (the slot is Free again).
int workerSlotFinish(WorkerSlot& slot);

// Each platform's own: a detached thread with the default stack (third-party
// name providers and the certificate engine run on it) that calls
// slot.work(slot.argument). 1 when it started.
int workerThreadStart(WorkerSlot& slot);
