#pragma once
// The messages of one alert channel that wait for their confirmation, oldest
// first, in storage the channel's owner provides. Bounded by a number of
// messages and of bytes: beyond either, the oldest waiting message that is
// not on the wire goes, and is counted.
//
// The first `locked` messages are on the wire (a batch waiting for its
// receipt, or RELP frames waiting for their answers): they stay until the
// sender confirms or gives them up, and are never dropped for room.

struct AlertQueueEntry {
    unsigned long offset;  // into the storage
    unsigned long length;
    unsigned long tag;     // the sender's own: a RELP transaction number, say
};

struct AlertQueue {
    char* bytes;  // byteCapacity bytes, given at init
    unsigned long byteCapacity;
    AlertQueueEntry* entries;  // entryCapacity entries, given at init
    int entryCapacity;
    unsigned long maxBytes;  // the bound on the waiting messages' bytes (<= byteCapacity)
    int first;               // the oldest message's entry: a ring
    int count;
    int locked;
    unsigned long usedBytes;  // sum of the waiting messages' lengths
    unsigned long endByte;    // where the newest message ends in the storage
    unsigned long dropped;    // messages dropped for room since init
};

// A queue with no message in the given storage; `maxBytes` the byte bound.
void alertQueueInit(AlertQueue& queue, char* bytes, unsigned long byteCapacity, AlertQueueEntry* entries,
                    int entryCapacity, unsigned long maxBytes);

// Appends a copy of the message. When the bounds are reached the oldest
// unlocked messages are dropped; a message that cannot fit even so (longer
// than the byte bound, or every waiting message locked) is itself dropped.
// 1 when it was queued.
int alertQueuePush(AlertQueue& queue, const char* message, unsigned long length);

// The i-th waiting message (0 is the oldest).
const char* alertQueueMessage(const AlertQueue& queue, int index, unsigned long& length);
AlertQueueEntry& alertQueueEntry(AlertQueue& queue, int index);

// Removes the `count` oldest messages (delivered, or given up); they leave
// the locked ones first.
void alertQueuePop(AlertQueue& queue, int count);

// Empties the queue; what waited is counted as dropped.
void alertQueueDropAll(AlertQueue& queue);
