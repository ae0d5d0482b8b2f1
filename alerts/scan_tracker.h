#pragma once
// Tells a port scan as one incident: the moment one source has touched
// `scanPorts` distinct ports within `scanSeconds`, one scan is told; a source
// that keeps scanning raises no second one until it has been quiet for
// `scanSeconds`. A port touched longer ago than that no longer counts. At
// most kScanSources sources are kept; when full, the one quiet the longest
// goes (counted as evicted when it was not quiet for the whole window).
#include "alerts/alert_event.h"

enum { kScanSources = 1024 };

struct ScanPortTouch {
    int port;
    long long firstMs, lastMs;  // its first and last hit in the window
    unsigned long hits;
};

struct ScanSource {
    int inUse;
    char address[16];
    long long lastHitMs;
    int told;  // a scan was told: none again before a quiet window
    ScanPortTouch touches[kPortListSize];
    int touchCount;
};

struct ScanTracker {
    ScanSource sources[kScanSources];
    int scanPorts;        // 0: nothing is told
    long long windowMs;
    unsigned long scans;  // told since start
    unsigned long evicted;
};

// A new rule; the sources so far are forgotten, the counts kept.
void scanTrackerConfigure(ScanTracker& tracker, int scanPorts, int scanSeconds);

// A hit from `address` on `port` at `nowMs`: 1, with `scan` filled, when it
// is the one that crosses the line.
int scanTrackerHit(ScanTracker& tracker, const char* address, int port, long long nowMs, AlertScanFacts& scan);
