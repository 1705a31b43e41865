// What the history costs: its memory over 10^7 Normal clock states, how long a step back
// takes at worst, and a fast run with a breakpoint with the history recording or not.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "core/history.h"
#include "core/machine.h"
#include "core/machine_snapshot.h"
#include "core/run_control.h"
#include "rate_counters.h"

namespace {

using namespace mira::core;

constexpr uint64_t kCoveredStates = 10'000'000;

// A machine running a counting loop, with a breakpoint it never reaches, and its history
// wired as the application wires it.
struct Recorded {
    Machine m;
    RunControl rc{m};
    bool wanted = true;
    EmulatorParts parts{m, &rc, {}, {}, {}};
    History::Bytes buffer;
    History h{rc.statesRun,
              {[this] {
                   captureEmulator(parts, buffer);
                   return buffer;
               },
               [this](const History::Bytes& b) { restoreEmulator(parts, b); },
               [this](uint64_t n, bool one) { rc.rerun(n, one); }, [this] { return wanted && m.anyBreakpoint(); }}};

    explicit Recorded(bool clockEngine, int fastRunSpeed = 200) {
        m.memory[0] = 0x4A;  // ISZ 10
        m.memory[1] = 0x6B;  // DCA 11
        m.memory[2] = 0xA0;  // JMP 0
        m.breakpoints[100] = 1;
        rc.forceClockEngine = clockEngine;
        m.fastRunSpeed = fastRunSpeed;
        rc.setHistory(&h);
        rc.startContinuousFastRun();
    }

    // Runs until `states` more clock states have run; `events` is the yield hook.
    template <class F>
    void runFor(uint64_t states, F&& events) {
        const uint64_t until = rc.statesRun + states;
        while (rc.statesRun < until) {
            rc.fastLoop([&] {
                events();
                if (rc.statesRun >= until) rc.placeRequest(kRequestContinueSlow);
                return true;
            });
            m.run = true;
        }
    }
};

// Memory for 10^7 clock states. Argument 0: the fast loop's own yields (instruction
// engine); 1: the clock-state engine yielding every 100 states, with a checkpoint at each
// so that snapshots come as densely as in a stepped run (every 4096 clock states); 2: as 1 with an outside change every 10^4 clock states (a module timer's
// tick); 3: as 1 with 16 memory words rewritten between yields, so that snapshots differ
// from one another in much of memory.
void BM_HistoryMemory(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    double mb = 0, entries = 0, covered = 0;
    for (auto _ : state) {
        Recorded r(kind != 0, 100);
        uint64_t nextInput = 10'000;
        std::mt19937 g(3);
        r.runFor(kCoveredStates, [&] {
            if (kind != 0) r.h.checkpoint();
            if (kind == 3)
                for (int i = 0; i < 16; ++i) r.m.memory[16 + g() % 240] = static_cast<int32_t>(g() & 255);
            if (kind != 2 || r.rc.statesRun < nextInput) return;
            r.h.settle();
            r.m.writeMemory(20 + static_cast<int>(nextInput / 10'000 % 50), 1);
            nextInput += 10'000;
        });
        r.h.seal();
        mb = static_cast<double>(r.h.bytesUsed()) / (1 << 20);
        entries = static_cast<double>(r.h.entryCount());
        covered = static_cast<double>(r.h.end() - r.h.oldest());
    }
    state.counters["MB"] = mb;
    state.counters["snapshots"] = entries;
    state.counters["covered_states"] = covered;
}
BENCHMARK(BM_HistoryMemory)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(1);

// Step back latency over a full 10^7-state history: one clock state back to random points
// (the worst is just before the next snapshot), and one instruction back.
void BM_StepBackLatency(benchmark::State& state) {
    Recorded r(state.range(0) != 0, 100);
    r.runFor(kCoveredStates, [] {});
    r.h.seal();
    std::mt19937_64 g(1);
    double worstMs = 0, totalMs = 0;
    int n = 0;
    for (auto _ : state) {
        const uint64_t target = r.h.oldest() + g() % (r.h.end() - r.h.oldest());
        const auto t0 = std::chrono::steady_clock::now();
        r.h.goTo(target);
        r.h.goBackTo([&] { return r.m.betweenInstructions(); });
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        worstMs = std::max(worstMs, ms);
        totalMs += ms;
        ++n;
    }
    state.counters["worst_ms"] = worstMs;
    state.counters["mean_ms"] = totalMs / n;
    state.counters["spacing"] = static_cast<double>(r.h.spacing());
}
BENCHMARK(BM_StepBackLatency)->Arg(0)->Arg(1)->Iterations(300)->Unit(benchmark::kMillisecond);

// A fast run with a breakpoint: argument 0 without a history, 1 recording. The yield hook
// settles the history as the application does before it services events: when the event
// interval of the usual fast run speed (11 ms) has passed, the clock read every 16 yields.
void BM_FastRunWithBreakpoint(benchmark::State& state) {
    Recorded r(false);
    r.wanted = state.range(0) != 0;
    mira::bench::InstructionTally tally(r.m);
    uint64_t instructions = 0;
    int yields = 0;
    auto lastService = std::chrono::steady_clock::now();
    const auto interval = std::chrono::nanoseconds(RunControl::eventServiceIntervalNs(200));
    for (auto _ : state) {
        r.runFor(50'000'000, [&] {
            instructions += tally.take();
            if (++yields % 16) return;
            const auto now = std::chrono::steady_clock::now();
            if (now - lastService < interval) return;
            lastService = now;
            r.h.settle();
        });
    }
    state.SetLabel(r.wanted ? "history on" : "history off");
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FastRunWithBreakpoint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
