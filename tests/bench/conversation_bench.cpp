// The cost of one poll tick on the window's thread, over the platform's real sockets, for a caller whose typed byte
// is read and echoed (FreeBSD, first line). The caller's send and the draining of the echoes are not timed.
#include "engine/conversation.h"

#include "support/scripts.h"

#include <benchmark/benchmark.h>

static void PollTickWithTypedByte(benchmark::State& state)
{
    WindowHandle const window = reinterpret_cast<WindowHandle>(1);
    ListenerState listener;
    DaemonScript script = builtIn(DaemonFreeBSD);
    startListening(listener, window, 0);
    const std::uint8_t loopback[4] = {127, 0, 0, 1};
    NetError error;
    SocketHandle caller = netConnectStart(loopback, netLocalPort(listener.listenSocket), error);
    netConnectPoll(caller, 10000, error);
    pollTick(listener, script, "", window);  // accept, telnet greeting, welcome
    SocketSet watched = {1, {caller}}, ready;
    char echoes[4096];
    for (auto _ : state) {
        state.PauseTiming();
        netSend(caller, "a", 1);
        while (netWaitReadable(watched, caller, 0, ready) > 0 && netReceive(caller, echoes, sizeof echoes) > 0) {}
        state.ResumeTiming();
        pollTick(listener, script, "", window);
    }
    if (!listener.callerActive)
        state.SkipWithError("the caller was lost");
    netClose(caller);
    stopListening(listener, window);
}
BENCHMARK(PollTickWithTypedByte)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
