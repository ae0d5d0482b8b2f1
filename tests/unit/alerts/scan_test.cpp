#include "alerts/alert_hub.h"
#include "alerts/scan_tracker.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

// Hits as "port@ms", then what they told: "+" a scan, "." nothing, and each scan's facts.
std::string hits(ScanTracker& tracker, const char* address, std::initializer_list<std::pair<int, long long>> touches)
{
    std::string seen;
    for (const auto& [port, ms] : touches) {
        AlertScanFacts scan{};
        if (!scanTrackerHit(tracker, address, port, ms, scan)) {
            seen += ".";
            continue;
        }
        char ports[kPortsPhraseSize];
        portListText(scan.ports, ",", ports, sizeof ports);
        seen += "+[" + std::string(ports) + " " + std::to_string(scan.connections) + " " +
                std::to_string(scan.seconds) + "s]";
    }
    return seen;
}

} // namespace

TEST(ScanTracker, DistinctPortsWithinTheWindowMakeOneScanUntilTheSourceIsQuietAndAFullTrackerDropsTheOldest)
{
    static ScanTracker tracker;  // kept between repeats: its counts start again
    tracker.scans = tracker.evicted = 0;
    scanTrackerConfigure(tracker, 3, 60);
    EXPECT_EQ(hits(tracker, "198.51.100.1", {{21, 0}, {21, 1000}, {22, 2000}, {23, 59999}, {3389, 60000}}),
              "...+[21,22,23 4 59s].") << "its last millisecond is still in the window, and one scan is told";
    EXPECT_EQ(hits(tracker, "198.51.100.2", {{21, 0}, {22, 30000}, {23, 60000}, {21, 61000}}), "...+[21,22,23 3 31s]")
        << "a port touched a whole window ago no longer counts";
    EXPECT_EQ(hits(tracker, "198.51.100.1", {{22, 119999}, {23, 179999}, {21, 181000}, {22, 182000}}),
              "...+[21,22,23 3 2s]")
        << "quiet for a whole window, a source may be told again";
    scanTrackerConfigure(tracker, 3, 60);
    for (int source = 0; source < kScanSources; ++source)
        hits(tracker, ("10.0." + std::to_string(source / 256) + "." + std::to_string(source % 256)).c_str(),
             {{21, source}});
    hits(tracker, "192.0.2.1", {{21, 5000}});
    EXPECT_EQ(tracker.evicted, 1ul);
    hits(tracker, "192.0.2.2", {{21, 120000}});
    EXPECT_EQ(tracker.evicted, 1ul) << "a quiet source makes room without being counted";
    scanTrackerConfigure(tracker, 0, 60);
    EXPECT_EQ(hits(tracker, "198.51.100.3", {{21, 0}, {22, 0}, {23, 0}}), "...") << "ScanPorts=0 tells no scan";
    EXPECT_EQ(tracker.scans, 3ul);
}
