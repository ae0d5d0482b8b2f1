#pragma once
// A real TCP caller on 127.0.0.1 for the tests of the platform's socket layer
// and the benchmark. The socket layer's own calls then serve it as well.
#include <cstdint>

// A blocking socket connected to `port` on 127.0.0.1; ~0 on failure. On Windows
// the socket layer must have been started first.
std::uintptr_t loopbackConnect(int port);
