// Headless speed of Normal mode on both engines, the GUI's fast loop and the bare clock-state
// step.
#include <benchmark/benchmark.h>

#include "core/machine.h"
#include "core/normal_cpu.h"
#include "core/run_control.h"
#include "rate_counters.h"

namespace {

using namespace mira::core;
using mira::bench::measureFastLoop;
using mira::bench::setRates;

void prepareLoop(Machine& m, RunControl& rc) {
    m.memory[0] = 0x4A;  // ISZ 10
    m.memory[1] = 0xA0;  // JMP 0
    m.memory[2] = 0xA0;  // JMP 0
    rc.startContinuousFastRun();
}

// The run loop as the CLI uses it: step, stop handling, instruction-end bookkeeping.
// Argument 0 runs the instruction engine, 1 the clock-state engine.
void BM_NormalHeadlessRun(benchmark::State& state) {
    Machine m;
    RunControl rc(m);
    rc.forceClockEngine = state.range(0) != 0;
    prepareLoop(m, rc);
    constexpr uint64_t kStates = 1'000'000;
    uint64_t states = 0, instructions = 0;
    for (auto _ : state) {
        auto r = rc.runHeadless(kStates, UINT64_MAX);
        states += r.clockStates;
        instructions += r.instructions;
        benchmark::DoNotOptimize(r);
    }
    setRates(state, rc.forceClockEngine, static_cast<double>(states),
             static_cast<double>(instructions));
}
BENCHMARK(BM_NormalHeadlessRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The GUI's fast loop with a yield hook that does nothing. Arguments: the engine (0
// instructions, 1 clock states) and the fast run speed, which sets the clock-state engine's
// yield period; the instruction engine yields every kInstructionYieldStates.
void BM_NormalFastLoopYielding(benchmark::State& state) {
    Machine m;
    RunControl rc(m);
    rc.forceClockEngine = state.range(0) != 0;
    prepareLoop(m, rc);
    m.fastRunSpeed = static_cast<int>(state.range(1));
    measureFastLoop(state, m, rc, 5000);
}
BENCHMARK(BM_NormalFastLoopYielding)
    ->Args({0, 200})
    ->Args({1, 200})
    ->Args({1, 900})
    ->Unit(benchmark::kMillisecond);

// The bare step, no run control: the ceiling for the loops above.
void BM_NormalBareStep(benchmark::State& state) {
    Machine m;
    RunControl rc(m);
    prepareLoop(m, rc);
    for (auto _ : state) {
        for (int i = 0; i < 1'000'000; ++i) benchmark::DoNotOptimize(normal::step(m));
    }
    state.counters["clock_states/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NormalBareStep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
