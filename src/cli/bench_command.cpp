#include <chrono>
#include <iostream>
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

int benchCommand(const Args& args, std::ostream& out, std::ostream& err) {
    double seconds = 2.0;
    core::OperatingMode mode = core::OperatingMode::Normal;
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
        } else {
            err << "mira8-cli bench: unknown argument " << args[i] << "\n";
            return kExitUsage;
        }
    }

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
    rc.startContinuousFastRun();

    using Clock = std::chrono::steady_clock;
    constexpr uint64_t kChunk = 20'000'000;
    uint64_t states = 0, instructions = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        const auto r = rc.runHeadless(kChunk, UINT64_MAX, &clock);
        states += r.clockStates;
        instructions += r.instructions;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    out << "clock-states/s: " << static_cast<uint64_t>(states / elapsed) << "\n";
    out << "instructions/s: " << static_cast<uint64_t>(instructions / elapsed) << "\n";
    return kExitOk;
}

}  // namespace mira::cli
