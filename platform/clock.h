#pragma once
// The two clocks: a monotonic one in milliseconds, which every deadline and
// pause runs on, and the wall clock, which only stamps what is told.

// A calendar instant, in UTC or on this PC's clock.
struct CalendarTime {
    int year, month, day, hour, minute, second, millisecond;
};

// Now, in UTC and on this PC's clock with its offset.
struct WallTime {
    CalendarTime utc;
    CalendarTime local;
    int utcOffsetMinutes;  // local minus UTC
};

long long clockMonotonicMs();

WallTime clockWallTime();

// This PC's clock at the past instant `monotonicMs` of the monotonic clock:
// "the last error at 10:41:27" in a status line.
CalendarTime clockLocalTimeAt(long long monotonicMs);
