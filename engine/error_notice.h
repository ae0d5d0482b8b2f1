#pragma once
#include "engine/front_end.h"

enum NoticeCode {
    NoticeStartup = 1,         // "Listen failed.\n\nWSAStartup()"
    NoticeSocket = 2,          // "Listen failed.\n\nSocket()"
    NoticeBind = 3,            // "Listen failed.\n\nBind()"
    NoticeListen = 4,          // "Listen failed.\n\nListen()"
    NoticeAccept = 5,          // "Listen failed.\n\nAccept()"
    NoticeSend = 6,            // "Listen failed.\n\nSend()"
    NoticeNoCustomPort = 7,    // "No custom port set."
    NoticeMaxPort = 8,         // "The maximum port number is 65536."
    NoticeNoLogPath = 9,       // "No log path set."
    NoticeFileNotFound = 10,   // "File not found."
    NoticeUnknownFormat = 11,  // "Unknown file format."
    NoticeTimerNotSet = 12,    // "The Timer is not set."
};

struct ErrorNotice {
    const char* caption;
    const char* text;
};

// The notice for `code`, or nullptr for a code outside 1 to 12.
const ErrorNotice* errorNoticeFor(int code);

// Shows the notice for `code` owned by `owner` and returns when it is closed.
// A code outside 1 to 12 shows nothing. While a notice is open for an owner, a
// further notice for the same owner is dropped: a failure that repeats at every
// poll tick under an unanswered box raises one box, not one per tick.
void showErrorNotice(WindowHandle owner, int code);
