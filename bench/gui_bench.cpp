// The GUI's fast run against the headless core on the same program: clock states per
// second of each and their ratio, and where a HALT click stops a fast run.
//
//   build/dev/bin/mira8-bench-gui [--seconds S] [--repeat N] [--alpha-only]
//
// A third figure runs the GUI again with the memory view open. A second table runs a
// program that writes characters to the alpha display without pause, headless with the
// display's logic on output device 0 and in the GUI with its window open.
//
// The program is a fixed number of nested ISZ loops ending in a halt, so both runs execute
// exactly the same clock states; the headless figure is RunControl::runHeadless, the GUI
// figure the main window's own fast run (RUN released at FAST, the run-loop request
// serviced with Qt's events processed at the yields, panel repainted at display rate) on
// the offscreen platform with the default fast run speed. A last table runs the GUI at the
// two ends of the fast run speed setting. MIRA8_ENGINE=clock measures the clock-state engine.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/panel.h"
#include "core/run_control.h"
#include "devices/alpha_display.h"
#include "mira/mira.h"
#include "modules/display57.h"
#include "modules/module_windows.h"
#include "views/debug_views.h"
#include "views/memory.h"

namespace {

using namespace mira;
using Clock = std::chrono::steady_clock;

constexpr int kIsz = 0x40, kJmp = 0xA0, kHlt = 0xF1;
// Counters in page 0 below word 16: the address field of an instruction is 4 bits wide.
constexpr int kInner = 12, kMiddle = 13, kOuter = 14;
constexpr int kUpperBand = 197;

class SilentPrompter final : public core::Prompter {
public:
    void info(const std::string&) override {}
    void error(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool askYesNo(const std::string&) override { return true; }
    core::Answer askYesNoCancel(const std::string&) override { return core::Answer::Yes; }
};

// Three nested ISZ loops, `outer` passes of 65 536 inner increments each, then a halt.
void loadProgram(core::Machine& m, int outer) {
    const int code[] = {kIsz | kInner, kJmp | 0, kIsz | kMiddle, kJmp | 0,
                        kIsz | kOuter, kJmp | 0, kHlt};
    for (int i = 0; i < static_cast<int>(std::size(code)); ++i) m.memory[i] = code[i];
    m.memory[kInner] = 0;
    m.memory[kMiddle] = 0;
    m.memory[kOuter] = (256 - outer) & 255;  // ISZ skips to the halt when it wraps to 0
}

struct Run {
    double seconds = 0;
    uint64_t states = 0;
    uint64_t instructions = 0;
    double rate() const { return seconds > 0 ? states / seconds : 0; }
};

Run runHeadless(int outer) {
    core::Machine m;
    core::RunControl rc(m);
    loadProgram(m, outer);
    m.pc = 0;
    rc.startContinuousFastRun();
    const auto t0 = Clock::now();
    const auto r = rc.runHeadless(UINT64_MAX, UINT64_MAX);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    run.states = r.clockStates;
    run.instructions = r.instructions;
    return run;
}

// The run control's fast loop alone, its yields doing nothing: what the loop's structure
// costs before Qt takes any time.
Run runFastLoopBare(int outer, const Run& headless) {
    core::Machine m;
    core::RunControl rc(m);
    loadProgram(m, outer);
    m.pc = 0;
    m.switches[core::kSwitchSingleCont] = 1;
    m.switches[core::kSwitchSlowFast] = 1;
    m.liveDisplay = false;
    rc.startRun();
    const auto t0 = Clock::now();
    rc.serviceRequest([] {});
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    run.states = headless.states;
    run.instructions = headless.instructions;
    return run;
}

void clickSwitch(gui::TmiraFM& w, int i, bool press = true, bool release = true) {
    const QPoint at(core::kSwitchX0[i] + core::kSwitchWidth / 2, kUpperBand);
    if (press) QTest::mousePress(w.image(), Qt::LeftButton, Qt::NoModifier, at);
    if (release) QTest::mouseRelease(w.image(), Qt::LeftButton, Qt::NoModifier, at);
}

// A fresh main window at FAST and continuous, PC 0 loaded from the switches.
void prepareWindow(gui::TmiraFM& w) {
    w.show();
    (void)QTest::qWaitForWindowExposed(&w);
    if (!w.machine().fastClock()) clickSwitch(w, core::kSwitchSlowFast);
    if (!w.machine().continuous()) clickSwitch(w, core::kSwitchSingleCont);
    w.panel().setSRSwitches(false);  // "Set SR Switches" → "All 0"
    clickSwitch(w, core::kSwitchLoadAddress);
}

// RUN released at FAST places request 2 and starts ChgModeTimer; its tick is taken here at
// once, so the clock starts with the fast loop and stops when it returns.
Run runGui(int outer, const Run& headless, bool memoryView = false, int speed = 0) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    prepareWindow(w);
    if (speed > 0) w.machine().fastRunSpeed = speed;
    // The memory view open beside the panel: its rows follow the run at each flush.
    if (memoryView) {
        w.views().ViewMemoryClick();
        (void)QTest::qWaitForWindowExposed(w.views().memFM);
    }
    core::Machine& m = w.machine();
    loadProgram(m, outer);
    clickSwitch(w, core::kSwitchRun);
    w.panel().ChgModeTimer->stop();
    const int count0 = m.instructionCount;
    const auto t0 = Clock::now();
    w.panel().ChgModeTimerTimer();
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    // The same program to the same halt: the same clock states as headless.
    const int done = (m.instructionCount - count0) & core::kInstructionCountMask;
    if (m.run || done != static_cast<int>(headless.instructions & core::kInstructionCountMask)) {
        std::fprintf(stderr, "GUI run did not end as the headless run did (run %d, %d instr)\n",
                     int(m.run), done);
        std::exit(1);
    }
    run.states = headless.states;
    run.instructions = headless.instructions;
    w.close();
    return run;
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

Run runHeadlessAlpha(int outer) {
    core::Machine m;
    core::RunControl rc(m);
    devices::AlphaDisplay alpha(m.bus);
    alpha.PutDevice(core::kFirstOutputSlot);
    alpha.doInit();
    alpha.command(devices::kAlphaOn);
    loadAlphaProgram(m, outer);
    m.pc = 0;
    rc.startContinuousFastRun();
    const auto t0 = Clock::now();
    const auto r = rc.runHeadless(UINT64_MAX, UINT64_MAX);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    run.states = r.clockStates;
    run.instructions = r.instructions;
    return run;
}

Run runGuiAlpha(int outer, const Run& headless) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    prepareWindow(w);
    auto* alpha = w.modules().find<gui::Tdisp57FM>();
    alpha->bindSlot(core::kFirstOutputSlot);
    alpha->initFromMenu();
    alpha->show();
    (void)QTest::qWaitForWindowExposed(alpha);
    alpha->display().command(devices::kAlphaOn);
    core::Machine& m = w.machine();
    loadAlphaProgram(m, outer);
    clickSwitch(w, core::kSwitchRun);
    w.panel().ChgModeTimer->stop();
    const int count0 = m.instructionCount;
    const auto t0 = Clock::now();
    w.panel().ChgModeTimerTimer();
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const int done = (m.instructionCount - count0) & core::kInstructionCountMask;
    if (m.run || done != static_cast<int>(headless.instructions & core::kInstructionCountMask)) {
        std::fprintf(stderr, "GUI alpha run did not end as the headless run did (run %d, %d instr)\n",
                     int(m.run), done);
        std::exit(1);
    }
    run.states = headless.states;
    run.instructions = headless.instructions;
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2;
    int repeat = 5;
    bool alphaOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--repeat" && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else if (a == "--alpha-only")
            alphaOnly = true;
        else {
            std::fprintf(stderr,
                         "usage: mira8-bench-gui [--seconds S] [--repeat N] [--alpha-only]\n");
            return 2;
        }
    }
    if (!(seconds > 0) || repeat < 1) return 2;

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows read and write their settings here, not in the user's data directory.
    QTemporaryDir data;
    qputenv("MIRA8_DATA_DIR", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    if (!alphaOnly) {
        // Size the program so that the headless run takes about the time asked for.
        const Run probe = runHeadless(1);
        const int outer = std::clamp(static_cast<int>(seconds / std::max(probe.seconds, 1e-6)), 1, 255);

        std::printf("program: 3 nested ISZ loops, %d outer passes: %llu clock states, %llu instructions\n",
                    outer, static_cast<unsigned long long>(probe.states * outer),
                    static_cast<unsigned long long>(probe.instructions * outer));
        const int speed = core::Machine().fastRunSpeed;
        std::printf("engine: %s; fast run speed %d (the GUI serviced at most every %lld ms)\n\n",
                    core::RunControl::clockEngineRequested() ? "clock states (MIRA8_ENGINE=clock)"
                                                            : "whole instructions",
                    speed,
                    static_cast<long long>(core::RunControl::eventServiceIntervalNs(speed) / 1'000'000));
        std::printf("%-6s %18s %18s %8s %18s %18s %8s\n", "run", "headless states/s",
                    "GUI states/s", "ratio", "bare loop states/s", "GUI+memory view", "ratio");
        std::vector<double> headlessRates, guiRates, ratios, bareRates, viewRates, viewRatios;
        for (int r = 1; r <= repeat; ++r) {
            // Interleaved, so that all see the same load on a shared machine.
            const Run h = runHeadless(outer);
            const Run g = runGui(outer, h);
            const Run b = runFastLoopBare(outer, h);
            const Run v = runGui(outer, h, true);
            headlessRates.push_back(h.rate());
            guiRates.push_back(g.rate());
            bareRates.push_back(b.rate());
            ratios.push_back(g.rate() / h.rate());
            viewRates.push_back(v.rate());
            viewRatios.push_back(v.rate() / h.rate());
            std::printf("%-6d %18.4g %18.4g %7.1f%% %18.4g %18.4g %7.1f%%\n", r, h.rate(), g.rate(),
                        100 * ratios.back(), b.rate(), v.rate(), 100 * viewRatios.back());
            std::fflush(stdout);
        }
        std::printf("%-6s %18.4g %18.4g %7.1f%% %18.4g %18.4g %7.1f%%\n", "median",
                    median(headlessRates), median(guiRates), 100 * median(ratios), median(bareRates),
                    median(viewRates), 100 * median(viewRatios));

        // The fast run speed setting at both ends of its range: the GUI's rate (no view
        // open) and how long a HALT click takes to stop an endless loop.
        std::printf("\nfast run speed   GUI states/s   ratio to headless   HALT click seen late by\n");
        for (const int sp : {100, 900}) {
            std::vector<double> rates, speedRatios, haltMs;
            for (int r = 1; r <= repeat; ++r) {
                const Run h = runHeadless(outer);
                const Run g = runGui(outer, h, false, sp);
                rates.push_back(g.rate());
                speedRatios.push_back(g.rate() / h.rate());
                haltMs.push_back(checkHalt(sp).msLate);
            }
            std::printf("%-14d %14.4g %18.1f%% %14.1f ms\n", sp, median(rates),
                        100 * median(speedRatios), median(haltMs));
            std::fflush(stdout);
        }

    }

    // The alpha display: the same measure with a program that writes to it all the time.
    const Run alphaProbe = runHeadlessAlpha(1);
    const int alphaOuter =
        std::clamp(static_cast<int>(seconds / std::max(alphaProbe.seconds, 1e-6)), 1, 255);
    std::printf("\nalpha display open, a program writing to it without pause: %d outer passes, "
                "%llu clock states, %llu bytes written\n",
                alphaOuter, static_cast<unsigned long long>(alphaProbe.states * alphaOuter),
                static_cast<unsigned long long>(65536ull * alphaOuter));
    std::printf("%-6s %18s %18s %8s\n", "run", "headless states/s", "GUI states/s", "ratio");
    std::vector<double> alphaHeadless, alphaGui, alphaRatios;
    for (int r = 1; r <= repeat; ++r) {
        const Run h = runHeadlessAlpha(alphaOuter);
        const Run g = runGuiAlpha(alphaOuter, h);
        alphaHeadless.push_back(h.rate());
        alphaGui.push_back(g.rate());
        alphaRatios.push_back(g.rate() / h.rate());
        std::printf("%-6d %18.4g %18.4g %7.1f%%\n", r, h.rate(), g.rate(), 100 * alphaRatios.back());
        std::fflush(stdout);
    }
    std::printf("%-6s %18.4g %18.4g %7.1f%%\n", "median", median(alphaHeadless), median(alphaGui),
                100 * median(alphaRatios));

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
