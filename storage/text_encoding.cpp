#include "storage/text_encoding.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Longest encoded value looked at: the 600-byte work buffer less its zero.
enum { kMaxEncodedLength = kEncodedSize - 1 };

// The 6-bit value of one character, searched per class. Anything that is not a
// letter or digit falls into the "+" / "/" class, whose miss value is 61.
unsigned sextetOf(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '/')
        return 63;
    if (c == '+')
        return 62;
    return 61;
}

} // namespace

void encodeText(const char* text, char* encoded, unsigned encodedSize)
{
    if (encodedSize == 0)
        return;
    encoded[0] = '\0';
    if (encodedSize < 3)
        return;
    // Room for the characters, "==" and the terminating zero: c characters
    // carry the bits of floor(6c / 8) whole bytes.
    unsigned maxBytes = static_cast<unsigned>((static_cast<unsigned long long>(encodedSize - 3) * 6) / 8);
    unsigned byteCount = 0;
    while (byteCount < maxBytes && text[byteCount] != '\0')
        ++byteCount;

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    unsigned out = 0;
    unsigned bits = 0;
    unsigned bitCount = 0;
    for (unsigned i = 0; i < byteCount; ++i) {
        bits = (bits << 8) | bytes[i];
        bitCount += 8;
        while (bitCount >= 6) {
            bitCount -= 6;
            encoded[out++] = kAlphabet[(bits >> bitCount) & 0x3F];
            bits &= (1u << bitCount) - 1;
        }
    }
    if (bitCount > 0)
        encoded[out++] = kAlphabet[(bits << (6 - bitCount)) & 0x3F];
    encoded[out++] = '=';
    encoded[out++] = '=';
    encoded[out] = '\0';
}

void decodeText(const char* encoded, char* text, unsigned textSize)
{
    if (textSize == 0)
        return;
    unsigned length = 0;
    while (length < kMaxEncodedLength && encoded[length] != '\0')
        ++length;

    // Padding: only the last two positions are looked at, the earlier first.
    if (length >= 2) {
        if (encoded[length - 2] == '=')
            length -= 2;
        else if (encoded[length - 1] == '=')
            length -= 1;
    }

    unsigned out = 0;
    unsigned bits = 0;
    unsigned bitCount = 0;
    for (unsigned i = 0; i < length && out < textSize - 1; ++i) {
        bits = (bits << 6) | sextetOf(static_cast<unsigned char>(encoded[i]));
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            text[out++] = static_cast<char>((bits >> bitCount) & 0xFF);
            bits &= (1u << bitCount) - 1;
        }
    }
    text[out] = '\0';
}
