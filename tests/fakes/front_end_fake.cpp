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

std::vector<std::string> frontEventTexts()
{
    std::vector<std::string> texts;
    for (const FrontEvent& e : front.events) {
        const std::string n = std::to_string(e.number), n2 = std::to_string(e.number2);
        switch (e.kind) {
        case FrontEvent::Notice: texts.push_back("notice " + e.text); break;
        case FrontEvent::Status: texts.push_back("status " + e.text); break;
        case FrontEvent::Tray: texts.push_back("tray " + n + " " + e.text); break;
        case FrontEvent::StartTimer: texts.push_back("start " + n + " " + n2); break;
        case FrontEvent::StopTimer: texts.push_back("stop " + n); break;
        case FrontEvent::ListInsert: texts.push_back("insert " + n + " " + e.text); break;
        case FrontEvent::ListSubItem: texts.push_back("item " + n + " " + n2 + " " + e.text); break;
        }
    }
    return texts;
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
