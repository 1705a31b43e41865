// The programs the timing diagram's benchmarks run: short loops in both modes whose
// registers, memory and a device line all move.
#pragma once

#include "core/machine.h"
#include "core/run_control.h"
#include "core/wif_cpu.h"

namespace mira::bench {

using namespace mira::core;

// ISZ on a counter, a JMP back, and an output IOT with its pulse: registers, memory
// writes and a device line all move.
inline void prepareNormal(Machine& m, RunControl& rc) {
    const int code[] = {0x4A, 0xD6, 0x2B, 0xA0};  // ISZ 10, OUT 0 transfer+pulse, TAD 11, JMP 0
    for (int i = 0; i < 4; ++i) m.memory[i] = code[i];
    m.memory[11] = 3;
    rc.startContinuousFastRun();
}

inline void prepareWif(Machine& m, RunControl& rc) {
    using namespace mira::core::wif;
    m.options.mode = OperatingMode::Wif;
    m.updateMemorySize();
    const int32_t reg1 = (1 << 8) | (1 << 6) | 1;
    const int32_t code[] = {encode(kLitAdd, 3), encode(kIncrementSkipZero, reg1),
                            encode(kRotateLeft, reg1), encode(kGoto, 0)};
    for (int i = 0; i < 4; ++i) m.memory[i] = code[i];
    rc.startContinuousFastRun();
}

}  // namespace mira::bench
