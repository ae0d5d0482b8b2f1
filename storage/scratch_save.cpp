#include "storage/scratch_save.h"

#include <cerrno>
#include <cstring>

namespace {

enum { kScratchNamesTried = 10 };

bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

// "target.tmp" for attempt 0, "target.N.tmp" after. False when it does not fit.
bool scratchNameFor(const char* target, int attempt, char* scratch, unsigned size)
{
    int length = attempt == 0 ? std::snprintf(scratch, size, "%s.tmp", target)
                              : std::snprintf(scratch, size, "%s.%d.tmp", target, attempt);
    return length > 0 && static_cast<unsigned>(length) < size;
}

// True when the file was written and closed without error; it is closed either way.
bool closeWritten(std::FILE* file)
{
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    return std::fclose(file) == 0 && written;
}

} // namespace

std::FILE* createScratchNamed(const char* target, const char* name, char* scratch, unsigned size)
{
    std::size_t folderLength = 0;
    for (std::size_t i = 0; target[i] != '\0'; ++i) {
        if (isSeparator(target[i]))
            folderLength = i + 1;
    }
    std::size_t nameLength = std::strlen(name);
    if (folderLength + nameLength + 1 > size)
        return nullptr;
    std::memcpy(scratch, target, folderLength);
    std::memcpy(scratch + folderLength, name, nameLength + 1);
    return createNewFile(scratch);
}

std::FILE* openSaveFile(const char* target, char* scratch, unsigned size)
{
    for (int attempt = 0; attempt < kScratchNamesTried; ++attempt) {
        if (!scratchNameFor(target, attempt, scratch, size))
            return nullptr;
        std::FILE* file = createNewFile(scratch);
        if (file)
            return file;
        if (errno != EEXIST)
            break;
    }
    scratch[0] = '\0';
    // Only a refusal to create is worth writing in place for: in a missing
    // folder or on a full disk the target is better left alone.
    if (errno != EACCES && errno != EPERM)
        return nullptr;
    return std::fopen(target, "wb");
}

int finishSave(std::FILE* file, const char* scratch, const char* target)
{
    if (!closeWritten(file)) {
        if (scratch[0] != '\0')
            std::remove(scratch);
        return 0;
    }
    return scratch[0] == '\0' || replaceFile(scratch, target);
}
