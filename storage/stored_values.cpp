#include "storage/stored_values.h"

#include "storage/text_encoding.h"

#include <cstring>

namespace {

// One conversion with `format` into `target`; on a mismatch the stream returns
// to where it was (the files are binary, so the position is exact).
template <typename Target>
bool scanOne(std::FILE* file, const char* format, Target* target)
{
    long start = std::ftell(file);
    if (std::fscanf(file, format, target) == 1)
        return true;
    if (start >= 0)
        std::fseek(file, start, SEEK_SET);
    return false;
}

// The rest of a token that did not fit its buffer, then the white space after it.
void skipTokenRest(std::FILE* file)
{
    std::fscanf(file, "%*[^ \t\r\n\v\f]");
    std::fscanf(file, " ");
}

} // namespace

void readFirstLine(std::FILE* file, const char* format, char* line)
{
    line[0] = '\0';
    std::fscanf(file, format, line);
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\r')
        line[length - 1] = '\0';
    std::fscanf(file, "%*[^\n]");
    std::fscanf(file, " ");
}

void readNumber(std::FILE* file, const char* format, int& value)
{
    scanOne(file, format, &value);
}

void readEncodedText(std::FILE* file, const char* format, char* field, unsigned fieldSize)
{
    char encoded[kEncodedSize];
    if (!scanOne(file, format, encoded))
        return;
    skipTokenRest(file);
    decodeText(encoded, field, fieldSize);
}

void writeEncodedText(std::FILE* file, const char* format, const char* text)
{
    char encoded[kEncodedSize];
    encodeText(text, encoded, sizeof encoded);
    std::fprintf(file, format, encoded);
}

void readScriptTexts(std::FILE* file, DaemonScript& script)
{
    readNumber(file, "CRN=%d\n", script.replyCount);
    readNumber(file, "CPN=%d\n", script.port);
    readEncodedText(file, "CWE=%599s", script.welcome, sizeof script.welcome);
    readEncodedText(file, "CR1=%599s", script.reply, sizeof script.reply);
    readEncodedText(file, "CR2=%599s", script.goodbye, sizeof script.goodbye);
}

void readScriptTimerAndEcho(std::FILE* file, DaemonScript& script)
{
    readNumber(file, "CCT=%d\n", script.timerChoice);
    readNumber(file, "CE1=%d\n", script.echoWelcome);
    readNumber(file, "CE2=%d\n", script.echoReply);
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
