// What recording every clock state for the timing diagram takes from a run: Normal and
// WIF, headless and in the GUI's fast loop, each against the same clock-state engine with
// nothing listening (argument 0) and with a recorder attached (argument 1); and what
// decoding the recorded entries costs when the samples are read. The *RecordingCost
// benchmarks give the share of the rate recording takes, the figure its target is set in
// (at most 15 %), from paired runs, so that a busy machine slows both alike:
//
//   build/dev/bin/mira8-bench-recording --benchmark_filter=Cost --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include "core/machine.h"
#include "core/run_control.h"
#include "core/signal_recorder.h"
#include "core/wif_cpu.h"
#include "cpu_seconds.h"
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
    // The GUI's fast loop for `yields` yields, which let no events in, as almost all of the
    // GUI's do: it services them every few milliseconds.
    void runFastLoop(int yields) {
        int n = 0;
        rc.fastLoop([&] {
            if (++n == yields) rc.placeRequest(kRequestContinueSlow);
            return false;
        });
        m.run = true;
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

// The GUI's fast loop at the default yield period, recording or not.
template <bool kWif>
void BM_FastLoopRecording(benchmark::State& state) {
    Rig<kWif> rig(state.range(0) != 0);
    constexpr int kYields = 5000;
    const uint64_t seen = rig.recorder.statesSeen();
    for (auto _ : state) rig.runFastLoop(kYields);
    // Recording yields at the end of a cycle, a few states after the fast run speed.
    const double states = state.range(0) != 0
                              ? static_cast<double>(rig.recorder.statesSeen() - seen)
                              : static_cast<double>(state.iterations()) * kYields * rig.m.fastRunSpeed;
    state.counters["clock_states/s"] = benchmark::Counter(states, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FastLoopRecording<false>)->Name("BM_NormalFastLoopRecording")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastLoopRecording<true>)->Name("BM_WifFastLoopRecording")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What recording costs a run, as its target is put: the share of the clock-state rate lost
// against the same run not recording. The two runs take turns a few milliseconds each, in
// alternating order, timed in processor seconds, so that a busy or throttled machine
// slows both alike; `recording_cost_%` sums each side over the whole benchmark.
template <bool kWif, bool kFastLoop>
void BM_RecordingCost(benchmark::State& state) {
    Rig<kWif> off(false), on(true);
    const auto run = [](Rig<kWif>& rig) {
        if constexpr (kFastLoop)
            rig.runFastLoop(5000);
        else
            rig.rc.runHeadless(kRunStates, UINT64_MAX);
    };
    double seconds[2] = {}, states[2] = {};
    bool onFirst = false;
    for (auto _ : state) {
        for (const bool recording : {onFirst, !onFirst}) {
            Rig<kWif>& rig = recording ? on : off;
            const uint64_t states0 = rig.rc.statesRun;
            const double t0 = mira::bench::processSeconds();
            run(rig);
            seconds[recording] += mira::bench::processSeconds() - t0;
            states[recording] += static_cast<double>(rig.rc.statesRun - states0);
        }
        onFirst = !onFirst;
    }
    state.counters["recording_cost_%"] =
        100.0 * (1.0 - (states[1] / seconds[1]) / (states[0] / seconds[0]));
}
BENCHMARK(BM_RecordingCost<false, false>)->Name("BM_NormalHeadlessRecordingCost")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordingCost<true, false>)->Name("BM_WifHeadlessRecordingCost")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordingCost<false, true>)->Name("BM_NormalFastLoopRecordingCost")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordingCost<true, true>)->Name("BM_WifFastLoopRecordingCost")->Unit(benchmark::kMillisecond);

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
