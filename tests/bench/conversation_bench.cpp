// The cost of one poll tick on the window's thread, over the platform's real
// sockets, for a caller whose typed byte is read and echoed.
#include "engine/conversation.h"

#include "fakes/front_end_fake.h"
#include "support/loopback.h"
#include "support/scripts.h"

#include <benchmark/benchmark.h>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(1);

// FreeBSD, first line: each byte is echoed. The caller's send and the draining
// of the echoes are outside the timed part.
void PollTickWithTypedByte(benchmark::State& state)
{
    ListenerState listener;
    DaemonScript script = builtIn(DaemonFreeBSD);
    startListening(listener, kWindow, 0);
    SocketHandle caller = loopbackConnect(netLocalPort(listener.listenSocket));
    pollTick(listener, script, "", kWindow);  // accept, telnet greeting, welcome
    SocketSet watched = {1, {caller}}, ready;
    char echoes[4096];
    for (auto _ : state) {
        state.PauseTiming();
        netSend(caller, "a", 1);
        while (netWaitReadable(watched, caller, 0, ready) > 0 && netReceive(caller, echoes, sizeof echoes) > 0) {}
        state.ResumeTiming();
        pollTick(listener, script, "", kWindow);
    }
    if (!listener.callerActive)
        state.SkipWithError("the caller was lost");
    netClose(caller);
    stopListening(listener, kWindow);
}
BENCHMARK(PollTickWithTypedByte)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
