#include "fakes/front_end_fake.h"

#include <cstdlib>
#include <cstring>

namespace {

FakeFront front;

void record(FrontEvent::Kind kind, void* handle, const char* text, const char* detail, int number,
            int number2)
{
    front.events.push_back({kind, handle, text ? text : "", detail ? detail : "", number, number2});
}

} // namespace

FakeFront& fakeFront()
{
    return front;
}

void resetFakeFront()
{
    front = FakeFront();
}

std::vector<int> shownNoticeCodes()
{
    std::vector<int> codes;
    for (const FrontEvent& event : front.events) {
        if (event.kind == FrontEvent::Notice)
            codes.push_back(std::atoi(event.text.c_str() + std::strlen("Error #")));
    }
    return codes;
}

std::vector<FrontEvent> frontEventsOf(FrontEvent::Kind kind)
{
    std::vector<FrontEvent> selected;
    for (const FrontEvent& event : front.events) {
        if (event.kind == kind)
            selected.push_back(event);
    }
    return selected;
}

bool timerRunning(int timerId)
{
    bool running = false;
    for (const FrontEvent& event : front.events) {
        if (event.number != timerId)
            continue;
        if (event.kind == FrontEvent::StartTimer)
            running = true;
        else if (event.kind == FrontEvent::StopTimer)
            running = false;
    }
    return running;
}

unsigned timerPeriod(int timerId)
{
    unsigned period = 0;
    for (const FrontEvent& event : front.events) {
        if (event.kind == FrontEvent::StartTimer && event.number == timerId)
            period = static_cast<unsigned>(event.number2);
    }
    return period;
}

std::string lastStatusText()
{
    std::vector<FrontEvent> statuses = frontEventsOf(FrontEvent::Status);
    return statuses.empty() ? std::string() : statuses.back().text;
}

void frontShowNotice(WindowHandle owner, const char* caption, const char* text)
{
    record(FrontEvent::Notice, owner, caption, text, 0, 0);
    if (front.whileNoticeOpen)
        front.whileNoticeOpen();
}

void frontSetStatusText(WindowHandle window, const char* text)
{
    record(FrontEvent::Status, window, text, nullptr, 0, 0);
}

void frontSetTrayState(WindowHandle window, int iconId, const char* tip)
{
    record(FrontEvent::Tray, window, tip, nullptr, iconId, 0);
}

void frontStartTimer(WindowHandle window, int timerId, unsigned periodMs)
{
    record(FrontEvent::StartTimer, window, nullptr, nullptr, timerId, static_cast<int>(periodMs));
}

void frontStopTimer(WindowHandle window, int timerId)
{
    record(FrontEvent::StopTimer, window, nullptr, nullptr, timerId, 0);
}

int frontLogSwitchOn(WindowHandle /*window*/)
{
    return front.logSwitch;
}

void frontListInsertItem(ListHandle list, int index, const char* text)
{
    record(FrontEvent::ListInsert, list, text, nullptr, index, 0);
}

void frontListSetSubItem(ListHandle list, int index, int subItem, const char* text)
{
    record(FrontEvent::ListSubItem, list, text, nullptr, index, subItem);
}
