// DPAPI for the signed-in user: only this user, on this PC (or with a roaming
// profile), can read the password back. The Base64 is the system's own.
#include "platform/secret_store.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>

namespace {

const char kPrefix[] = "dpapi:";
enum { kPrefixLength = sizeof kPrefix - 1 };

// Mixed into every blob, so that a blob taken from this file does not open for
// any other program of the user's that simply calls CryptUnprotectData. Never
// change it: every saved password would become unreadable.
char kEntropy[] = "Velmoranth alerts.ini e-mail password";

DATA_BLOB entropy()
{
    return DATA_BLOB{sizeof kEntropy - 1, reinterpret_cast<BYTE*>(kEntropy)};
}

} // namespace

int protectSecret(const char* plain, char* kept, int keptSize)
{
    DATA_BLOB in{static_cast<DWORD>(std::strlen(plain)), reinterpret_cast<BYTE*>(const_cast<char*>(plain))};
    DATA_BLOB mixed = entropy(), out{};
    if (keptSize <= kPrefixLength ||
        !CryptProtectData(&in, nullptr, &mixed, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return 0;
    DWORD chars = static_cast<DWORD>(keptSize - kPrefixLength);
    const BOOL encoded = CryptBinaryToStringA(out.pbData, out.cbData, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF,
                                              kept + kPrefixLength, &chars);
    LocalFree(out.pbData);
    if (!encoded)
        return 0;
    std::memcpy(kept, kPrefix, kPrefixLength);
    return 1;
}

int unprotectSecret(const char* kept, char* plain, int plainSize)
{
    BYTE blob[kSecretTextSize];
    DWORD size = sizeof blob;
    if (!isProtectedSecret(kept) || !kept[kPrefixLength] ||
        !CryptStringToBinaryA(kept + kPrefixLength, 0, CRYPT_STRING_BASE64, blob, &size, nullptr, nullptr))
        return 0;
    DATA_BLOB in{size, blob}, mixed = entropy(), out{};
    if (!CryptUnprotectData(&in, nullptr, &mixed, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return 0;
    const bool fits = out.cbData < static_cast<DWORD>(plainSize) && !std::memchr(out.pbData, 0, out.cbData);
    if (fits) {
        std::memcpy(plain, out.pbData, out.cbData);
        plain[out.cbData] = '\0';
    }
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return fits ? 1 : 0;
}

int isProtectedSecret(const char* text)
{
    return std::strncmp(text, kPrefix, kPrefixLength) == 0;
}
