// What the two GUI benchmarks share: their options and --help, a quiet prompter, clicks on
// the panel's switches, runs repeated until they have lasted the time asked, and the median
// and spread of a column of figures.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/machine.h"
#include "core/panel.h"
#include "core/prompter.h"
#include "cpu_seconds.h"
#include "instruction_tally.h"
#include "mira/mira.h"

namespace mira::bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

class SilentPrompter final : public core::Prompter {
public:
    void info(const std::string&) override {}
    void error(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    // "Save print roll before continuing?" and the like: no.
    bool askYesNo(const std::string&) override { return false; }
    core::Answer askYesNoCancel(const std::string&) override { return core::Answer::No; }
};

struct Options {
    double seconds = 2;
    int repeat = 5;
};

// Reads --seconds S, --repeat N and --help; `extra` may take any other argument (true when
// it knew it). Returns the status to exit with (0 after --help, 2 on bad usage), or -1 to
// go on. `help` is the program's whole --help text.
inline int readOptions(int argc, char** argv, const char* name, const char* help, Options& o,
                       const std::function<bool(const std::string&)>& extra = {}) {
    const auto bad = [name](const std::string& why) {
        std::fprintf(stderr, "%s: %s (see %s --help)\n", name, why.c_str(), name);
        return 2;
    };
    // Whole text only: "1abc" is refused, not read as 1.
    const auto number = [](const char* text, double& value) {
        try {
            size_t used = 0;
            value = std::stod(text, &used);
            return used == std::string(text).size();
        } catch (...) {
            return false;
        }
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        double v = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(help, stdout);
            return 0;
        }
        if (a == "--seconds") {
            if (i + 1 >= argc || !number(argv[++i], v) || !(v > 0 && v <= 3600))
                return bad("--seconds needs a duration above 0 and up to 3600");
            o.seconds = v;
        } else if (a == "--repeat") {
            if (i + 1 >= argc || !number(argv[++i], v) || v != static_cast<int>(v) || v < 1 ||
                v > 1000)
                return bad("--repeat needs a whole number from 1 to 1000");
            o.repeat = static_cast<int>(v);
        } else if (!extra || !extra(a)) {
            return bad("unknown argument " + a);
        }
    }
    return -1;
}

// One measured run: its time and the work the machine did in it.
struct Run {
    double seconds = 0;
    uint64_t states = 0;
    uint64_t instructions = 0;
    int executions = 0;
    double instructionRate() const { return seconds > 0 ? instructions / seconds : 0; }
};

// Runs the program again and again until the run has lasted at least `seconds`: however
// fast the machine, a figure never rests on a fraction of the time asked.
inline Run repeatFor(double seconds, const std::function<Run()>& once) {
    Run total;
    do {
        const Run r = once();
        total.seconds += r.seconds;
        total.states += r.states;
        total.instructions += r.instructions;
        ++total.executions;
    } while (total.seconds < seconds);
    return total;
}

// The median of a column and its lowest and highest value.
struct Spread {
    double median = 0, low = 0, high = 0;
};
inline Spread spreadOf(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}
// "1.234e+08 (1.1e+08..1.3e+08)" or, for ratios, "92.1% (88.0..95.3)".
inline std::string rateText(const Spread& s) {
    char text[96];
    std::snprintf(text, sizeof text, "%.4g (%.3g..%.3g)", s.median, s.low, s.high);
    return text;
}
inline std::string percentText(const Spread& s) {
    char text[96];
    std::snprintf(text, sizeof text, "%.1f%% (%.1f..%.1f)", 100 * s.median, 100 * s.low,
                  100 * s.high);
    return text;
}

inline constexpr int kUpperBand = 197;

inline void clickSwitch(gui::TmiraFM& w, int i, bool press = true, bool release = true) {
    const QPoint at(core::kSwitchX0[i] + core::kSwitchWidth / 2, kUpperBand);
    if (press) QTest::mousePress(w.image(), Qt::LeftButton, Qt::NoModifier, at);
    if (release) QTest::mouseRelease(w.image(), Qt::LeftButton, Qt::NoModifier, at);
}

// A fresh main window at FAST and continuous, its switch register all 0.
inline void prepareWindow(gui::TmiraFM& w) {
    w.show();
    (void)QTest::qWaitForWindowExposed(&w);
    if (!w.machine().fastClock()) clickSwitch(w, core::kSwitchSlowFast);
    if (!w.machine().continuous()) clickSwitch(w, core::kSwitchSingleCont);
    w.panel().setSRSwitches(false);  // "Set SR Switches" → "All 0"
}

// A fast run of the program in memory from address 0, as RUN released at FAST starts it:
// the run-loop request is serviced here at once, so the clock starts with the fast loop
// and stops when the program halts (in processor time with processTime). The instructions
// are those the machine counted, which wrap at 2^20; a caller that runs more counts them
// with a YieldTally.
inline Run runFromZero(gui::TmiraFM& w, bool processTime = false) {
    core::Machine& m = w.machine();
    clickSwitch(w, core::kSwitchLoadAddress);
    clickSwitch(w, core::kSwitchRun);
    w.panel().ChgModeTimer->stop();
    const int count0 = m.instructionCount;
    const auto t0 = Clock::now();
    const double cpu0 = processSeconds();
    w.panel().ChgModeTimerTimer();
    Run run;
    run.seconds = processTime ? processSeconds() - cpu0 : secondsSince(t0);
    run.instructions =
        static_cast<uint64_t>((m.instructionCount - count0) & core::kInstructionCountMask);
    return run;
}

// Counts a GUI run's instructions: the count is read whenever the run services Qt's events
// (every 11 ms of run at the usual fast run speed, far fewer instructions than 2^20).
class YieldTally {
public:
    explicit YieldTally(const core::Machine& m) : tally_(m) {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { total_ += tally_.take(); });
        timer_.start();
    }
    uint64_t total() { return total_ += tally_.take(); }

private:
    InstructionTally tally_;
    uint64_t total_ = 0;
    QTimer timer_;
};

}  // namespace mira::bench
