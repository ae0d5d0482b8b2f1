#pragma once
// The connections log: one line per detected caller, "address :port / dd.mm.yyyy / hh:mm".
#include <cstdio>

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

// One record as the Connections Log dialog shows it.
struct ConnectionLogRow {
    char address[kLogFieldSize];
    char port[kLogFieldSize];
    char date[kLogFieldSize];
    char time[kLogFieldSize];
};

// The log read record by record, in file order. A record cut short keeps the
// fields it did not reach from the record before.
struct ConnectionLogReader {
    std::FILE* file;
    ConnectionLogRow row;
};

// 1 when the file could be opened (also when it is empty).
int connectionLogOpen(ConnectionLogReader& reader, const char* logPath);
// 1 with the next record in `reader.row`; 0 at the end.
int connectionLogNextRow(ConnectionLogReader& reader);
void connectionLogClose(ConnectionLogReader& reader);
