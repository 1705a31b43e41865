// What the modules' snapshot sections share: the slot a module believes it holds and lists
// of small numbers (tape rows, cells, buffered codes), each range-checked as it is read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "core/device.h"
#include "core/snapshot.h"

namespace mira::devices {

// Data that passed the reader's own checks but cannot be a module's state.
inline void refuseIf(bool damaged) {
    if (damaged) throw core::SnapshotError("the state data is damaged");
}

// -1 (none) or a slot up to `last`.
inline int readSlot(core::SnapshotReader& r, int last = core::kSlotCount - 1) {
    return r.i32In(-1, last);
}

// A count, then each value as 16 bits.
inline void writeSmallList(core::SnapshotWriter& w, std::span<const int> values) {
    w.u32(static_cast<uint32_t>(values.size()));
    for (int v : values) w.u16(static_cast<uint16_t>(v));
}

// At most `maxCount` values, each in [lo, hi] (0 <= lo <= hi < 65536).
inline std::vector<int> readSmallList(core::SnapshotReader& r, size_t maxCount, int lo, int hi) {
    const uint32_t n = r.u32();
    refuseIf(n > maxCount);
    std::vector<int> values;
    // The count is only trusted as far as the data can hold it.
    values.reserve(std::min<size_t>(n, r.remaining() / 2));
    for (uint32_t i = 0; i < n; ++i) {
        const int v = r.u16();
        refuseIf(v < lo || v > hi);
        values.push_back(v);
    }
    return values;
}

}  // namespace mira::devices
