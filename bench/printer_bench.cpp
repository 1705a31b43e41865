// The printer's cost to the GUI: how long one redraw of the paper takes with a full
// 300-line roll, and a fast run in the GUI with the printer open and printing without a
// pause against the same program headless (its printer on the virtual clock).
//
//   build/dev/bin/mira8-bench-printer [--seconds S] [--repeat N]
//
// The program is nested ISZ loops; once per middle pass it sends "A" with the repeat bit
// and pulses the printer without waiting, so the printer is never idle: it prints a
// line, redraws the paper and starts the next line at once.
#include <QApplication>
#include <QImage>
#include <QPainter>
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
#include "core/scrambled_file.h"
#include "core/timer.h"
#include "devices/printer.h"
#include "mira/mira.h"
#include "modules/module_windows.h"
#include "modules/prntr.h"

namespace {

using namespace mira;
using Clock = std::chrono::steady_clock;

constexpr int kIsz = 0x40, kJmp = 0xA0, kTad = 0x20, kPut0 = 0xD6, kHlt = 0xF1;
constexpr int kInner = 12, kMiddle = 13, kOuter = 14, kChar = 15;
constexpr int kUpperBand = 197;

class SilentPrompter final : public core::Prompter {
public:
    void info(const std::string&) override {}
    void error(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool askYesNo(const std::string&) override { return false; }
    core::Answer askYesNoCancel(const std::string&) override { return core::Answer::No; }
};

void loadProgram(core::Machine& m, int outer) {
    const int code[] = {kIsz | kInner, kJmp | 0, kTad | kChar, kPut0, kIsz | kMiddle, kJmp | 0,
                        kIsz | kOuter, kJmp | 0, kHlt};
    for (int i = 0; i < static_cast<int>(std::size(code)); ++i) m.memory[i] = code[i];
    m.memory[kInner] = 0;
    m.memory[kMiddle] = 0;
    m.memory[kOuter] = (256 - outer) & 255;
    m.memory[kChar] = 0x80 | 1;  // A to the end of the line
}

struct Run {
    double seconds = 0;
    uint64_t states = 0;
    uint64_t instructions = 0;
    size_t lines = 0;
    double rate() const { return seconds > 0 ? states / seconds : 0; }
};

Run runHeadless(int outer) {
    core::Machine m;
    core::RunControl rc(m);
    core::VirtualClock clock;
    SilentPrompter prompter;
    core::SoundEffects sounds;
    devices::Printer printer(m.bus, clock, prompter, sounds);
    printer.PutDevice(2);
    printer.doInit();
    loadProgram(m, outer);
    m.pc = 0;
    rc.startContinuousFastRun();
    const auto t0 = Clock::now();
    const auto r = rc.runHeadless(UINT64_MAX, UINT64_MAX, &clock);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    run.states = r.clockStates;
    run.instructions = r.instructions;
    run.lines = printer.roll().size();
    return run;
}

void clickSwitch(gui::TmiraFM& w, int i) {
    const QPoint at(core::kSwitchX0[i] + core::kSwitchWidth / 2, kUpperBand);
    QTest::mousePress(w.image(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(w.image(), Qt::LeftButton, Qt::NoModifier, at);
}

Run runGui(int outer, const Run& headless) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    w.show();
    (void)QTest::qWaitForWindowExposed(&w);
    if (!w.machine().fastClock()) clickSwitch(w, core::kSwitchSlowFast);
    if (!w.machine().continuous()) clickSwitch(w, core::kSwitchSingleCont);
    w.panel().setSRSwitches(false);
    clickSwitch(w, core::kSwitchLoadAddress);
    gui::TprnFM& prn = *w.modules().find<gui::TprnFM>();
    prn.bindSlot(2);
    prn.initFromMenu();
    prn.show();
    (void)QTest::qWaitForWindowExposed(&prn);

    core::Machine& m = w.machine();
    loadProgram(m, outer);
    clickSwitch(w, core::kSwitchRun);
    w.panel().ChgModeTimer->stop();
    const int count0 = m.instructionCount;
    const auto t0 = Clock::now();
    w.panel().ChgModeTimerTimer();
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const int done = (m.instructionCount - count0) & core::kInstructionCountMask;
    if (m.run || done != static_cast<int>(headless.instructions & core::kInstructionCountMask)) {
        std::fprintf(stderr, "GUI run did not end as the headless run did\n");
        std::exit(1);
    }
    run.states = headless.states;
    run.instructions = headless.instructions;
    run.lines = prn.printer().roll().size();
    prn.printer().doReset();
    w.close();
    return run;
}

// Redraws of the paper with a 300-line roll: the usual redraw (line pictures cached) and
// one that shrinks every visible line afresh (after a change of screen density).
void paperRedraw(int repeat) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    gui::TprnFM& prn = *w.modules().find<gui::TprnFM>();
    QTemporaryDir dir;
    std::vector<std::string> roll;
    for (int i = 0; i < 300; ++i) {
        std::string line;
        for (int c = 0; c < 20; ++c) line += std::to_string((i * 7 + c * 3) % 64) + "~";
        roll.push_back(line);
    }
    const std::string file = dir.filePath(QStringLiteral("roll.prf")).toStdString();
    if (!core::writeContainerFile(file, roll) || !prn.printer().loadFile(file)) {
        std::fprintf(stderr, "cannot make the roll\n");
        std::exit(1);
    }
    QImage paper(devices::Printer::kPaperWidth, devices::Printer::kPaperHeight, QImage::Format_RGB32);
    auto time = [&](bool cold, int n) {
        const auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            if (cold) prn.clearLineCache();
            QPainter p(&paper);
            prn.paintPaper(p);
        }
        return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / n;
    };
    time(false, 10);  // warm up
    std::vector<double> warm, cold;
    for (int r = 0; r < repeat; ++r) {
        warm.push_back(time(false, 2000));
        cold.push_back(time(true, 200));
    }
    std::sort(warm.begin(), warm.end());
    std::sort(cold.begin(), cold.end());
    std::printf("paper redraw, 300-line roll (%zu lines drawn): %.1f us cached, %.1f us shrinking "
                "every line (medians of %d)\n\n",
                prn.printer().paperLayout().lines.size(), warm[warm.size() / 2], cold[cold.size() / 2],
                repeat);
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
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--repeat" && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: mira8-bench-printer [--seconds S] [--repeat N]\n");
            return 2;
        }
    }
    if (!(seconds > 0) || repeat < 1) return 2;

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("MIRA8_DATA_DIR", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    paperRedraw(repeat);

    const Run probe = runHeadless(1);
    const int outer = std::clamp(static_cast<int>(seconds / std::max(probe.seconds, 1e-6)), 1, 255);
    std::printf("program: ISZ loops sending a repeated A to the printer once per middle pass, %d "
                "outer passes: %llu clock states\n",
                outer, static_cast<unsigned long long>(probe.states * outer));
    std::printf("%-6s %18s %18s %8s %14s %10s\n", "run", "headless states/s", "GUI states/s", "ratio",
                "headless lines", "GUI lines");
    std::vector<double> ratios, h, g;
    for (int r = 1; r <= repeat; ++r) {
        const Run hr = runHeadless(outer);
        const Run gr = runGui(outer, hr);
        h.push_back(hr.rate());
        g.push_back(gr.rate());
        ratios.push_back(gr.rate() / hr.rate());
        std::printf("%-6d %18.4g %18.4g %7.1f%% %14zu %10zu\n", r, hr.rate(), gr.rate(), 100 * ratios.back(),
                    hr.lines, gr.lines);
        std::fflush(stdout);
    }
    std::printf("%-6s %18.4g %18.4g %7.1f%%\n", "median", median(h), median(g), 100 * median(ratios));
    return 0;
}
