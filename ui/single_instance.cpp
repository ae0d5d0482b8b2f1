#include "ui/single_instance.h"

#include "resources/resource.h"

#include <cstdint>
#include <cstdio>

namespace {

const char kWindowClass[] = "Velmoranth";
const char kFolderProperty[] = "Velmoranth.Folder";
// How long a second start waits for the first copy's window, which may still
// be in the making (loading settings, starting to listen).
const DWORD kWindowWaitMs = 10000;

std::uint64_t claimedKey;  // 0 when the folder could not be read; then nothing is claimed

// The working folder as one key: full, long-named, upper-cased (Windows
// compares paths without case), hashed so that any path length fits a name.
std::uint64_t folderKey()
{
    char current[MAX_PATH] = {}, full[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length == 0 || length >= sizeof current)
        return 0;
    length = GetLongPathNameA(current, full, sizeof full);
    if (length == 0 || length >= sizeof full)
        lstrcpynA(full, current, sizeof full);
    CharUpperA(full);
    std::uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
    for (const char* c = full; *c != '\0'; ++c)
        hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
    return hash;
}

HWND folderWindow(std::uint64_t key)
{
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kWindowClass, nullptr));)
        if (reinterpret_cast<std::uintptr_t>(GetPropA(w, kFolderProperty)) == key)
            return w;
    return nullptr;
}

void restoreRunningCopy(std::uint64_t key)
{
    DWORD start = GetTickCount();
    HWND window = folderWindow(key);
    for (; !window && GetTickCount() - start < kWindowWaitMs; window = folderWindow(key))
        Sleep(100);
    if (!window)
        return;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    AllowSetForegroundWindow(owner);  // this start was the user's, so the window may come to the front
    PostMessageA(window, WM_COMMAND, IDM_RESTORE, 0);
}

} // namespace

int claimWorkingFolder()
{
    claimedKey = folderKey();
    if (claimedKey == 0)
        return 1;
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Velmoranth-%016llx", static_cast<unsigned long long>(claimedKey));
    // Held until the process ends; the system releases it then.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        restoreRunningCopy(claimedKey);
        return 0;
    }
    return 1;
}

void markFolderWindow(HWND window)
{
    SetPropA(window, kFolderProperty, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(claimedKey)));
}
