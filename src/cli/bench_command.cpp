#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "core/machine.h"
#include "core/run_control.h"
#include "core/timer.h"
#include "core/wif_cpu.h"
#include "devices/keypad.h"
#include "word_file.h"

namespace mira::cli {

namespace {

namespace w = core::wif;

// The loops bench can time, each an endless program from address 0; the poll loops wait on
// a keypad at input device 0 that no key is ever pressed on.
struct Program {
    const char* name;
    core::OperatingMode mode;
    bool keypad;
    std::vector<int32_t> words;  // from address 0
    std::vector<std::pair<int, int32_t>> data;
};

constexpr int32_t kRamFiveToFive = (1 << 8) | (1 << 6) | 32 | 5;  // RAM 5 into RAM 5

const std::vector<Program>& programs() {
    using Mode = core::OperatingMode;
    static const std::vector<Program> all = {
        // ISZ 10 / JMP 0 / JMP 0: a counting loop touching memory every pass.
        {"isz", Mode::Normal, false, {0x4A, 0xA0, 0xA0}, {{10, 0}}},
        // TAD 10 / DCA 11 / JMP 0: memory traffic.
        {"tad", Mode::Normal, false, {0x2A, 0x6B, 0xA0}, {{10, 5}}},
        // JMB 4 / JMP 0, and at 4 the return word and JMP I 4: subroutine calls.
        {"jms", Mode::Normal, false, {0x84, 0xA0, 0, 0, 0, 0xB4}, {}},
        // Skip on input device 0's flag / JMP 0.
        {"poll", Mode::Normal, true, {0xC1, 0xA0}, {}},
        // Increment RAM 5 / GOTO 0.
        {"inc", Mode::Wif, false, {w::encode(w::kIncrement, kRamFiveToFive), w::encode(w::kGoto, 0)}, {}},
        // CALL 2 / GOTO 0 / RETURN.
        {"call", Mode::Wif, false,
         {w::encode(w::kCall, 2), w::encode(w::kGoto, 0), w::encode(w::kReturn, 0)}, {}},
        // Table read of the low byte with the pointer stepped after / GOTO 0.
        {"table", Mode::Wif, false, {w::encode(w::kTable, 2 | 8), w::encode(w::kGoto, 0)}, {}},
        // Skip on input device 0's flag / GOTO 0.
        {"poll", Mode::Wif, true, {w::encode(w::kInputSkip, 0), w::encode(w::kGoto, 0)}, {}},
    };
    return all;
}

const Program* findProgram(const std::string& name, core::OperatingMode mode) {
    for (const Program& p : programs())
        if (name == p.name && p.mode == mode) return &p;
    return nullptr;
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

Rates measure(const Program& program, bool clockEngine, double seconds) {
    core::Machine m;
    m.options.mode = program.mode;
    m.updateMemorySize();
    core::VirtualClock clock;
    m.attachTimers(clock);
    for (size_t i = 0; i < program.words.size(); ++i) m.memory[i] = program.words[i];
    for (const auto& [address, value] : program.data) m.memory[address] = value;
    m.pc = 0;
    std::optional<devices::Keypad> keypad;
    if (program.keypad) {
        keypad.emplace(m.bus);
        keypad->PutDevice(0);
        keypad->doInit();
    }
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
    std::string programName;
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
        } else if (args[i] == "--program") {
            if (i + 1 >= args.size()) {
                err << "mira8-cli bench: --program needs a name\n";
                return kExitUsage;
            }
            programName = args[++i];
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
    // The loop asked for in each mode that has it; without a name the counting loop.
    std::vector<const Program*> chosen;
    for (const auto md : {core::OperatingMode::Normal, core::OperatingMode::Wif}) {
        if (mode && md != *mode) continue;
        const std::string name =
            !programName.empty() ? programName : md == core::OperatingMode::Normal ? "isz" : "inc";
        if (const Program* p = findProgram(name, md)) chosen.push_back(p);
    }
    if (chosen.empty()) {
        err << "mira8-cli bench: --program must be one of";
        for (const Program& p : programs())
            err << " " << p.name << (p.mode == core::OperatingMode::Normal ? " (normal)" : " (wif)");
        err << "\n";
        return kExitUsage;
    }
    // One mode: plain lines; more: each line led by its mode.
    for (const Program* p : chosen) {
        const char* lead = chosen.size() == 1                          ? ""
                           : p->mode == core::OperatingMode::Normal ? "normal "
                                                                     : "wif ";
        print(lead, measure(*p, clockEngine, seconds));
    }
    return kExitOk;
}

}  // namespace mira::cli
