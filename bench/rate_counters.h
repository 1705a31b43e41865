// What a benchmark's rates count. Instructions are work on both engines. The clock-state
// engine steps every clock state; the instruction engine steps none: it adds each whole
// instruction's states to virtual time, so its states per second are machine time covered,
// not work done, and carry another name.
#pragma once

#include <benchmark/benchmark.h>

namespace mira::bench {

inline void setRates(benchmark::State& state, bool clockEngine, double states, double instructions) {
    state.SetLabel(clockEngine ? "clock-state engine" : "instruction engine");
    state.counters["instructions/s"] = benchmark::Counter(instructions, benchmark::Counter::kIsRate);
    state.counters[clockEngine ? "clock_states/s" : "virtual_states/s"] =
        benchmark::Counter(states, benchmark::Counter::kIsRate);
}

}  // namespace mira::bench
