#include "platform/clock.h"

#include "platform/win32/filetime.h"

namespace {

CalendarTime calendarOf(const SYSTEMTIME& time)
{
    return CalendarTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

long long minutesOf(const SYSTEMTIME& time)
{
    return static_cast<long long>(fileTimeTicks(time) / (60 * kTicksPerSecond));
}

} // namespace

long long clockMonotonicMs()
{
    return static_cast<long long>(GetTickCount64());
}

WallTime clockWallTime()
{
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    return WallTime{calendarOf(utc), calendarOf(local), static_cast<int>(minutesOf(local) - minutesOf(utc))};
}

CalendarTime clockLocalTimeAt(long long monotonicMs)
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    const unsigned long long ago = static_cast<unsigned long long>(clockMonotonicMs() - monotonicMs) * kTicksPerMs;
    return calendarOf(systemTimeOfTicks(fileTimeTicks(local) - ago));
}
