#pragma once
// A real TCP caller on 127.0.0.1 for the tests of the platform's socket layer and the benchmark: a blocking socket
// connected to `port`, ~0 on failure. On Windows the socket layer must have been started first.
#include <cstdint>
#ifdef _WIN32
#include <winsock.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#define closesocket close
#endif

inline std::uintptr_t loopbackConnect(int port)
{
    auto client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(port));
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return static_cast<std::uintptr_t>(client);
    closesocket(client);
    return ~std::uintptr_t(0);
}
