#include "engine/script_outline.h"

#include <cstdio>
#include <cstring>

namespace {

struct Outline {
    char* text;
    std::size_t length;
};

// Appends at most `count` bytes of `source`, stopping early at its terminator;
// the buffer is sized for the largest outline, the bound only guards it.
void append(Outline& outline, const char* source, std::size_t count)
{
    const void* end = std::memchr(source, '\0', count);
    if (end)
        count = static_cast<std::size_t>(static_cast<const char*>(end) - source);
    if (count > kPreviewBufferSize - 1 - outline.length)
        count = kPreviewBufferSize - 1 - outline.length;
    std::memcpy(outline.text + outline.length, source, count);
    outline.length += count;
    outline.text[outline.length] = '\0';
}

void appendText(Outline& outline, const char (&text)[kScriptTextSize])
{
    append(outline, text, kScriptTextSize - 1);
}

void appendTag(Outline& outline, const char* tag)
{
    append(outline, tag, std::strlen(tag));
}

} // namespace

void composePortLine(const DaemonScript& script, char (&buffer)[kPreviewBufferSize])
{
    std::snprintf(buffer, sizeof buffer, "Listening on port %d.", static_cast<int>(script.port));
}

void composeTimerLine(const DaemonScript& script, char (&buffer)[kPreviewBufferSize])
{
    if (script.timerChoice == 0) {
        std::snprintf(buffer, sizeof buffer, "Timer: None.");
        return;
    }
    // Widened: a hand-edited timer choice times 30 may not fit in 32 bits.
    long long seconds = static_cast<long long>(script.timerChoice) * 30;
    std::snprintf(buffer, sizeof buffer, "Timer: %lld Sec.", seconds);
}

void composeOutline(const DaemonScript& script, char (&buffer)[kPreviewBufferSize])
{
    Outline outline = {buffer, 0};
    buffer[0] = '\0';
    appendText(outline, script.welcome);
    appendTag(outline, "  [Wait Input]");
    if (script.echoWelcome != 0)
        appendTag(outline, "  [Will Echo]");
    if (script.repeat != 0)
        appendTag(outline, "  [Will Repeat]");
    appendTag(outline, "\r\n");
    if (script.replyCount == 2) {
        appendText(outline, script.reply);
        appendTag(outline, "  [Wait Input]");
        if (script.echoReply != 0)
            appendTag(outline, "  [Will Echo]");
        appendTag(outline, "\r\n");
    }
    appendText(outline, script.goodbye);
}
