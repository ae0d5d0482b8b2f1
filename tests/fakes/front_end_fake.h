#pragma once
// A recording window side for the core's tests. Each test starts with
// resetFakeFront(); what the window was told is kept in order, one line each.
#include "engine/front_end.h"
#include "platform/net.h"

#include <functional>
#include <string>
#include <vector>

struct FakeFront {
    // Lines "notice OWNER Error #N", "display STATE" (StandingBy, Listening, Detected),
    // "start TIMER PERIOD", "stop TIMER", "hit PORT ADDRESS" (a tripwire's), each ended
    // by "\n". The log is written for real.
    std::string events;
    int logSwitch = 0;
    std::vector<PeerAddress> acceptedPeers;  // told by frontCallerAccepted, in order
    std::vector<int> noticeCodes;  // of the notices shown, in order ("Error #N" gives N, another caption -1)
    // Runs while a notice is "open", as the timer messages that a message box's own loop keeps delivering.
    std::function<void()> whileNoticeOpen;
};

FakeFront& fakeFront();
void resetFakeFront();
WindowHandle const kWindow = reinterpret_cast<WindowHandle>(1);
