// The stand-in of the native build and the core's tests: the kept form has the
// shape of the Windows one ("dpapi:" and Base64), but holds the password's
// bytes merely reversed. It protects nothing; it only lets the reader's
// plain-to-protected rewrite be tried where there is no DPAPI.
#include "platform/secret_store.h"

#include <cstring>

namespace {

const char kPrefix[] = "dpapi:";
enum { kPrefixLength = sizeof kPrefix - 1 };
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c)
{
    const char* at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? static_cast<int>(at - kAlphabet) : -1;
}

// Standard Base64 with padding; false when it does not fit `size`.
bool encode(const unsigned char* bytes, int length, char* text, int size)
{
    if ((length + 2) / 3 * 4 >= size)
        return false;
    for (int i = 0; i < length; i += 3) {
        const unsigned long group = static_cast<unsigned long>(bytes[i]) << 16 |
                                    (i + 1 < length ? bytes[i + 1] << 8 : 0) | (i + 2 < length ? bytes[i + 2] : 0);
        for (int k = 0; k < 4; ++k)
            *text++ = k <= length - i ? kAlphabet[group >> (18 - 6 * k) & 63] : '=';
    }
    *text = '\0';
    return true;
}

// Strict standard Base64: whole groups, padding only at the end. The byte
// count, or -1 for a damaged text or one beyond `size` bytes.
int decode(const char* text, unsigned char* bytes, int size)
{
    const int length = static_cast<int>(std::strlen(text));
    if (length % 4 != 0)
        return -1;
    int count = 0;
    for (int i = 0; i < length; i += 4) {
        const bool last = i + 4 == length;
        const int padding = last ? (text[i + 3] == '=') + (text[i + 3] == '=' && text[i + 2] == '=') : 0;
        unsigned long group = 0;
        for (int k = 0; k < 4; ++k) {
            const int value = k < 4 - padding ? sextet(text[i + k]) : 0;
            if (value < 0)
                return -1;
            group = group << 6 | static_cast<unsigned long>(value);
        }
        for (int k = 0; k < 3 - padding; ++k) {
            if (count == size)
                return -1;
            bytes[count++] = static_cast<unsigned char>(group >> (16 - 8 * k) & 255);
        }
    }
    return count;
}

} // namespace

int protectSecret(const char* plain, char* kept, int keptSize)
{
    const int length = static_cast<int>(std::strlen(plain));
    unsigned char bytes[kSecretTextSize];
    if (length > kSecretTextSize || keptSize <= kPrefixLength)
        return 0;
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<unsigned char>(plain[length - 1 - i]);
    std::memcpy(kept, kPrefix, kPrefixLength);
    return encode(bytes, length, kept + kPrefixLength, keptSize - kPrefixLength) ? 1 : 0;
}

int unprotectSecret(const char* kept, char* plain, int plainSize)
{
    unsigned char bytes[kSecretTextSize];
    const int length = isProtectedSecret(kept) ? decode(kept + kPrefixLength, bytes, sizeof bytes) : -1;
    if (length < 0 || length >= plainSize || std::memchr(bytes, 0, length))
        return 0;
    for (int i = 0; i < length; ++i)
        plain[i] = static_cast<char>(bytes[length - 1 - i]);
    plain[length] = '\0';
    return 1;
}

int isProtectedSecret(const char* text)
{
    return std::strncmp(text, kPrefix, kPrefixLength) == 0;
}
