#include "platform/file_replace.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

std::FILE* createNewFile(const char* path)
{
    int descriptor = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = _fdopen(descriptor, "wb");
    if (!file) {
        _close(descriptor);
        DeleteFileA(path);
    }
    return file;
}

int replaceFile(const char* scratch, const char* target)
{
    // Windows refuses to replace it; Wine would not, so it is asked first.
    const DWORD attributes = GetFileAttributesA(target);
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (!readOnly && MoveFileExA(scratch, target, MOVEFILE_REPLACE_EXISTING))
        return 1;
    DeleteFileA(scratch);
    return 0;
}
