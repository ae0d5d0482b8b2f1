#include "storage/file_replace.h"

#include <cstdio>

int replaceFile(const char* scratch, const char* target)
{
    if (std::rename(scratch, target) == 0)
        return 1;
    std::remove(scratch);
    return 0;
}
