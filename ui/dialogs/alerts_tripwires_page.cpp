#include "ui/dialogs/alerts_tripwires_page.h"

#include "alerts/alert_value_syntax.h"
#include "ui/dialogs/alerts_page_controls.h"
#include "ui/program_state.h"
#include "ui/window_tripwires.h"

#include <cstdio>

namespace {

enum { kPortsTextSize = 400 };

// "Watching 21, 22; in use 3389; refused 445." while listening.
int appendPorts(char* text, int size, int used, const char* what, TripwireState state)
{
    int ports[kMostTripwires];
    const int count = tripwirePortsIn(tripwiresNow(), state, ports);
    for (int i = 0; i < count && used >= 0 && used < size; ++i)
        used += std::snprintf(text + used, static_cast<size_t>(size - used), "%s%s%d", i ? ", " : used ? "; " : "",
                              i ? "" : what, ports[i]);
    return used;
}

void stateText(char* text, int size)
{
    if (!program.listening || tripwiresNow().count == 0) {
        std::snprintf(text, static_cast<size_t>(size), "%s",
                      program.listening ? "No tripwire is armed." : "Standing by: no tripwire is armed.");
        return;
    }
    int used = appendPorts(text, size, 0, "Watching ", TripwireWatching);
    used = appendPorts(text, size, used, "in use by another program ", TripwireInUse);
    used = appendPorts(text, size, used, "refused by Windows ", TripwireRefused);
    if (used >= 0 && used < size - 1)
        std::snprintf(text + used, static_cast<size_t>(size - used), ".");
}

Fault countIn(int id, const char* what, int low, int high, bool zeroTurnsOff, int& count)
{
    static char told[kPageLineSize];
    count = numberIn(id, high);
    if (count >= low || (count == 0 && zeroTurnsOff))
        return Fault{"", 0};
    std::snprintf(told, sizeof told, "%s must be a number from %d to %d%s.", what, low, high,
                  zeroTurnsOff ? ", or 0" : "");
    return Fault{told, id};
}

} // namespace

void showTripwires(const TripwireSettings& tripwires)
{
    char ports[kPortsTextSize];
    portListFileText(tripwires, ports, sizeof ports);
    check(IDC_TRIPWIRES_ENABLED, tripwires.enabled);
    setText(IDC_TRIPWIRES_PORTS, ports);
    setNumber(IDC_TRIPWIRES_SCAN_PORTS, tripwires.scanPorts);
    setNumber(IDC_TRIPWIRES_SCAN_SECONDS, tripwires.scanSeconds);
    SendMessageA(control(IDC_TRIPWIRES_PORTS), EM_LIMITTEXT, kPortsTextSize - 1, 0);
    refreshTripwiresState();
}

Fault readTripwiresPage(AlertSettings& settings)
{
    static char told[kPageLineSize];
    TripwireSettings& tripwires = settings.tripwires;
    tripwires.enabled = checked(IDC_TRIPWIRES_ENABLED);
    char ports[kPortsTextSize], bad[40];
    getText(IDC_TRIPWIRES_PORTS, ports, sizeof ports);
    if (!parsePortList(ports, tripwires, bad, sizeof bad)) {
        if (bad[0])
            std::snprintf(told, sizeof told, "\"%s\" is not a port or a range (low-high) from 1 to 65535.", bad);
        else
            std::snprintf(told, sizeof told, "The tripwires are more than %d ports.", kMostTripwires);
        return Fault{told, IDC_TRIPWIRES_PORTS};
    }
    const Fault fault = countIn(IDC_TRIPWIRES_SCAN_PORTS, "The ports of a scan", 2, kMostScanPorts, true,
                                tripwires.scanPorts);
    if (fault.text[0])
        return fault;
    return countIn(IDC_TRIPWIRES_SCAN_SECONDS, "The seconds of a scan", 1, kMostScanSeconds, false,
                   tripwires.scanSeconds);
}

void refreshTripwiresState()
{
    char text[kPageLineSize];
    stateText(text, sizeof text);
    refreshText(IDC_TRIPWIRES_STATE, text);
    // A connect scan resets each connection at once, before a program can take it and read its address.
    const TripwireSet& tripwires = tripwiresNow();
    const int used = std::snprintf(text, sizeof text, "Hits %lu, scans %lu since the start.", tripwires.hits,
                                   program.alerts.scans.scans);
    if (tripwires.gone && used > 0 && used < static_cast<int>(sizeof text))
        std::snprintf(text + used, sizeof text - static_cast<size_t>(used),
                      " %lu more reset before they could be taken: from no known address.", tripwires.gone);
    refreshText(IDC_TRIPWIRES_COUNTS, text);
}
