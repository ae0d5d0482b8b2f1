#include "storage/stored_values.h"

#include "platform/ascii.h"
#include "storage/text_encoding.h"

#include <climits>

namespace {

enum { kCtrlZ = 26 };

// The key and "=", matched exactly as a format's plain characters are.
bool matchKey(std::FILE* file, const char* key)
{
    for (; *key != '\0'; ++key) {
        if (readTextChar(file) != static_cast<unsigned char>(*key))
            return false;
    }
    return readTextChar(file) == '=';
}

// A decimal number with an optional sign after optional white space, as "%d"
// reads it; one beyond the 32-bit range is taken as the nearest end of it. The
// byte after it is left unread.
bool readDecimal(std::FILE* file, int& value)
{
    skipBlanks(file);
    int c = readTextChar(file);
    bool negative = c == '-';
    if (c == '-' || c == '+')
        c = readTextChar(file);
    if (!isDigit(c))
        return false;
    long long magnitude = 0;
    for (; isDigit(c); c = readTextChar(file)) {
        if (magnitude <= INT_MAX)
            magnitude = magnitude * 10 + (c - '0');
    }
    if (c != EOF)
        std::ungetc(c, file);
    long long number = negative ? -magnitude : magnitude;
    value = static_cast<int>(number < INT_MIN ? INT_MIN : number > INT_MAX ? INT_MAX : number);
    return true;
}

// Back to `start` after a read that did not match (the files are binary, so
// the position is exact).
void goBack(std::FILE* file, long start)
{
    if (start >= 0)
        std::fseek(file, start, SEEK_SET);
}

} // namespace

int readTextChar(std::FILE* file)
{
    int c = std::fgetc(file);
    if (c != kCtrlZ)
        return c;
    std::ungetc(c, file);
    return EOF;
}

void skipBlanks(std::FILE* file)
{
    int c;
    do {
        c = readTextChar(file);
    } while (c != EOF && isBlank(c));
    if (c != EOF)
        std::ungetc(c, file);
}

bool readToken(std::FILE* file, char* token, unsigned size)
{
    skipBlanks(file);
    int c = readTextChar(file);
    if (c == EOF)
        return false;
    unsigned length = 0;
    for (; c != EOF && !isBlank(c); c = readTextChar(file)) {
        if (length < size - 1)
            token[length++] = static_cast<char>(c);
    }
    if (c != EOF)
        std::ungetc(c, file);
    token[length] = '\0';
    return true;
}

void readFirstLine(std::FILE* file, char* line, unsigned size)
{
    unsigned length = 0;
    int c;
    while ((c = readTextChar(file)) != EOF && c != '\n') {
        if (length < size - 1)
            line[length++] = static_cast<char>(c);
    }
    if (length > 0 && line[length - 1] == '\r')
        --length;
    line[length] = '\0';
    skipBlanks(file);
}

void readNumber(std::FILE* file, const char* key, int& value)
{
    long start = std::ftell(file);
    int number;
    if (matchKey(file, key) && readDecimal(file, number)) {
        value = number;
        skipBlanks(file);
    } else {
        goBack(file, start);
    }
}

void readEncodedText(std::FILE* file, const char* key, char* field, unsigned fieldSize)
{
    long start = std::ftell(file);
    char encoded[kEncodedSize];
    if (matchKey(file, key) && readToken(file, encoded, sizeof encoded)) {
        skipBlanks(file);
        decodeText(encoded, field, fieldSize);
    } else {
        goBack(file, start);
    }
}

void writeEncodedText(std::FILE* file, const char* format, const char* text)
{
    char encoded[kEncodedSize];
    encodeText(text, encoded, sizeof encoded);
    std::fprintf(file, format, encoded);
}

void readScriptTexts(std::FILE* file, DaemonScript& script)
{
    readNumber(file, "CRN", script.replyCount);
    readNumber(file, "CPN", script.port);
    readEncodedText(file, "CWE", script.welcome, sizeof script.welcome);
    readEncodedText(file, "CR1", script.reply, sizeof script.reply);
    readEncodedText(file, "CR2", script.goodbye, sizeof script.goodbye);
}

void readScriptTimerAndEcho(std::FILE* file, DaemonScript& script)
{
    readNumber(file, "CCT", script.timerChoice);
    readNumber(file, "CE1", script.echoWelcome);
    readNumber(file, "CE2", script.echoReply);
}

void writeScriptLines(std::FILE* file, const DaemonScript& script)
{
    std::fprintf(file, "CRN=%d\r\nCPN=%d\r\n", script.replyCount, script.port);
    writeEncodedText(file, "CWE=%s\r\n", script.welcome);
    writeEncodedText(file, "CR1=%s\r\n", script.reply);
    writeEncodedText(file, "CR2=%s\r\n", script.goodbye);
    std::fprintf(file, "CCT=%d\r\n", script.timerChoice);
    std::fprintf(file, "CE1=%d\r\nCE2=%d\r\n", script.echoWelcome, script.echoReply);
    std::fprintf(file, "CWR=%d\r\n", script.repeat);
}
