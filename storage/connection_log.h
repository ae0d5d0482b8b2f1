#pragma once
// The connections log: one line per detected caller, "address :port / dd.mm.yyyy / hh:mm".
#include "engine/front_end.h"

enum { kLogFieldSize = 300 };

// A local date and time to the minute.
struct LogStamp {
    int year;
    int month;
    int day;
    int hour;
    int minute;
};

// Appends one record with the local date and time of the call. Nothing is
// written when the file cannot be opened. 1 when the record was written.
int appendConnectionLog(const char* logPath, const char* callerAddress, int port);

// The same with a given date and time.
int appendConnectionLogAt(const char* logPath, const char* callerAddress, int port, const LogStamp& stamp);

// Adds one row per record to `list`, in file order. 1 when the file could be
// opened (also when it is empty), 0 when not (the list is not touched).
int readConnectionLog(ListHandle list, const char* logPath);
