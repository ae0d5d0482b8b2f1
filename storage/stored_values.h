#pragma once
// Reading helpers shared by the settings and custom daemon file readers. Files
// are opened in binary mode: a line may end in CR LF or LF alone, and the CR
// must not end up in a value. Values are read positionally: each read expects
// one key, and a line that does not match it is left for the next read.
#include "engine/daemon_script.h"

#include <cstdio>

// Reads the first line with `format` ("%299[^\n]" or "%599[^\n]", matching the
// size of `line`), drops a trailing CR and skips the rest of an over-long line
// and the line end. An empty line or an empty file gives "".
void readFirstLine(std::FILE* file, const char* format, char* line);

// Reads one "KEY=number" line with `format` ("LSN=%d\n" and the like). When it
// does not match, `value` keeps its value and the stream goes back to where
// the read began, so a key that shares its first letters with the expected one
// is not cut short.
void readNumber(std::FILE* file, const char* format, int& value);

// Reads one "KEY=value" line with `format` ("CWE=%599s" and the like) and
// decodes the value into `field` of `fieldSize` bytes. What is left of a value
// too long for 599 characters is skipped, so the next key is looked for on the
// next line. When the key does not match, the field keeps its value and the
// stream goes back as for readNumber.
void readEncodedText(std::FILE* file, const char* format, char* field, unsigned fieldSize);

// Encodes `text` and writes it with `format` ("CWE=%s\r\n" and the like).
void writeEncodedText(std::FILE* file, const char* format, const char* text);

// The Custom script's lines as both stored files hold them, in their order:
// CRN, CPN, CWE, CR1, CR2 first; CCT, CE1, CE2 next; CWR last.
void readScriptTexts(std::FILE* file, DaemonScript& script);
void readScriptTimerAndEcho(std::FILE* file, DaemonScript& script);
void writeScriptLines(std::FILE* file, const DaemonScript& script);
