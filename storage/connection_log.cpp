#include "storage/connection_log.h"

#include "storage/stored_values.h"

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

// Blanks, then the literal `expected`. On a mismatch the character is left unread.
bool matchLiteral(std::FILE* file, char expected)
{
    skipBlanks(file);
    int c = readTextChar(file);
    if (c == expected)
        return true;
    if (c != EOF)
        std::ungetc(c, file);
    return false;
}

// Matches "%s :%s / %s / %s" at the stream's position. -1 when the file ended
// before the first token; otherwise the number of fields filled (1 to 4).
// Fields that were not reached keep their previous text.
int scanRecord(std::FILE* file, ConnectionLogRow& row)
{
    if (!readToken(file, row.address, kLogFieldSize))
        return -1;
    if (!matchLiteral(file, ':') || !readToken(file, row.port, kLogFieldSize))
        return 1;
    if (!matchLiteral(file, '/') || !readToken(file, row.date, kLogFieldSize))
        return 2;
    if (!matchLiteral(file, '/') || !readToken(file, row.time, kLogFieldSize))
        return 3;
    return 4;
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

int connectionLogOpen(ConnectionLogReader& reader, const char* logPath)
{
    reader = ConnectionLogReader{};
    reader.file = std::fopen(logPath, "rb");
    return reader.file != nullptr;
}

int connectionLogNextRow(ConnectionLogReader& reader)
{
    return reader.file && scanRecord(reader.file, reader.row) >= 0;
}

void connectionLogClose(ConnectionLogReader& reader)
{
    if (reader.file)
        std::fclose(reader.file);
    reader.file = nullptr;
}
