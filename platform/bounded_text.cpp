#include "platform/bounded_text.h"

#include <cstdio>

BoundedText boundedText(char* data, int size)
{
    if (size > 0)
        data[0] = '\0';
    return BoundedText{data, size, 0, '\0'};
}

void BoundedText::put(char c)
{
    if (length < size - 1) {
        data[length] = c;
        data[length + 1] = '\0';
    }
    ++length;
    last = c;
}

void BoundedText::text(const char* s)
{
    for (; *s; ++s)
        put(*s);
}

void BoundedText::bytes(const char* s, int n)
{
    for (int i = 0; i < n; ++i)
        put(s[i]);
}

void BoundedText::number(long long value)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%lld", value);
    text(digits);
}
