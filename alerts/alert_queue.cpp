#include "alerts/alert_queue.h"

#include <cstring>

namespace {

int entryIndex(const AlertQueue& queue, int index)
{
    return (queue.first + index) % queue.entryCapacity;
}

// Removes the message at `index` (0 the oldest), its bytes left where they
// lie until the next compaction.
void removeAt(AlertQueue& queue, int index)
{
    queue.usedBytes -= queue.entries[entryIndex(queue, index)].length;
    for (int i = index; i > 0; --i)
        queue.entries[entryIndex(queue, i)] = queue.entries[entryIndex(queue, i - 1)];
    queue.first = (queue.first + 1) % queue.entryCapacity;
    --queue.count;
    if (queue.count == 0)
        queue.endByte = 0;
}

// Moves every message to the start of the storage, in order, closing the
// gaps that removals left.
void compact(AlertQueue& queue)
{
    unsigned long end = 0;
    for (int i = 0; i < queue.count; ++i) {
        AlertQueueEntry& entry = queue.entries[entryIndex(queue, i)];
        if (entry.offset != end)
            std::memmove(queue.bytes + end, queue.bytes + entry.offset, entry.length);
        entry.offset = end;
        end += entry.length;
    }
    queue.endByte = end;
}

bool overBounds(const AlertQueue& queue, unsigned long length)
{
    return queue.count + 1 > queue.entryCapacity || queue.usedBytes + length > queue.maxBytes;
}

} // namespace

void alertQueueInit(AlertQueue& queue, char* bytes, unsigned long byteCapacity, AlertQueueEntry* entries,
                    int entryCapacity, unsigned long maxBytes)
{
    queue = AlertQueue{};
    queue.bytes = bytes;
    queue.byteCapacity = byteCapacity;
    queue.entries = entries;
    queue.entryCapacity = entryCapacity;
    queue.maxBytes = maxBytes < byteCapacity ? maxBytes : byteCapacity;
}

int alertQueuePush(AlertQueue& queue, const char* message, unsigned long length)
{
    if (length > queue.maxBytes) {
        ++queue.dropped;
        return 0;
    }
    while (overBounds(queue, length) && queue.count > queue.locked) {
        removeAt(queue, queue.locked);
        ++queue.dropped;
    }
    if (overBounds(queue, length)) {
        ++queue.dropped;
        return 0;
    }
    if (queue.endByte + length > queue.byteCapacity)
        compact(queue);
    AlertQueueEntry& entry = queue.entries[entryIndex(queue, queue.count)];
    entry = AlertQueueEntry{queue.endByte, length, 0};
    std::memcpy(queue.bytes + queue.endByte, message, length);
    queue.endByte += length;
    queue.usedBytes += length;
    ++queue.count;
    return 1;
}

const char* alertQueueMessage(const AlertQueue& queue, int index, unsigned long& length)
{
    const AlertQueueEntry& entry = queue.entries[entryIndex(queue, index)];
    length = entry.length;
    return queue.bytes + entry.offset;
}

AlertQueueEntry& alertQueueEntry(AlertQueue& queue, int index)
{
    return queue.entries[entryIndex(queue, index)];
}

void alertQueuePop(AlertQueue& queue, int count)
{
    for (; count > 0 && queue.count > 0; --count) {
        removeAt(queue, 0);
        queue.locked = queue.locked > 0 ? queue.locked - 1 : 0;
    }
}

void alertQueueDropAll(AlertQueue& queue)
{
    queue.dropped += static_cast<unsigned long>(queue.count);
    queue.first = queue.count = queue.locked = 0;
    queue.usedBytes = queue.endByte = 0;
}
