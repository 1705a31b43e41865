// The timing diagram's drawing costs: reading a full ring of 100 000 states into change
// lists, and one repaint of a 1600 x 800 diagram over those states at zooms from 48 pixels
// a state to 256 states a pixel. (What recording costs a run: mira8-bench-recording.)
//
//   QT_QPA_PLATFORM=offscreen build/dev/bin/mira8-bench-timing
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "core/machine.h"
#include "core/run_control.h"
#include "core/signal_changes.h"
#include "core/signal_recorder.h"
#include "recording_programs.h"
#include "views/timing.h"
#include "views/timing_paint.h"

namespace {

using namespace mira;
using namespace mira::core;
using mira::bench::prepareNormal;

// A full ring of a Normal run and the window's default signals plus the instruction lamps.
struct FullRing {
    Machine m;
    RunControl rc{m};
    SignalRecorder recorder;
    SignalChanges changes;
    FullRing() {
        rc.setRecorder(&recorder);
        prepareNormal(m, rc);
        rc.runHeadless(SignalRecorder::kDefaultCapacity + 1234, UINT64_MAX);
        changes.setSignals(pickSignals(machineSignals(m, {}),
                                       std::string(gui::TtimingFM::kDefaultSignals) + ",panel"));
        changes.update(recorder);
    }
};

void BM_ChangeListsOfAFullRing(benchmark::State& state) {
    FullRing ring;
    for (auto _ : state) {
        ring.changes.clear();
        ring.changes.update(ring.recorder);
        benchmark::DoNotOptimize(ring.changes.end());
    }
    state.counters["signals"] = static_cast<double>(ring.changes.signals().size());
}
BENCHMARK(BM_ChangeListsOfAFullRing)->Unit(benchmark::kMillisecond);

// Argument: pixels per state times 256.
void BM_Paint(benchmark::State& state) {
    static FullRing ring;
    QImage image(1600, 800, QImage::Format_RGB32);
    gui::TimingView view;
    view.pixelsPerState = static_cast<double>(state.range(0)) / 256.0;
    const double visible = view.statesAcross(image.width());
    view.firstState = std::max(static_cast<double>(ring.changes.begin()),
                               static_cast<double>(ring.changes.end()) - visible);
    view.cursor = static_cast<int64_t>(ring.changes.end()) - 10;
    view.marker1 = static_cast<int64_t>(ring.changes.begin()) + 5;
    for (auto _ : state) {
        QPainter p(&image);
        gui::paintTiming(p, image.size(), ring.changes, view);
    }
    state.counters["states_shown"] = std::min(visible, static_cast<double>(ring.recorder.size()));
}
BENCHMARK(BM_Paint)
    ->Arg(48 * 256)->Arg(12 * 256)->Arg(256)->Arg(64)->Arg(16)->Arg(4)->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
