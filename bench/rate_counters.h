// What a benchmark's rates count. Instructions are work on both engines. The clock-state
// engine steps every clock state; the instruction engine steps none: it adds each whole
// instruction's states to virtual time, so its states per second are machine time covered,
// not work done, and carry another name.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/run_control.h"
#include "instruction_tally.h"

namespace mira::bench {

inline void setRates(benchmark::State& state, bool clockEngine, double states, double instructions) {
    state.SetLabel(clockEngine ? "clock-state engine" : "instruction engine");
    state.counters["instructions/s"] = benchmark::Counter(instructions, benchmark::Counter::kIsRate);
    state.counters[clockEngine ? "clock_states/s" : "virtual_states/s"] =
        benchmark::Counter(states, benchmark::Counter::kIsRate);
}

// The GUI's fast loop with a yield hook that only counts, `yields` yields an iteration, on
// a machine ready to run. The instruction engine yields every kInstructionYieldStates, the
// clock-state engine every fast-run-speed states.
inline void measureFastLoop(benchmark::State& state, core::Machine& m, core::RunControl& rc,
                            int yields) {
    const int period =
        rc.forceClockEngine ? m.fastRunSpeed : core::RunControl::kInstructionYieldStates;
    // Read at every yield, long before the machine's 20-bit count can wrap.
    InstructionTally tally(m);
    uint64_t instructions = 0;
    for (auto _ : state) {
        int n = 0;
        rc.fastLoop([&] {
            instructions += tally.take();
            if (++n == yields) rc.placeRequest(core::kRequestContinueSlow);
            return false;
        });
        m.run = true;
    }
    setRates(state, rc.forceClockEngine, static_cast<double>(state.iterations()) * yields * period,
             static_cast<double>(instructions));
}

}  // namespace mira::bench
