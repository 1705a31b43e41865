// The GUI's fast run against the headless core on the same program: instructions per
// second of each and their ratio, and where a HALT click stops a fast run.
//
// The program is a fixed number of nested ISZ loops ending in a halt, so both runs execute
// exactly the same instructions; the headless figure is RunControl::runHeadless, the GUI
// figure the main window's own fast run (RUN released at FAST, the run-loop request
// serviced with Qt's events processed at the yields, panel repainted at display rate) on
// the offscreen platform with the default fast run speed. A run repeats the program until
// it has lasted the time asked; the table gives every run, then the median and the lowest
// and highest of each column. Rates are per second of the process's processor time, so
// other work on a shared machine does not count against either side.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/panel.h"
#include "core/run_control.h"
#include "devices/alpha_display.h"
#include "gui_bench_support.h"
#include "mira/mira.h"
#include "modules/display57.h"
#include "modules/module_windows.h"
#include "views/debug_views.h"
#include "views/memory.h"

namespace {

using namespace mira;
using namespace mira::bench;

constexpr const char* kHelp =
    "usage: mira8-bench-gui [--seconds S] [--repeat N] [--alpha-only]\n"
    "\n"
    "The GUI's fast run against the headless core on the same program (offscreen).\n"
    "Rates are instructions per second: both runs execute the same instructions.\n"
    "\n"
    "  --seconds S    each run lasts at least S seconds (default 2); the program is\n"
    "                 run again until it has\n"
    "  --repeat N     runs per figure (default 5); the median and the lowest and\n"
    "                 highest run are reported\n"
    "  --alpha-only   only the table of a program writing to the alpha display\n"
    "  --help         this text\n"
    "\n"
    "MIRA8_ENGINE=clock measures the clock-state engine instead of whole instructions.\n";

constexpr int kIsz = 0x40, kJmp = 0xA0, kHlt = 0xF1;
// Counters in page 0 below word 16: the address field of an instruction is 4 bits wide.
constexpr int kInner = 12, kMiddle = 13, kOuter = 14;

// Three nested ISZ loops, `outer` passes of 65 536 inner increments each, then a halt.
void loadProgram(core::Machine& m, int outer) {
    const int code[] = {kIsz | kInner, kJmp | 0, kIsz | kMiddle, kJmp | 0,
                        kIsz | kOuter, kJmp | 0, kHlt};
    for (int i = 0; i < static_cast<int>(std::size(code)); ++i) m.memory[i] = code[i];
    m.memory[kInner] = 0;
    m.memory[kMiddle] = 0;
    m.memory[kOuter] = (256 - outer) & 255;  // ISZ skips to the halt when it wraps to 0
}

// Writes CNT AND 0x5F to output device 0 without waiting: '@'..'_' and cursor and colour
// commands, 256 x 256 x `outer` bytes, then a halt.
constexpr int kCla = 0xE8, kAnd = 0x00, kTad = 0x20, kPut0 = 0xD6;
constexpr int kCnt = 12, kMask = 13, kMid = 14, kOut = 15;
void loadAlphaProgram(core::Machine& m, int outer) {
    const int code[] = {kCla,         kTad | kCnt, kAnd | kMask, kPut0,
                        kIsz | kCnt,  kJmp | 0,    kIsz | kMid,  kJmp | 0,
                        kIsz | kOut,  kJmp | 0,    kHlt};
    for (int i = 0; i < static_cast<int>(std::size(code)); ++i) m.memory[i] = code[i];
    m.memory[kCnt] = 0;
    m.memory[kMask] = 0x5F;
    m.memory[kMid] = 0;
    m.memory[kOut] = (256 - outer) & 255;
}

using Loader = void (*)(core::Machine&, int);

// One execution of the program headless, optionally with the alpha display's logic on
// output device 0.
Run headlessOnce(Loader load, int outer, bool alpha = false) {
    core::Machine m;
    core::RunControl rc(m);
    std::optional<devices::AlphaDisplay> display;
    if (alpha) {
        display.emplace(m.bus);
        display->PutDevice(core::kFirstOutputSlot);
        display->doInit();
        display->command(devices::kAlphaOn);
    }
    load(m, outer);
    m.pc = 0;
    rc.startContinuousFastRun();
    const double t0 = processSeconds();
    const auto r = rc.runHeadless(UINT64_MAX, UINT64_MAX);
    Run run;
    run.seconds = processSeconds() - t0;
    run.states = r.clockStates;
    run.instructions = r.instructions;
    return run;
}

// The run control's fast loop alone, its yields doing nothing: what the loop's structure
// costs before Qt takes any time.
Run bareLoopOnce(int outer, const Run& once) {
    core::Machine m;
    core::RunControl rc(m);
    loadProgram(m, outer);
    m.pc = 0;
    m.switches[core::kSwitchSingleCont] = 1;
    m.switches[core::kSwitchSlowFast] = 1;
    m.liveDisplay = false;
    rc.startRun();
    const double t0 = processSeconds();
    rc.serviceRequest([] { return false; });
    Run run = once;
    run.seconds = processSeconds() - t0;
    return run;
}

// One execution in the window; it must end as the headless execution `once` did.
Run guiOnce(gui::TmiraFM& w, Loader load, int outer, const Run& once) {
    load(w.machine(), outer);
    const Run r = runFromZero(w, true);
    const auto expected = once.instructions & core::kInstructionCountMask;
    if (w.machine().run || r.instructions != expected) {
        std::fprintf(stderr, "GUI run did not end as the headless run did (run %d, %llu instr)\n",
                     int(w.machine().run), static_cast<unsigned long long>(r.instructions));
        std::exit(1);
    }
    Run run = once;
    run.seconds = r.seconds;
    return run;
}

struct GuiSetup {
    bool memoryView = false;
    int speed = 0;  // 0: the default fast run speed
};

Run guiRun(double seconds, int outer, const Run& once, GuiSetup setup = {}) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    prepareWindow(w);
    if (setup.speed > 0) w.machine().fastRunSpeed = setup.speed;
    // The memory view open beside the panel: its rows follow the run at each flush.
    if (setup.memoryView) {
        w.views().ViewMemoryClick();
        (void)QTest::qWaitForWindowExposed(w.views().memFM);
    }
    const Run run = repeatFor(seconds, [&] { return guiOnce(w, loadProgram, outer, once); });
    w.close();
    return run;
}

