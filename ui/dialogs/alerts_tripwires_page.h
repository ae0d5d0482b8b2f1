#pragma once
// The Alerts dialog's Tripwires page: the ports, the scan rule, each port's
// state while listening, and the hits and scans since the start.
#include "alerts/alert_targets.h"
#include "ui/dialogs/alerts_pages.h"

void showTripwires(const TripwireSettings& tripwires);
Fault readTripwiresPage(AlertSettings& settings);

// Each port's state and the counts, at each refresh tick.
void refreshTripwiresState();
