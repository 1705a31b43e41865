#include <ctime>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "core/machine.h"
#include "core/run_control.h"
#include "core/timer.h"
#include "core/wif_cpu.h"
#include "word_file.h"

namespace mira::cli {

namespace {

// ISZ 10 / JMP 0 / JMP 0: an endless counting loop touching memory every pass.
void loadNormalLoop(core::Machine& m) {
    m.memory[0] = 0x4A;  // ISZ 10
    m.memory[1] = 0xA0;  // JMP 0
    m.memory[2] = 0xA0;  // JMP 0 (after the skip)
    m.memory[10] = 0;
    m.pc = 0;
}

// Increment RAM register 5 / GOTO 0: the WIF counterpart of the loop above.
void loadWifLoop(core::Machine& m) {
    namespace w = core::wif;
    constexpr int32_t kRamOperand = (1 << 8) | (1 << 6) | 32 | 5;  // RAM 5 into RAM 5
    m.memory[0] = w::encode(w::kIncrement, kRamOperand);
    m.memory[1] = w::encode(w::kGoto, 0);
    m.pc = 0;
}

}  // namespace

namespace {

// Processor time of this process: the machine may be shared, and the figure is meant to
// measure the emulator's own work.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Rates {
    uint64_t states = 0;
    uint64_t instructions = 0;
};

Rates measure(core::OperatingMode mode, bool clockEngine, double seconds) {
    core::Machine m;
    m.options.mode = mode;
    m.updateMemorySize();
    core::VirtualClock clock;
    m.attachTimers(clock);
    if (m.isWif())
        loadWifLoop(m);
    else
        loadNormalLoop(m);
    core::RunControl rc(m);
    if (clockEngine) rc.forceClockEngine = true;
    rc.startContinuousFastRun();

    constexpr uint64_t kChunk = 20'000'000;
    uint64_t states = 0, instructions = 0;
    const double start = cpuSeconds();
    double elapsed = 0;
    do {
        const auto r = rc.runHeadless(kChunk, UINT64_MAX, &clock);
        states += r.clockStates;
        instructions += r.instructions;
        elapsed = cpuSeconds() - start;
    } while (elapsed < seconds);
    return {static_cast<uint64_t>(states / elapsed), static_cast<uint64_t>(instructions / elapsed)};
}

}  // namespace

int benchCommand(const Args& args, std::ostream& out, std::ostream& err) {
    double seconds = 2.0;
    std::optional<core::OperatingMode> mode;
    // The clock-state engine when asked for here or by MIRA8_ENGINE=clock.
    bool clockEngine = core::RunControl::clockEngineRequested();
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds") {
            if (i + 1 >= args.size()) {
                err << "mira8-cli bench: --seconds needs a value\n";
                return kExitUsage;
            }
            const std::string& v = args[++i];
            size_t used = 0;
            try {
                seconds = std::stod(v, &used);
            } catch (...) {
                used = 0;
            }
            // Trailing junk ("1abc") is refused, not read as 1.
            if (used != v.size() || !(seconds > 0 && seconds <= 3600)) {
                err << "mira8-cli bench: --seconds needs a duration above 0 and up to 3600\n";
                return kExitUsage;
            }
        } else if (args[i] == "--mode") {
            if (i + 1 >= args.size()) {
                err << "mira8-cli bench: --mode needs normal or wif\n";
                return kExitUsage;
            }
            const std::string& v = args[++i];
            if (v == "normal") {
                mode = core::OperatingMode::Normal;
            } else if (v == "wif") {
                mode = core::OperatingMode::Wif;
            } else {
                err << "mira8-cli bench: --mode must be normal or wif\n";
                return kExitUsage;
            }
        } else if (args[i] == "--engine") {
            if (i + 1 >= args.size()) {
                err << "mira8-cli bench: --engine needs instruction or clock\n";
                return kExitUsage;
            }
            const std::string& v = args[++i];
            if (v == "instruction") {
                clockEngine = false;
            } else if (v == "clock") {
                clockEngine = true;
            } else {
                err << "mira8-cli bench: --engine must be instruction or clock\n";
                return kExitUsage;
            }
        } else {
            err << "mira8-cli bench: unknown argument " << args[i] << "\n";
            return kExitUsage;
        }
    }

    // What a rate counts. Instructions are work on both engines. The clock-state engine
    // steps every clock state; the instruction engine steps none: it adds each whole
    // instruction's states (48 or 72 in Normal mode, 4 in WIF) to virtual time, so its
    // states per second are machine time covered, not work done, and say so.
    const char* statesLabel = clockEngine ? "clock-states/s: " : "virtual-clock-states/s: ";
    const auto print = [&](const std::string& lead, const Rates& r) {
        // States first, as before the labels said what they count: scripts read by position.
        out << lead << statesLabel << r.states << "\n";
        out << lead << "instructions/s: " << r.instructions << "\n";
    };
    if (mode) {
        print("", measure(*mode, clockEngine, seconds));
        return kExitOk;
    }
    // Both modes, each for the given time, each line led by its mode.
    for (const auto md : {core::OperatingMode::Normal, core::OperatingMode::Wif})
        print(md == core::OperatingMode::Normal ? "normal " : "wif ", measure(md, clockEngine, seconds));
    return kExitOk;
}

}  // namespace mira::cli