Run guiAlphaRun(double seconds, int outer, const Run& once) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    prepareWindow(w);
    auto* alpha = w.modules().find<gui::Tdisp57FM>();
    alpha->bindSlot(core::kFirstOutputSlot);
    alpha->initFromMenu();
    alpha->show();
    (void)QTest::qWaitForWindowExposed(alpha);
    alpha->display().command(devices::kAlphaOn);
    const Run run = repeatFor(seconds, [&] { return guiOnce(w, loadAlphaProgram, outer, once); });
    alpha->close();
    w.close();
    return run;
}

struct HaltCheck {
    int instructionsAfterClick = -1;
    bool stoppedAtInstructionEnd = false;
    double msToStop = 0;
    // How late the click's timer ran after it was due: the wait until the fast run next
    // serviced the GUI's events.
    double msLate = 0;
};

// An endless loop at FAST; HALT is pressed from a timer, that is inside one of the fast
// loop's yields, as a user's click arrives.
HaltCheck checkHalt(int speed = 0) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    prepareWindow(w);
    clickSwitch(w, core::kSwitchLoadAddress);
    core::Machine& m = w.machine();
    if (speed > 0) m.fastRunSpeed = speed;
    m.memory[0] = kJmp | 0;
    HaltCheck check;
    int atClick = 0;
    bool pressed = false;
    Clock::time_point clicked;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(500);
    QTimer::singleShot(500, &w, [&] {
        check.msLate = std::chrono::duration<double, std::milli>(Clock::now() - due).count();
        pressed = true;
        atClick = m.instructionCount;
        clicked = Clock::now();
        clickSwitch(w, core::kSwitchHalt, true, false);
    });
    clickSwitch(w, core::kSwitchRun);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((m.run || !pressed) && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (pressed && !m.run) {
        check.msToStop = std::chrono::duration<double, std::milli>(Clock::now() - clicked).count();
        check.instructionsAfterClick = (m.instructionCount - atClick) & core::kInstructionCountMask;
        check.stoppedAtInstructionEnd = m.cycleState == core::kCycleIdle && m.t == 0;
    }
    clickSwitch(w, core::kSwitchHalt, false, true);
    w.close();
    return check;
}

