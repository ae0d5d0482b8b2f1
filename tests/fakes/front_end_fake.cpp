#include "fakes/front_end_fake.h"

#include <cstdlib>
#include <sstream>

namespace {

FakeFront front;

template <typename... Parts>
void record(const char* kind, const Parts&... parts)
{
    std::ostringstream event;
    event << kind;
    ((event << ' ' << parts), ...);
    front.events += event.str() + '\n';
}

} // namespace

FakeFront& fakeFront() { return front; }
void resetFakeFront() { front = FakeFront(); }

std::vector<int> shownNoticeCodes()
{
    const std::string notice = " Error #";
    std::vector<int> codes;
    for (std::size_t at = 0; (at = front.events.find(notice, at)) != std::string::npos; at += notice.size())
        codes.push_back(std::atoi(front.events.c_str() + at + notice.size()));
    return codes;
}

void frontShowNotice(WindowHandle owner, const char* caption, const char*)
{
    record("notice", reinterpret_cast<std::uintptr_t>(owner), caption);
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
