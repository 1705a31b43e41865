// Headless speed of WIF execution: the figure a WIF fast run in the GUI is compared with.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/machine.h"
#include "core/run_control.h"
#include "core/timer.h"
#include "core/wif_cpu.h"
#include "rate_counters.h"

namespace {

using namespace mira::core;
using namespace mira::core::wif;
using mira::bench::measureFastLoop;
using mira::bench::setRates;

// A mixed endless loop: literal, register, indirect, stack, table and bit instructions,
// so that every group's common path is measured.
void prepareLoop(Machine& m, RunControl& rc) {
    m.options.mode = OperatingMode::Wif;
    m.updateMemorySize();
    int a = 0;
    auto put = [&](int k, int32_t operand) { m.memory[a++] = encode(k, operand); };
    const int32_t acToReg1 = (0 << 8) | (1 << 6) | 1;
    const int32_t reg1ToReg1 = (1 << 8) | (1 << 6) | 1;
    const int32_t acToIndirect = (0 << 8) | (2 << 6);
    const int loop = a;
    put(kLitLoad, 10);
    put(kMove, acToReg1);                  // RAM 1 = AC
    put(kIncrementSkipZero, reg1ToReg1);   // RAM 1 + 1
    put(kLitAdd, 0x27);
    put(kDecimalAdjust, 0);
    put(kMove, acToIndirect);              // RAM[RAM 0] = AC
    put(kCall, 100);
    put(kBitToggle, (1 << 8) | (3 << 5) | 1);
    put(kTable, 8 | 2);                    // table read, pointer + 1
    put(kLitCompare, (3 << 8) | 0xFF);
    put(kGoto, loop);
    a = 100;
    put(kRotateLeft, reg1ToReg1);
    put(kReturn, 0);
    rc.startContinuousFastRun();
}

// The run loop as the CLI uses it, with the virtual clock the CLI drives (1 µs per state).
// Argument 0 runs the instruction engine, 1 the clock-state engine.
void BM_WifHeadlessRun(benchmark::State& state) {
    VirtualClock clock;
    Machine m;
    m.attachTimers(clock);
    RunControl rc(m);
    rc.forceClockEngine = state.range(0) != 0;
    prepareLoop(m, rc);
    constexpr uint64_t kStates = 1'000'000;
    uint64_t states = 0, instructions = 0;
    for (auto _ : state) {
        auto r = rc.runHeadless(kStates, UINT64_MAX, &clock);
        states += r.clockStates;
        instructions += r.instructions;
        benchmark::DoNotOptimize(r);
    }
    setRates(state, rc.forceClockEngine, static_cast<double>(states),
             static_cast<double>(instructions));
}
BENCHMARK(BM_WifHeadlessRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The GUI's fast loop with a yield hook that does nothing. Arguments: the engine (0
// instructions, 1 clock states) and the fast run speed, which sets the clock-state engine's
// yield period; the instruction engine yields every kInstructionYieldStates.
void BM_WifFastLoopYielding(benchmark::State& state) {
    Machine m;
    RunControl rc(m);
    rc.forceClockEngine = state.range(0) != 0;
    prepareLoop(m, rc);
    m.fastRunSpeed = static_cast<int>(state.range(1));
    measureFastLoop(state, m, rc, 1000);
}
BENCHMARK(BM_WifFastLoopYielding)
    ->Args({0, 200})
    ->Args({1, 200})
    ->Args({1, 900})
    ->Unit(benchmark::kMillisecond);

// The bare step, no run control: the ceiling for the loops above.
void BM_WifBareStep(benchmark::State& state) {
    Machine m;
    RunControl rc(m);
    prepareLoop(m, rc);
    uint64_t instructions = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1'000'000; ++i) {
            const int r = wif::step(m);
            if (r != kStepContinue) ++instructions;
            benchmark::DoNotOptimize(r);
        }
    }
    state.counters["clock_states/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 1e6, benchmark::Counter::kIsRate);
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WifBareStep)->Unit(benchmark::kMillisecond);

// Whole instructions per call: what a run loop gains when it needs no per-step checks.
void BM_WifWholeInstructions(benchmark::State& state) {
    Machine m;
    RunControl rc(m);
    prepareLoop(m, rc);
    uint64_t states = 0, instructions = 0;
    for (auto _ : state) {
        for (int i = 0; i < 250'000; ++i) {
            int s = 0;
            benchmark::DoNotOptimize(wif::runWholeInstruction(m, s));
            states += static_cast<uint64_t>(s);
        }
        instructions += 250'000;
    }
    state.counters["clock_states/s"] =
        benchmark::Counter(static_cast<double>(states), benchmark::Counter::kIsRate);
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WifWholeInstructions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
