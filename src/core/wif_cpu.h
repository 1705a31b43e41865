// WIF-mode execution, one step per call.
#pragma once

#include "machine.h"
#include "normal_cpu.h"

namespace mira::core::wif {

// Not built yet: a WIF step ends the instruction at once and asks to stop, so a WIF run
// halts immediately instead of running garbage.
inline int step(Machine& m) {
    m.t = 0;
    return kStepStop;
}

}  // namespace mira::core::wif