// Outer passes for one execution of about `seconds` headless (at most 255; a run repeats
// the program when that is not enough).
int outerPasses(Loader load, double seconds, bool alpha = false) {
    const Run probe = headlessOnce(load, 1, alpha);
    return std::clamp(static_cast<int>(seconds / std::max(probe.seconds, 1e-6)), 1, 255);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool alphaOnly = false;
    const int status = readOptions(argc, argv, "mira8-bench-gui", kHelp, o, [&](const std::string& a) {
        if (a != "--alpha-only") return false;
        alphaOnly = true;
        return true;
    });
    if (status >= 0) return status;

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows read and write their settings here, not in the user's data directory.
    QTemporaryDir data;
    qputenv("MIRA8_DATA_DIR", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const int speed = core::Machine().fastRunSpeed;
    std::printf("engine: %s; fast run speed %d (the GUI serviced at most every %lld ms)\n",
                core::RunControl::clockEngineRequested() ? "clock states (MIRA8_ENGINE=clock)"
                                                         : "whole instructions",
                speed,
                static_cast<long long>(core::RunControl::eventServiceIntervalNs(speed) / 1'000'000));
    std::printf("rates in instructions per processor second; each run at least %.3g s (the "
                "program repeated until then), %d runs; median (lowest..highest)\n\n",
                o.seconds, o.repeat);

    if (!alphaOnly) {
        const int outer = outerPasses(loadProgram, o.seconds);
        const Run once = headlessOnce(loadProgram, outer);
        std::printf("program: 3 nested ISZ loops, %d outer passes: %llu instructions, %llu clock "
                    "states a time\n",
                    outer, static_cast<unsigned long long>(once.instructions),
                    static_cast<unsigned long long>(once.states));
        std::printf("%-4s %9s %12s %9s %12s %8s %12s %12s %8s\n", "run", "head s", "headless",
                    "GUI s", "GUI", "ratio", "bare loop", "GUI+memview", "ratio");
        std::vector<double> h, g, ratio, bare, view, viewRatio;
        for (int r = 1; r <= o.repeat; ++r) {
            // Interleaved, so that all see the same load on a shared machine.
            const Run hr = repeatFor(o.seconds, [&] { return headlessOnce(loadProgram, outer); });
            const Run gr = guiRun(o.seconds, outer, once);
            const Run br = repeatFor(o.seconds, [&] { return bareLoopOnce(outer, once); });
            const Run vr = guiRun(o.seconds, outer, once, {true, 0});
            h.push_back(hr.instructionRate());
            g.push_back(gr.instructionRate());
            bare.push_back(br.instructionRate());
            ratio.push_back(g.back() / h.back());
            view.push_back(vr.instructionRate());
            viewRatio.push_back(view.back() / h.back());
            std::printf("%-4d %9.2f %12.4g %9.2f %12.4g %7.1f%% %12.4g %12.4g %7.1f%%\n", r,
                        hr.seconds, h.back(), gr.seconds, g.back(), 100 * ratio.back(), bare.back(),
                        view.back(), 100 * viewRatio.back());
            std::fflush(stdout);
        }
        std::printf("headless     %s\n", rateText(spreadOf(h)).c_str());
        std::printf("GUI          %s, %s of headless\n", rateText(spreadOf(g)).c_str(),
                    percentText(spreadOf(ratio)).c_str());
        std::printf("bare loop    %s\n", rateText(spreadOf(bare)).c_str());
        std::printf("GUI+memview  %s, %s of headless\n", rateText(spreadOf(view)).c_str(),
                    percentText(spreadOf(viewRatio)).c_str());

        // The fast run speed setting at both ends of its range: the GUI's rate (no view
        // open) and how long a HALT click takes to stop an endless loop.
        std::printf("\nfast run speed  GUI instructions/s          ratio to headless        "
                    "HALT click seen late by (ms)\n");
        for (const int sp : {100, 900}) {
            std::vector<double> rates, speedRatios, haltMs;
            for (int r = 1; r <= o.repeat; ++r) {
                const Run hr = repeatFor(o.seconds, [&] { return headlessOnce(loadProgram, outer); });
                const Run gr = guiRun(o.seconds, outer, once, {false, sp});
                rates.push_back(gr.instructionRate());
                speedRatios.push_back(rates.back() / hr.instructionRate());
                haltMs.push_back(checkHalt(sp).msLate);
            }
            std::printf("%-15d %-27s %-24s %s\n", sp, rateText(spreadOf(rates)).c_str(),
                        percentText(spreadOf(speedRatios)).c_str(),
                        rateText(spreadOf(haltMs)).c_str());
            std::fflush(stdout);
        }
    }

    // The alpha display: the same measure with a program that writes to it all the time.
    const int alphaOuter = outerPasses(loadAlphaProgram, o.seconds, true);
    const Run alphaOnce = headlessOnce(loadAlphaProgram, alphaOuter, true);
    std::printf("\nalpha display open, a program writing to it without pause: %d outer passes, "
                "%llu instructions, %llu bytes written a time\n",
                alphaOuter, static_cast<unsigned long long>(alphaOnce.instructions),
                static_cast<unsigned long long>(65536ull * alphaOuter));
    std::printf("%-4s %9s %12s %9s %12s %8s\n", "run", "head s", "headless", "GUI s", "GUI", "ratio");
    std::vector<double> ah, ag, aratio;
    for (int r = 1; r <= o.repeat; ++r) {
        const Run hr =
            repeatFor(o.seconds, [&] { return headlessOnce(loadAlphaProgram, alphaOuter, true); });
        const Run gr = guiAlphaRun(o.seconds, alphaOuter, alphaOnce);
        ah.push_back(hr.instructionRate());
        ag.push_back(gr.instructionRate());
        aratio.push_back(ag.back() / ah.back());
        std::printf("%-4d %9.2f %12.4g %9.2f %12.4g %7.1f%%\n", r, hr.seconds, ah.back(), gr.seconds,
                    ag.back(), 100 * aratio.back());
        std::fflush(stdout);
    }
    std::printf("headless     %s\n", rateText(spreadOf(ah)).c_str());
    std::printf("GUI          %s, %s of headless\n", rateText(spreadOf(ag)).c_str(),
                percentText(spreadOf(aratio)).c_str());

    if (alphaOnly) return 0;
    const HaltCheck halt = checkHalt();
    if (halt.instructionsAfterClick < 0) {
        std::printf("\nHALT: the run did not stop\n");
        return 1;
    }
    std::printf("\nHALT pressed during a fast run: stopped %d instruction(s) after the click, %.1f ms "
                "later, %s\n",
                halt.instructionsAfterClick, halt.msToStop,
                halt.stoppedAtInstructionEnd ? "at an instruction end (cycle idle, T 0)"
                                             : "NOT at an instruction end");
    return halt.stoppedAtInstructionEnd ? 0 : 1;
}
