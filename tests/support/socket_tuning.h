#pragma once
// Socket options the conversation tests set on the decoy's side of a call.
#include <cstdint>

// Shrinks the send buffer of `socket` (an accepted caller's socket), so that a
// caller who never reads fills it after a few kilobytes.
bool shrinkSendBuffer(std::uintptr_t socket, int bytes);
