#pragma once
// Real TCP peers on 127.0.0.1 for the tests, independent of the engine's own
// socket layer (Winsock or BSD sockets underneath).
#include <cstddef>
#include <cstdint>
#include <string>

class LoopbackClient {
public:
    LoopbackClient();
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool connectTo(int port);
    bool sendBytes(const std::string& bytes);
    // Everything that arrives until nothing more comes for `quietMs`.
    std::string receiveAvailable(int quietMs = 100);
    // Waits up to `timeoutMs` for exactly `count` bytes (fewer if the peer closes).
    std::string receiveExactly(std::size_t count, int timeoutMs = 3000);
    // True when the peer has closed the connection within `timeoutMs`.
    bool peerClosed(int timeoutMs = 1000);
    // Shrinks the receive buffer before connecting, to fill the window quickly.
    void setSmallReceiveBuffer();
    void closeNow();

private:
    std::uintptr_t socket_;
};

// A listening socket on 127.0.0.1 held by the test, standing for "another program".
class LoopbackListener {
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
    // Listens on a port the system picks; returns it, 0 on failure.
    int listenAnywhere();

private:
    std::uintptr_t socket_;
};

// Starts the platform's socket use for the test process itself (once; it lasts the whole run).
void loopbackStartup();

// A steady clock in milliseconds, for waits and for timing a poll.
long long nowMs();
