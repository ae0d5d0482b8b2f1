#include "platform/win32/filetime.h"

unsigned long long fileTimeTicks(const SYSTEMTIME& time)
{
    FILETIME file;
    if (!SystemTimeToFileTime(&time, &file))
        return 0;
    return static_cast<unsigned long long>(file.dwHighDateTime) << 32 | file.dwLowDateTime;
}

SYSTEMTIME systemTimeOfTicks(unsigned long long ticks)
{
    FILETIME file;
    file.dwLowDateTime = static_cast<DWORD>(ticks);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME time = {};
    FileTimeToSystemTime(&file, &time);
    return time;
}
