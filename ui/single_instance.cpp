#include "ui/single_instance.h"

#include "resources/resource.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

const char kWindowClass[] = "Velmoranth";
const char kFolderProperty[] = "Velmoranth.Folder";
// How long a second start waits for the first copy: for its window, which may
// still be in the making (loading settings, starting to listen), or for its
// claim, which it lets go when it ends.
const DWORD kClaimWaitMs = 10000, kClaimPollMs = 100, kAnswerWaitMs = 2000;
// The longest path the system gives, with its end.
enum { kPathChars = 32768 };

std::uint64_t claimedKey;  // 0 when the folder could not be read; then nothing is claimed
HANDLE claim;              // the folder's mutex, owned from the start to the close sequence

// 64-bit FNV-1a over the text's UTF-16 bytes, low byte first.
std::uint64_t textHash(const wchar_t* text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (; *text != L'\0'; ++text) {
        hash = (hash ^ (static_cast<unsigned>(*text) & 0xFFu)) * 1099511628211ull;
        hash = (hash ^ (static_cast<unsigned>(*text) >> 8)) * 1099511628211ull;
    }
    return hash;
}

// Without the "\\?\" of a final path ("\\?\UNC\" becomes "\\"), so that the
// fallback's plain path of the same folder gives the same key.
wchar_t* withoutPrefix(wchar_t* path)
{
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
        path[6] = L'\\';
        return path + 6;
    }
    return std::wcsncmp(path, L"\\\\?\\", 4) == 0 ? path + 4 : path;
}

// The folder as the file system names it in the end: one name whether it is
// reached through a subst or mapped drive, a UNC path or a junction.
bool finalPath(const wchar_t* folder, wchar_t* path, DWORD size)
{
    HANDLE handle = CreateFileW(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD length = GetFinalPathNameByHandleW(handle, path, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    return length > 0 && length < size;
}

// The working folder as one key: its final path (else its full, long-named
// path), upper-cased by the system's rules as Windows compares names, hashed
// so that any path length fits a name.
std::uint64_t folderKey()
{
    wchar_t current[kPathChars], path[kPathChars];
    DWORD length = GetCurrentDirectoryW(kPathChars, current);
    if (length == 0 || length >= kPathChars)
        return 0;
    if (!finalPath(current, path, kPathChars)) {
        length = GetLongPathNameW(current, path, kPathChars);
        if (length == 0 || length >= kPathChars)
            lstrcpynW(path, current, kPathChars);
    }
    wchar_t* key = withoutPrefix(path);
    CharUpperBuffW(key, lstrlenW(key));
    return textHash(key);
}

HWND folderWindow(std::uint64_t key)
{
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kWindowClass, nullptr));)
        if (reinterpret_cast<std::uintptr_t>(GetPropA(w, kFolderProperty)) == key)
            return w;
    return nullptr;
}

// True when the folder's copy showed its window; a copy that is ending
// answers no.
bool restoreRunningCopy(std::uint64_t key)
{
    HWND window = folderWindow(key);
    if (!window)
        return false;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    AllowSetForegroundWindow(owner);  // this start was the user's, so the window may come to the front
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, kRestoreRequest, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &answer) &&
           answer == kRestoreDone;
}

// Anyone may make the mutex's name first; a decoy that cannot run says so.
FolderClaim folderHeld()
{
    wchar_t folder[MAX_PATH] = L"", text[MAX_PATH + 128] = L"Start failed.\n\nThe folder ";
    GetCurrentDirectoryW(MAX_PATH, folder);
    // Joined by hand: a wide printf would bring a formatter of its own, 11 KB, into the exe.
    lstrcatW(text, folder);
    lstrcatW(text, L" is claimed by another process, so Velmoranth is not running.");
    MessageBoxW(nullptr, text, L"Error!", MB_ICONERROR);
    return FolderHeld;
}

// The mutex exists: the folder's copy answers, or lets go when it ends and
// this start takes its place.
FolderClaim waitForRunningCopy()
{
    FolderClaim result = FolderHeld;
    for (DWORD start = GetTickCount(); result == FolderHeld && GetTickCount() - start < kClaimWaitMs;) {
        DWORD waited = WaitForSingleObject(claim, kClaimPollMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            return FolderClaimed;
        if (restoreRunningCopy(claimedKey))
            result = FolderShownElsewhere;
    }
    CloseHandle(claim);
    claim = nullptr;
    return result == FolderHeld ? folderHeld() : result;
}

} // namespace

FolderClaim claimWorkingFolder()
{
    claimedKey = folderKey();
    if (claimedKey == 0)
        return FolderClaimed;
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Velmoranth-%016llx", static_cast<unsigned long long>(claimedKey));
    // Owned from here on; the system lets it go if the process dies.
    claim = CreateMutexA(nullptr, TRUE, name);
    if (!claim)
        return folderHeld();  // the name is taken by something that is not a mutex
    return GetLastError() == ERROR_ALREADY_EXISTS ? waitForRunningCopy() : FolderClaimed;
}

void markFolderWindow(HWND window)
{
    SetPropA(window, kFolderProperty, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(claimedKey)));
}

void releaseWorkingFolder(HWND window)
{
    RemovePropA(window, kFolderProperty);
    if (!claim)
        return;
    ReleaseMutex(claim);
    CloseHandle(claim);
    claim = nullptr;
}

LRESULT answerRestoreRequest(HWND window)
{
    if (!claim)
        return 0;
    SendMessageA(window, WM_COMMAND, IDM_RESTORE, 0);
    return kRestoreDone;
}
