// The printer's cost to the GUI: how long one redraw of the paper takes with a full
// 300-line roll, and a fast run in the GUI with the printer open and printing against the
// same program headless (its printer on the virtual clock).
//
// The program prints a fixed number of lines and halts: it sends "A" with the repeat bit
// (a whole line of A, printed at once), waits on the printer's flag until the line is on
// the paper, and counts the line. Both runs must put every line on the paper; a run that
// prints fewer fails the benchmark instead of giving a ratio. A line takes the printer
// about 0.6 s, so a GUI run lasts that long per line; the headless run repeats the program
// until it has lasted the time asked.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/panel.h"
#include "core/run_control.h"
#include "core/scrambled_file.h"
#include "core/timer.h"
#include "devices/printer.h"
#include "gui_bench_support.h"
#include "mira/mira.h"
#include "modules/module_windows.h"
#include "modules/prntr.h"

namespace {

using namespace mira;
using namespace mira::bench;

constexpr const char* kHelp =
    "usage: mira8-bench-printer [--seconds S] [--repeat N]\n"
    "\n"
    "The time of one redraw of a 300-line paper roll, then a program printing lines\n"
    "(each waits on the printer's flag) run headless and in the GUI with the printer\n"
    "open (offscreen). Both runs must print every line, else the benchmark fails.\n"
    "Rates are instructions per second.\n"
    "\n"
    "  --seconds S    lines to print: as many as the printer needs about S seconds for\n"
    "                 (0.6 s a line), at least 20 and at most 255 (default 2: 20);\n"
    "                 the headless run repeats the program for at least S seconds\n"
    "  --repeat N     runs (default 5); the median and the lowest and highest run\n"
    "                 are reported\n"
    "  --help         this text\n";

constexpr int kCla = 0xE8, kTad = 0x20, kPut0 = 0xD6, kSko0 = 0xD1, kIsz = 0x40, kJmp = 0xA0,
              kHlt = 0xF1;
constexpr int kLines = 14, kChar = 15;
constexpr int kMinLines = 20, kMaxLines = 255;
constexpr double kLineSeconds = 0.6;  // measured: head start, the line, the print step

// CLA; TAD CHAR; PUT 0; SKO 0; JMP 3; ISZ LINES; JMP 0; HLT.
void loadProgram(core::Machine& m, int lines) {
    const int code[] = {kCla, kTad | kChar, kPut0, kSko0, kJmp | 3, kIsz | kLines, kJmp | 0, kHlt};
    for (int i = 0; i < static_cast<int>(std::size(code)); ++i) m.memory[i] = code[i];
    m.memory[kLines] = (256 - lines) & 255;
    m.memory[kChar] = 0x80 | 1;  // A to the end of the line
}

struct Printed {
    Run run;
    size_t lines = 0;  // lines on the paper after each execution (the fewest)
};

Run headlessOnce(int lines, size_t& printed) {
    core::Machine m;
    core::RunControl rc(m);
    core::VirtualClock clock;
    SilentPrompter prompter;
    core::SoundEffects sounds;
    devices::Printer printer(m.bus, clock, prompter, sounds);
    printer.PutDevice(2);
    printer.doInit();
    loadProgram(m, lines);
    m.pc = 0;
    rc.startContinuousFastRun();
    const auto t0 = Clock::now();
    const auto r = rc.runHeadless(UINT64_MAX, UINT64_MAX, &clock);
    Run run;
    run.seconds = secondsSince(t0);
    run.states = r.clockStates;
    run.instructions = r.instructions;
    printed = std::min(printed, printer.roll().size());
    return run;
}

Printed headlessRun(double seconds, int lines) {
    Printed p;
    p.lines = SIZE_MAX;
    p.run = repeatFor(seconds, [&] { return headlessOnce(lines, p.lines); });
    return p;
}

Printed guiRun(int lines) {
    SilentPrompter prompter;
    gui::TmiraFM w(&prompter);
    prepareWindow(w);
    gui::TprnFM& prn = *w.modules().find<gui::TprnFM>();
    prn.bindSlot(2);
    prn.initFromMenu();
    prn.show();
    (void)QTest::qWaitForWindowExposed(&prn);

    core::Machine& m = w.machine();
    loadProgram(m, lines);
    YieldTally tally(m);
    Printed p;
    p.run = runFromZero(w);
    p.run.instructions = tally.total();
    p.run.executions = 1;
    if (m.run) {
        std::fprintf(stderr, "GUI run did not halt\n");
        std::exit(1);
    }
    p.lines = prn.printer().roll().size();
    prn.printer().doReset();
    w.close();
    return p;
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
    std::printf("paper redraw, 300-line roll (%zu lines drawn), us: %s cached, %s shrinking "
                "every line\n\n",
                prn.printer().paperLayout().lines.size(), rateText(spreadOf(warm)).c_str(),
                rateText(spreadOf(cold)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const int status = readOptions(argc, argv, "mira8-bench-printer", kHelp, o);
    if (status >= 0) return status;
    const int lines = std::clamp(static_cast<int>(std::ceil(o.seconds / kLineSeconds)), kMinLines,
                                 kMaxLines);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("MIRA8_DATA_DIR", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    std::printf("median (lowest..highest) of %d runs\n", o.repeat);
    paperRedraw(o.repeat);

    std::printf("program: prints %d lines of A, waiting on the printer's flag after each; "
                "rates in instructions/s;\nthe headless run repeats the program for at least "
                "%.3g s\n",
                lines, o.seconds);
    std::printf("%-4s %9s %8s %12s %9s %8s %12s %8s\n", "run", "head s", "lines", "headless",
                "GUI s", "lines", "GUI", "ratio");
    std::vector<double> ratios, h, g;
    for (int r = 1; r <= o.repeat; ++r) {
        const Printed hr = headlessRun(o.seconds, lines);
        const Printed gr = guiRun(lines);
        h.push_back(hr.run.instructionRate());
        g.push_back(gr.run.instructionRate());
        ratios.push_back(g.back() / h.back());
        std::printf("%-4d %9.2f %8zu %12.4g %9.2f %8zu %12.4g %7.1f%%\n", r, hr.run.seconds, hr.lines,
                    h.back(), gr.run.seconds, gr.lines, g.back(), 100 * ratios.back());
        std::fflush(stdout);
        // No ratio without the printing it is meant to measure.
        for (const auto& [where, printed] : {std::pair{"headless", hr.lines}, std::pair{"GUI", gr.lines}}) {
            if (printed != static_cast<size_t>(lines)) {
                std::fprintf(stderr, "%s run printed %zu of %d lines: no ratio\n", where, printed, lines);
                return 1;
            }
        }
    }
    std::printf("headless  %s\n", rateText(spreadOf(h)).c_str());
    std::printf("GUI       %s, %s of headless, the printer printing\n", rateText(spreadOf(g)).c_str(),
                percentText(spreadOf(ratios)).c_str());
    return 0;
}
