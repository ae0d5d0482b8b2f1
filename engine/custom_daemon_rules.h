#pragma once
// The value rules of the Set Custom Daemon dialog that do not depend on the
// window system: reading the port field and choosing list entries.
#include <cstdint>

// Reads the port field's text as an unsigned 32-bit decimal number. Text that
// does not convert (empty, anything but digits, above 4294967295) reads as 0.
std::uint32_t readPortText(const char* text);

// The notice a port number raises: 7 for 0, 8 above 65535, 0 when accepted.
int portNotice(std::uint32_t port);

// Entries of the reply-count list ("One", "Two") and the timer list ("None" to
// "120 Sec"). A value outside the list (a hand-edited file) falls back to the
// nearest entry, so a list always has a selection and OK never stores a reply
// count of 0 or a negative timer.
enum { kReplyCountEntries = 2, kTimerEntries = 5 };
int replyCountEntry(std::int32_t replyCount);
int timerEntry(std::int32_t timerChoice);
