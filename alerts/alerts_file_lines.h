#pragma once
// The lines of the alerts file as its reader sorts them, shared by the reader
// and the edits that keep every other byte: a section's header, a key's line,
// a line too long to be read, or another (blank, text without "="), each with
// its place in the file.
#include "storage/text_file.h"

// A full To= list (ten addresses of 254 characters) and some blanks fit; a longer line is damage.
enum { kAlertsLineSize = 3072 };

enum AlertsLineKind { AlertsLineHeader, AlertsLineKey, AlertsLineTooLong, AlertsLineOther };

struct AlertsLine {
    AlertsLineKind kind;
    TextLinePlace place;
    const char* name;   // a header with its brackets, or the text before "=", without the blanks around it
    const char* value;  // the text after "=", without the blanks around it; "" for a header or another line
    char text[kAlertsLineSize];
};

// The line that starts at byte `at` (the file's textStart for the first) into
// `line`; 0 after the last.
int readAlertsLine(const TextFile& file, int at, AlertsLine& line);

// The line is `key`=... (any case): a key's line, or one too long whose key it is.
bool isLineOfKey(const AlertsLine& line, const char* key);
