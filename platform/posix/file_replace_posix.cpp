#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
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
    // rename() would replace a file without write permission, and a root user may write any.
    struct stat status;
    const bool readOnly = stat(target, &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (!readOnly && std::rename(scratch, target) == 0)
        return 1;
    std::remove(scratch);
    return 0;
}
