#include "support/socket_tuning.h"

#ifdef _WIN32
#include <winsock.h>
#else
#include <sys/socket.h>
#endif

bool shrinkSendBuffer(std::uintptr_t socket, int bytes)
{
#ifdef _WIN32
    return setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes),
                      sizeof bytes) == 0;
#else
    return setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
#endif
}
