#include "fakes/front_end_fake.h"

#include "storage/connection_log.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

FakeFront front;

template <typename... Parts>
void record(const char* kind, const Parts&... parts)
{
    std::ostringstream event(kind, std::ios::ate);
    ((event << ' ' << parts), ...);
    front.events += event.str() + '\n';
}

} // namespace

FakeFront& fakeFront() { return front; }
void resetFakeFront() { front = FakeFront(); }

void frontShowNotice(WindowHandle owner, const char* caption, const char*)
{
    record("notice", reinterpret_cast<std::uintptr_t>(owner), caption);
    front.noticeCodes.push_back(std::strncmp(caption, "Error #", 7) ? -1 : std::atoi(caption + 7));
    if (front.whileNoticeOpen)
        front.whileNoticeOpen();
}

void frontShowDisplayState(WindowHandle, DisplayState state)
{
    const char* const kNames[] = {"StandingBy", "Listening", "Detected"};
    record("display", kNames[state]);
}
void frontStartTimer(WindowHandle, int timerId, unsigned periodMs) { record("start", timerId, periodMs); }
void frontStopTimer(WindowHandle, int timerId) { record("stop", timerId); }
int frontLogSwitchOn(WindowHandle) { return front.logSwitch; }
void frontLogCaller(const char* logPath, const char* callerAddress, int port)
{
    appendConnectionLog(logPath, callerAddress, port);
}
void frontCallerAccepted(WindowHandle, const PeerAddress& peer) { front.acceptedPeers.push_back(peer); }
void frontTripwireHit(WindowHandle, const PeerAddress& peer, int port)
{
    char address[16];
    netAddressText(peer, address);
    record("hit", port, address);
}
