#include "storage/connection_log.h"

#include <cstdio>
#include <ctime>

namespace {

LogStamp readLocalStamp()
{
    std::time_t now = std::time(nullptr);
    LogStamp stamp{1970, 1, 1, 0, 0};
    // Single thread: the shared result of localtime is copied out at once.
    const std::tm* local = std::localtime(&now);
    if (local) {
        stamp.year = local->tm_year + 1900;
        stamp.month = local->tm_mon + 1;
        stamp.day = local->tm_mday;
        stamp.hour = local->tm_hour;
        stamp.minute = local->tm_min;
    }
    return stamp;
}

// The reader's tokenizer: the white space of the C locale, as a formatted
// read skips it.
bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space; the first other character is left unread. 0 at end of file.
int skipBlanks(std::FILE* file)
{
    int c;
    do {
        c = std::fgetc(file);
    } while (c != EOF && isBlank(c));
    if (c == EOF)
        return 0;
    std::ungetc(c, file);
    return 1;
}

// One white-space-delimited token into `field`: cut to kLogFieldSize - 1
// characters, the rest of the token read and dropped so the next directive
// starts after it. 0 when the file ends before the token starts; the field is
// then left as it was.
int readToken(std::FILE* file, char field[kLogFieldSize])
{
    if (!skipBlanks(file))
        return 0;
    int length = 0;
    int c;
    while ((c = std::fgetc(file)) != EOF && !isBlank(c)) {
        if (length < kLogFieldSize - 1)
            field[length++] = static_cast<char>(c);
    }
    if (c != EOF)
        std::ungetc(c, file);
    field[length] = '\0';
    return 1;
}

// Blanks, then the literal `expected`. On a mismatch the character is left unread.
int matchLiteral(std::FILE* file, char expected)
{
    if (!skipBlanks(file))
        return 0;
    int c = std::fgetc(file);
    if (c == expected)
        return 1;
    std::ungetc(c, file);
    return 0;
}

struct LogRow {
    char address[kLogFieldSize];
    char port[kLogFieldSize];
    char date[kLogFieldSize];
    char time[kLogFieldSize];
};

// Matches "%s :%s / %s / %s" at the stream's position. -1 when the file ended
// before the first token; otherwise the number of fields filled (1 to 4).
// Fields that were not reached keep their previous text.
int scanRecord(std::FILE* file, LogRow& row)
{
    if (!readToken(file, row.address))
        return -1;
    if (!matchLiteral(file, ':') || !readToken(file, row.port))
        return 1;
    if (!matchLiteral(file, '/') || !readToken(file, row.date))
        return 2;
    if (!matchLiteral(file, '/') || !readToken(file, row.time))
        return 3;
    return 4;
}

void addRow(ListHandle list, int index, const LogRow& row)
{
    frontListInsertItem(list, index, row.address);
    frontListSetSubItem(list, index, 1, row.port);
    frontListSetSubItem(list, index, 2, row.date);
    frontListSetSubItem(list, index, 3, row.time);
}

} // namespace

int appendConnectionLog(const char* logPath, const char* callerAddress, int port)
{
    // Read once, so the date and the time of a record always belong together.
    return appendConnectionLogAt(logPath, callerAddress, port, readLocalStamp());
}

int appendConnectionLogAt(const char* logPath, const char* callerAddress, int port, const LogStamp& stamp)
{
    // Binary mode with an explicit CR LF: every build writes the same bytes.
    std::FILE* file = std::fopen(logPath, "ab");
    if (!file)
        return 0;
    int ok = std::fprintf(file, "%s :%d / ", callerAddress, port) >= 0;
    ok = std::fprintf(file, "%2.2d.%2.2d.%d / ", stamp.day, stamp.month, stamp.year) >= 0 && ok;
    ok = std::fprintf(file, "%2.2d:%2.2d", stamp.hour, stamp.minute) >= 0 && ok;
    ok = std::fputs("\r\n", file) >= 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

int readConnectionLog(ListHandle list, const char* logPath)
{
    std::FILE* file = std::fopen(logPath, "rb");
    if (!file)
        return 0;
    LogRow row{};
    int index = 0;
    while (scanRecord(file, row) >= 0)
        addRow(list, index++, row);
    std::fclose(file);
    return 1;
}
