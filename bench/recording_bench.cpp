// What recording every clock state for the timing diagram takes from a run: Normal and
// WIF, headless and in the GUI's fast loop, each against the same clock-state engine with
// nothing listening (argument 0) and with a recorder attached (argument 1); and what
// decoding the recorded entries costs when the samples are read.
//
//   build/dev/bin/mira8-bench-recording
#include <benchmark/benchmark.h>

#include "core/machine.h"
#include "core/run_control.h"
#include "core/signal_recorder.h"
#include "core/wif_cpu.h"
#include "recording_programs.h"

namespace {

using namespace mira::core;
using mira::bench::prepareNormal;
using mira::bench::prepareWif;

constexpr uint64_t kRunStates = 1'000'000;

// A machine running its loop on the clock-state engine, recording when `record`.
template <bool kWif>
struct Rig {
    Machine m;
    RunControl rc{m};
    SignalRecorder recorder;
    explicit Rig(bool record) {
        rc.forceClockEngine = true;
        if (record) rc.setRecorder(&recorder);
        kWif ? prepareWif(m, rc) : prepareNormal(m, rc);
    }
};

// Argument 0: the clock-state engine with nothing listening; 1: recording every state.
template <bool kWif>
void BM_HeadlessRecording(benchmark::State& state) {
    Rig<kWif> rig(state.range(0) != 0);
    for (auto _ : state) {
        auto r = rig.rc.runHeadless(kRunStates, UINT64_MAX);
        benchmark::DoNotOptimize(r);
    }
    state.counters["clock_states/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kRunStates), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadlessRecording<false>)->Name("BM_NormalHeadlessRecording")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeadlessRecording<true>)->Name("BM_WifHeadlessRecording")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The GUI's fast loop at the default yield period, recording or not. Its yields let no
// events in, as almost all of the GUI's do: it services them every few milliseconds.
template <bool kWif>
void BM_FastLoopRecording(benchmark::State& state) {
    Rig<kWif> rig(state.range(0) != 0);
    constexpr int kYields = 5000;
    const uint64_t seen = rig.recorder.statesSeen();
    for (auto _ : state) {
        int yields = 0;
        rig.rc.fastLoop([&] {
            if (++yields == kYields) rig.rc.placeRequest(kRequestContinueSlow);
            return false;
        });
        rig.m.run = true;
    }
    // Recording yields at the end of a cycle, a few states after the fast run speed.
    const double states = state.range(0) != 0
                              ? static_cast<double>(rig.recorder.statesSeen() - seen)
                              : static_cast<double>(state.iterations()) * kYields * rig.m.fastRunSpeed;
    state.counters["clock_states/s"] = benchmark::Counter(states, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FastLoopRecording<false>)->Name("BM_NormalFastLoopRecording")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastLoopRecording<true>)->Name("BM_WifFastLoopRecording")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What reading the samples after a long fast run costs: the entries of its last 100 000
// states decoded (whole Normal cycles run again), as the window does when the run stops.
template <bool kWif>
void BM_DecodeAfterARun(benchmark::State& state) {
    Rig<kWif> rig(true);
    for (auto _ : state) {
        state.PauseTiming();
        rig.rc.runHeadless(kRunStates, UINT64_MAX);
        state.ResumeTiming();
        benchmark::DoNotOptimize(rig.recorder.size());
    }
}
BENCHMARK(BM_DecodeAfterARun<false>)->Name("BM_NormalDecodeAfterARun")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAfterARun<true>)->Name("BM_WifDecodeAfterARun")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
