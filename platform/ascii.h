#pragma once
// The few ASCII rules every layer shares. Bytes from 128 up are no letters,
// digits or blanks here, whatever the locale says.

inline bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

inline bool isAsciiLetter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// White space as a formatted read skips it: blank, tab, CR, LF, VT, FF.
inline bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// 32 to 126: what may stand in a line that a person or a peer reads.
inline bool isPrintable(int c)
{
    return c >= 32 && c < 127;
}

inline char lowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The two texts are the same but for the case of their letters.
bool sameIgnoringCase(const char* a, const char* b);

// `text` after `prefix` (any case); nullptr when it does not start so.
const char* afterPrefix(const char* text, const char* prefix);

// Every character is printable; blanks too when `blanks`.
bool allPrintable(const char* text, bool blanks);

// `words`, then `peerWords` (what a server or a file said) with anything
// outside printable ASCII turned into a blank, into `text` (`size` bytes,
// nul-ended, cut to fit): a peer's bytes never reach a status line raw.
void appendPrintable(const char* words, const char* peerWords, char* text, int size);

// `text` without its leading and trailing white space, in place.
char* trimmed(char* text);

// Nothing but white space.
bool blankOnly(const char* text);

// The visible characters (33 to 126) of `from` into `to` (`size` bytes,
// nul-ended, cut to fit): no blank or line end of a setting can start a line
// or a field of its own. Returns the length kept.
int copyVisible(const char* from, char* to, int size);
