#include "platform/file_replace.h"

#include <fcntl.h>
#include <unistd.h>

std::FILE* createNewFile(const char* path)
{
    int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        close(descriptor);
        std::remove(path);
    }
    return file;
}

int replaceFile(const char* scratch, const char* target)
{
    if (std::rename(scratch, target) == 0)
        return 1;
    std::remove(scratch);
    return 0;
}
