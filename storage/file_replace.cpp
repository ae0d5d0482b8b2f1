#include "storage/file_replace.h"

#include <cstring>

namespace {

const char kScratchName[] = "velmo.tmp";
const char kScratchNameAlternative[] = "velmo.tm_";

bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

bool sameName(const char* a, const char* b)
{
#ifdef _WIN32
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
#else
    return std::strcmp(a, b) == 0;
#endif
}

} // namespace

int scratchPathFor(const char* target, char* scratch, unsigned size)
{
    std::size_t folderLength = 0;
    for (std::size_t i = 0; target[i] != '\0'; ++i) {
        if (isSeparator(target[i]))
            folderLength = i + 1;
    }
    const char* name = sameName(target + folderLength, kScratchName) ? kScratchNameAlternative
                                                                       : kScratchName;
    std::size_t nameLength = std::strlen(name);
    if (folderLength + nameLength + 1 > size)
        return 0;
    std::memcpy(scratch, target, folderLength);
    std::memcpy(scratch + folderLength, name, nameLength + 1);
    return 1;
}
