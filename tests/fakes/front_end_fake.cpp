#include "fakes/front_end_fake.h"

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

void frontSetStatusText(WindowHandle, const char* text) { record("status", text); }
void frontSetTrayState(WindowHandle, int iconId, const char* tip) { record("tray", iconId, tip); }
void frontStartTimer(WindowHandle, int timerId, unsigned periodMs) { record("start", timerId, periodMs); }
void frontStopTimer(WindowHandle, int timerId) { record("stop", timerId); }
int frontLogSwitchOn(WindowHandle) { return front.logSwitch; }
void frontListInsertItem(ListHandle, int index, const char* text) { record("insert", index, text); }
void frontListSetSubItem(ListHandle, int index, int subItem, const char* text) { record("item", index, subItem, text); }
void frontCallerAccepted(WindowHandle, const PeerAddress& peer) { front.acceptedPeers.push_back(peer); }
