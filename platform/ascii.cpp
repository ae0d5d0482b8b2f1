#include "platform/ascii.h"

bool sameIgnoringCase(const char* a, const char* b)
{
    for (; *a && lowerCase(*a) == lowerCase(*b); ++a, ++b) {
    }
    return lowerCase(*a) == lowerCase(*b);
}

const char* afterPrefix(const char* text, const char* prefix)
{
    for (; *prefix; ++text, ++prefix) {
        if (lowerCase(*text) != lowerCase(*prefix))
            return nullptr;
    }
    return text;
}

bool allPrintable(const char* text, bool blanks)
{
    for (; *text; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        if (!isPrintable(c) || (c == ' ' && !blanks))
            return false;
    }
    return true;
}

void appendPrintable(const char* words, const char* peerWords, char* text, int size)
{
    int length = 0;
    for (const char* c = words; *c && length < size - 1; ++c)
        text[length++] = *c;
    for (const char* c = peerWords; *c && length < size - 1; ++c)
        text[length++] = isPrintable(static_cast<unsigned char>(*c)) ? *c : ' ';
    text[length] = '\0';
}

char* trimmed(char* text)
{
    while (isBlank(static_cast<unsigned char>(*text)))
        ++text;
    int length = 0;
    while (text[length])
        ++length;
    while (length > 0 && isBlank(static_cast<unsigned char>(text[length - 1])))
        text[--length] = '\0';
    return text;
}

bool blankOnly(const char* text)
{
    for (; isBlank(static_cast<unsigned char>(*text)); ++text) {
    }
    return *text == '\0';
}

int copyVisible(const char* from, char* to, int size)
{
    int kept = 0;
    for (; from && *from && kept < size - 1; ++from) {
        if (*from > 32 && *from < 127)
            to[kept++] = *from;
    }
    to[kept] = '\0';
    return kept;
}
