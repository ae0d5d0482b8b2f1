// The cost of one poll tick on the window's thread: with nobody calling (the
// bounded readiness wait) and with a caller whose typed byte is read and echoed.
#include "engine/conversation.h"

#include "fakes/front_end_fake.h"
#include "support/loopback.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x57);

struct Decoy {
    ListenerState listener;
    DaemonScript script;
    char logPath[kPathSize] = "";

    explicit Decoy(int kind)
    {
        static DaemonScript table[kScriptTableSize];
        std::memset(table, 0, sizeof table);
        loadBuiltInScripts(table);
        script = table[kind];
        resetFakeFront();
        startListening(listener, kWindow, 0);
        script.port = netLocalPort(listener.listenSocket);
    }
    ~Decoy() { stopListening(listener, kWindow); }
    void tick() { pollTick(listener, script, logPath, kWindow); }
};

void IdlePollTick(benchmark::State& state)
{
    Decoy decoy(DaemonFreeBSD);
    for (auto _ : state)
        decoy.tick();
}
BENCHMARK(IdlePollTick)->Unit(benchmark::kMillisecond);

// FreeBSD, first line: each byte is echoed. The caller's send and the draining
// of the echoes are outside the timed part.
void PollTickWithTypedByte(benchmark::State& state)
{
    Decoy decoy(DaemonFreeBSD);
    LoopbackClient caller;
    caller.connectTo(decoy.script.port);
    decoy.tick();  // accept, telnet greeting, welcome
    caller.receiveAvailable(20);
    long long count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        caller.sendBytes("a");
        if (++count % 512 == 0)
            caller.receiveAvailable(0);
        state.ResumeTiming();
        decoy.tick();
    }
    if (!decoy.listener.callerActive)
        state.SkipWithError("the caller was lost");
}
BENCHMARK(PollTickWithTypedByte)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
