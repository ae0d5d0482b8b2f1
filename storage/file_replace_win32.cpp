#include "storage/file_replace.h"

#include <windows.h>

int replaceFile(const char* scratch, const char* target)
{
    if (MoveFileExA(scratch, target, MOVEFILE_REPLACE_EXISTING))
        return 1;
    DeleteFileA(scratch);
    return 0;
}
