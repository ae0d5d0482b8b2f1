#pragma once
// Reading helpers shared by the readers of the settings file, custom daemon
// files and the connections log. Files are opened in binary mode and read as
// text mode would: a line may end in CR LF or LF alone, the CR must not end up
// in a value, and a Ctrl-Z ends the file. Values are read positionally: each
// read expects one key, and a line that does not match it is left for the next
// read.
#include "engine/daemon_script.h"

#include <cstdio>

// The next byte of `file`; EOF at its end and at a Ctrl-Z (byte 26), which
// ends a file as text mode reads it and so stays unread for every later read.
int readTextChar(std::FILE* file);

// Skips white space; the first other byte is left unread.
void skipBlanks(std::FILE* file);

// Skips white space and reads one white-space-delimited token into `token`, cut
// to size - 1 characters, the rest of it read and dropped. False, with `token`
// untouched, when the file ends first.
bool readToken(std::FILE* file, char* token, unsigned size);

// Reads the first line into `line`, cut to size - 1 characters, drops a
// trailing CR and skips the rest of the line and the white space after it. An
// empty line or an empty file gives "".
void readFirstLine(std::FILE* file, char* line, unsigned size);

// Reads one "KEY=number" line, `key` being "LSN" and the like: the key and "="
// exactly, then a signed decimal number after optional white space (beyond the
// 32-bit range, the nearest end of it), then the white space after it. When it
// does not match, `value` keeps its value and the stream goes back to where the
// read began, so a key that shares its first letters with the expected one is
// not cut short.
void readNumber(std::FILE* file, const char* key, int& value);

// Reads one "KEY=value" line and decodes the value into `field` of `fieldSize`
// bytes. Only the first 599 characters of a value are kept; the rest is
// skipped, so the next key is looked for on the next line. When the key does
// not match, the field keeps its value and the stream goes back as for
// readNumber.
void readEncodedText(std::FILE* file, const char* key, char* field, unsigned fieldSize);

// Encodes `text` and writes it with `format` ("CWE=%s\r\n" and the like).
void writeEncodedText(std::FILE* file, const char* format, const char* text);

// The Custom script's lines as both stored files hold them, in their order:
// CRN, CPN, CWE, CR1, CR2 first; CCT, CE1, CE2 next; CWR last.
void readScriptTexts(std::FILE* file, DaemonScript& script);
void readScriptTimerAndEcho(std::FILE* file, DaemonScript& script);
void writeScriptLines(std::FILE* file, const DaemonScript& script);
