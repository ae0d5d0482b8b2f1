#pragma once
// Windows' calendar arithmetic in one place: a SYSTEMTIME as 100 ns ticks
// since 1601 and back.
#include <windows.h>

// 0 when the calendar time is not one.
unsigned long long fileTimeTicks(const SYSTEMTIME& time);
SYSTEMTIME systemTimeOfTicks(unsigned long long ticks);

enum : unsigned long long { kTicksPerMs = 10000ULL, kTicksPerSecond = 10000000ULL };
