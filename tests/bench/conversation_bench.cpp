// The cost of one poll tick on the window's thread, over the platform's real
// sockets, for a caller whose typed byte is read and echoed.
#include "engine/conversation.h"

#include "fakes/front_end_fake.h"
#include "support/loopback.h"
#include "support/scripts.h"

#include <benchmark/benchmark.h>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(1);

struct Decoy {
    ListenerState listener;
    DaemonScript script = builtIn(DaemonFreeBSD);

    Decoy()
    {
        resetFakeFront();
        startListening(listener, kWindow, 0);
        script.port = netLocalPort(listener.listenSocket);
    }
    ~Decoy() { stopListening(listener, kWindow); }
    void tick() { pollTick(listener, script, "", kWindow); }
};

// FreeBSD, first line: each byte is echoed. The caller's send and the draining
// of the echoes are outside the timed part.
void PollTickWithTypedByte(benchmark::State& state)
{
    Decoy decoy;
    SocketHandle caller = loopbackConnect(decoy.script.port);
    decoy.tick();  // accept, telnet greeting, welcome
    char echoes[4096];
    for (auto _ : state) {
        state.PauseTiming();
        netSend(caller, "a", 1);
        SocketSet watched, ready;
        socketSetClear(watched);
        socketSetAdd(watched, caller);
        while (netWaitReadable(watched, caller, 0, ready) > 0 && netReceive(caller, echoes, sizeof echoes) > 0) {
        }
        state.ResumeTiming();
        decoy.tick();
    }
    if (!decoy.listener.callerActive)
        state.SkipWithError("the caller was lost");
    netClose(caller);
}
BENCHMARK(PollTickWithTypedByte)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
