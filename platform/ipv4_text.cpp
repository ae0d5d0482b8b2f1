#include "platform/ipv4_text.h"

#include "platform/ascii.h"

const char* readIpv4(const char* text, unsigned long& address)
{
    address = 0;
    for (int part = 0; part < 4; ++part) {
        const char* start = text;
        unsigned long value = 0;
        for (; isDigit(*text) && text - start < 3; ++text)
            value = value * 10 + static_cast<unsigned long>(*text - '0');
        if (text == start || isDigit(*text) || value > 255 || (text - start > 1 && *start == '0'))
            return nullptr;
        if (part < 3 && *text++ != '.')
            return nullptr;
        address = address << 8 | value;
    }
    return text;
}

int parseIpv4(const char* text, unsigned char bytes[4])
{
    unsigned long address = 0;
    const char* end = readIpv4(text, address);
    if (!end || *end != '\0')
        return 0;
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(address >> (24 - 8 * i) & 255);
    return 1;
}
