#include "alerts/alerts_file_lines.h"

#include "platform/ascii.h"

#include <cstring>

int readAlertsLine(const TextFile& file, int at, AlertsLine& line)
{
    const TextLineRead read = textFileLine(file, at, line.text, sizeof line.text, line.place);
    char* text = trimmed(line.text);
    char* equals = std::strchr(text, '=');
    const std::size_t length = std::strlen(text);
    line.name = text;
    line.value = "";
    if (read == TextLineNone)
        return 0;
    if (read == TextLineWhole && length > 0 && text[0] == '[' && text[length - 1] == ']') {
        line.kind = AlertsLineHeader;
        return 1;
    }
    line.kind = read == TextLineTooLong ? AlertsLineTooLong : equals ? AlertsLineKey : AlertsLineOther;
    if (equals) {
        *equals = '\0';
        line.name = trimmed(text);
        line.value = trimmed(equals + 1);
    }
    return 1;
}

bool isLineOfKey(const AlertsLine& line, const char* key)
{
    return (line.kind == AlertsLineKey || line.kind == AlertsLineTooLong) && sameIgnoringCase(line.name, key);
}
