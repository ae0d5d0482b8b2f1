// The native build's clocks: the core takes its times from its caller, so
// only the tools of the native build ask for them.
#include "platform/clock.h"

#include <ctime>

namespace {

CalendarTime calendarOf(const std::tm& t, long milliseconds)
{
    return CalendarTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                        static_cast<int>(milliseconds)};
}

long long millisecondsOf(const timespec& t)
{
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

CalendarTime localCalendar(std::time_t seconds, long milliseconds)
{
    std::tm local{};
    localtime_r(&seconds, &local);
    return calendarOf(local, milliseconds);
}

} // namespace

long long clockMonotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return millisecondsOf(now);
}

WallTime clockWallTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm utc{}, local{};
    gmtime_r(&now.tv_sec, &utc);
    localtime_r(&now.tv_sec, &local);
    const long milliseconds = now.tv_nsec / 1000000;
    return WallTime{calendarOf(utc, milliseconds), calendarOf(local, milliseconds),
                    static_cast<int>(local.tm_gmtoff / 60)};
}

CalendarTime clockLocalTimeAt(long long monotonicMs)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long at = millisecondsOf(now) - (clockMonotonicMs() - monotonicMs);
    return localCalendar(static_cast<std::time_t>(at / 1000), static_cast<long>(at % 1000));
}
