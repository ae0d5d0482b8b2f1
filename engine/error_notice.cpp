#include "engine/error_notice.h"

namespace {

const ErrorNotice kNotices[] = {
    {"Error #1", "Listen failed.\n\nWSAStartup()"},
    {"Error #2", "Listen failed.\n\nSocket()"},
    {"Error #3", "Listen failed.\n\nBind()"},
    {"Error #4", "Listen failed.\n\nListen()"},
    {"Error #5", "Listen failed.\n\nAccept()"},
    {"Error #6", "Listen failed.\n\nSend()"},
    {"Error #7", "No custom port set."},
    {"Error #8", "The maximum port number is 65536."},
    {"Error #9", "No log path set."},
    {"Error #10", "File not found."},
    {"Error #11", "Unknown file format."},
    {"Error #12", "The Timer is not set."},
};

// Owners with a notice open right now. Boxes nest (each is modal), so this is
// a stack; the main window and one dialog are the most ever open at once.
enum { kMaxOpenOwners = 8 };
WindowHandle openOwners[kMaxOpenOwners];
int openOwnerCount = 0;

bool noticeOpenFor(WindowHandle owner)
{
    for (int i = 0; i < openOwnerCount; ++i) {
        if (openOwners[i] == owner)
            return true;
    }
    return false;
}

} // namespace

const ErrorNotice* errorNoticeFor(int code)
{
    if (code < 1 || code > static_cast<int>(sizeof kNotices / sizeof kNotices[0]))
        return nullptr;
    return &kNotices[code - 1];
}

void showErrorNotice(WindowHandle owner, int code)
{
    const ErrorNotice* notice = errorNoticeFor(code);
    if (!notice || noticeOpenFor(owner) || openOwnerCount == kMaxOpenOwners)
        return;
    openOwners[openOwnerCount++] = owner;
    frontShowNotice(owner, notice->caption, notice->text);
    --openOwnerCount;
}
