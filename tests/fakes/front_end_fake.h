#pragma once
// Recording fakes of the window side. Each test starts with resetFakeFront();
// the events are kept in order so tests can check what the window was told.
#include "engine/front_end.h"

#include <functional>
#include <string>
#include <vector>

struct FrontEvent {
    enum Kind { Notice, Status, Tray, StartTimer, StopTimer, ListInsert, ListSubItem } kind;
    void* handle;       // owner, window or list
    std::string text;   // caption, status text, tip, item text
    std::string detail; // notice text
    int number;         // icon id, timer id, row index
    int number2;        // timer period, sub-item
};

struct FakeFront {
    std::vector<FrontEvent> events;
    int logSwitch = 0;
    // Runs inside frontShowNotice while the "box" is open, to model timer
    // messages that the box's own loop keeps delivering.
    std::function<void()> whileNoticeOpen;
};

FakeFront& fakeFront();
void resetFakeFront();

// The codes of the notices shown so far, in order ("Error #N" -> N).
std::vector<int> shownNoticeCodes();
// Every event so far as a short text, in order: "notice Error #N", "status T",
// "tray ICON TIP", "start TIMER PERIOD", "stop TIMER", "insert ROW T", "item ROW SUB T".
std::vector<std::string> frontEventTexts();
// The events of one kind, in order.
std::vector<FrontEvent> frontEventsOf(FrontEvent::Kind kind);
// Whether a timer was started and not stopped since.
bool timerRunning(int timerId);
// The period the timer was last started with, 0 if never.
unsigned timerPeriod(int timerId);
std::string lastStatusText();
