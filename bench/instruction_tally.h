// Counting a run's instructions past the 2^20 wrap of the machine's own count.
#pragma once

#include <cstdint>

#include "core/machine.h"

namespace mira::bench {

// Instructions run since the last take(); it must be called before the machine's count
// can wrap (fewer than 2^20 instructions apart).
class InstructionTally {
public:
    explicit InstructionTally(const core::Machine& m) : m_(m), last_(m.instructionCount) {}
    uint64_t take() {
        const auto n =
            static_cast<uint64_t>((m_.instructionCount - last_) & core::kInstructionCountMask);
        last_ = m_.instructionCount;
        return n;
    }

private:
    const core::Machine& m_;
    int last_;
};

}  // namespace mira::bench
