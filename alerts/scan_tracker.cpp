#include "alerts/scan_tracker.h"

#include <cstdio>
#include <cstring>

namespace {

bool quiet(const ScanTracker& tracker, const ScanSource& source, long long nowMs)
{
    return nowMs - source.lastHitMs >= tracker.windowMs;
}

ScanSource* find(ScanTracker& tracker, const char* address)
{
    for (ScanSource& source : tracker.sources) {
        if (source.inUse && std::strcmp(source.address, address) == 0)
            return &source;
    }
    return nullptr;
}

// A free place, or the one quiet the longest: a source still inside its
// window is dropped only when every place is taken by one.
ScanSource& placeFor(ScanTracker& tracker, long long nowMs)
{
    ScanSource* oldest = &tracker.sources[0];
    for (ScanSource& source : tracker.sources) {
        if (!source.inUse)
            return source;
        if (source.lastHitMs < oldest->lastHitMs)
            oldest = &source;
    }
    if (!quiet(tracker, *oldest, nowMs))
        ++tracker.evicted;
    return *oldest;
}

ScanSource& sourceOf(ScanTracker& tracker, const char* address, long long nowMs)
{
    ScanSource* source = find(tracker, address);
    if (source && !quiet(tracker, *source, nowMs))
        return *source;
    if (!source)
        source = &placeFor(tracker, nowMs);
    *source = ScanSource{};
    source->inUse = 1;
    std::snprintf(source->address, sizeof source->address, "%s", address);
    return *source;
}

// Ports not touched within the window no longer count.
void forgetOld(const ScanTracker& tracker, ScanSource& source, long long nowMs)
{
    int kept = 0;
    for (int i = 0; i < source.touchCount; ++i) {
        if (nowMs - source.touches[i].lastMs < tracker.windowMs)
            source.touches[kept++] = source.touches[i];
    }
    source.touchCount = kept;
}

void touch(ScanSource& source, int port, long long nowMs)
{
    for (int i = 0; i < source.touchCount; ++i) {
        if (source.touches[i].port == port) {
            source.touches[i].lastMs = nowMs;
            ++source.touches[i].hits;
            return;
        }
    }
    if (source.touchCount < kPortListSize)
        source.touches[source.touchCount++] = ScanPortTouch{port, nowMs, nowMs, 1};
}

AlertScanFacts factsOf(const ScanSource& source, long long nowMs)
{
    AlertScanFacts scan{};
    long long firstMs = nowMs;
    for (int i = 0; i < source.touchCount; ++i) {
        const ScanPortTouch& touched = source.touches[i];
        portListAdd(scan.ports, touched.port);
        scan.connections += touched.hits;
        firstMs = touched.firstMs < firstMs ? touched.firstMs : firstMs;
    }
    scan.seconds = static_cast<long>((nowMs - firstMs) / 1000);
    return scan;
}

} // namespace

void scanTrackerConfigure(ScanTracker& tracker, int scanPorts, int scanSeconds)
{
    for (ScanSource& source : tracker.sources)
        source.inUse = 0;
    tracker.scanPorts = scanPorts;
    tracker.windowMs = scanSeconds * 1000LL;
}

int scanTrackerHit(ScanTracker& tracker, const char* address, int port, long long nowMs, AlertScanFacts& scan)
{
    if (tracker.scanPorts < 1)
        return 0;
    ScanSource& source = sourceOf(tracker, address, nowMs);
    forgetOld(tracker, source, nowMs);
    touch(source, port, nowMs);
    source.lastHitMs = nowMs;
    if (source.told || source.touchCount < tracker.scanPorts)
        return 0;
    source.told = 1;
    ++tracker.scans;
    scan = factsOf(source, nowMs);
    return 1;
}
