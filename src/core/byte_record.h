// A record of the bytes a device was sent that keeps only the most recent ones, with a
// count of them all, so a headless run of any length stays in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "snapshot.h"

namespace mira::core {

class ByteRecord {
public:
    static constexpr std::size_t kDefaultKept = 65536;

    explicit ByteRecord(std::size_t kept = kDefaultKept) : kept_(kept == 0 ? 1 : kept) {}

    void push(int byte) {
        if (ring_.size() < kept_) {
            ring_.push_back(byte);
        } else {
            ring_[next_] = byte;
            next_ = (next_ + 1) % kept_;
        }
        ++total_;
    }
    // The kept bytes, oldest first.
    std::vector<int> kept() const {
        std::vector<int> out(ring_.begin() + static_cast<std::ptrdiff_t>(next_), ring_.end());
        out.insert(out.end(), ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(next_));
        return out;
    }
    uint64_t total() const { return total_; }
    bool empty() const { return total_ == 0; }

    // In a machine state: the kept bytes, oldest first, and the count of them all.
    void saveState(SnapshotWriter& w) const {
        const std::vector<int> bytes = kept();
        w.u32(static_cast<uint32_t>(bytes.size()));
        for (int b : bytes) w.u8(static_cast<uint8_t>(b));
        w.i64(static_cast<int64_t>(total_));
    }
    void restoreState(SnapshotReader& r) {
        const uint32_t n = r.u32();
        if (n > kept_ || n > r.remaining()) throw SnapshotError("the state data is damaged");
        std::vector<int> bytes(n);
        for (int& b : bytes) b = r.u8();
        const int64_t total = r.i64();
        if (total < static_cast<int64_t>(n) || (n < kept_ && total != n))
            throw SnapshotError("the state data is damaged");
        ring_ = std::move(bytes);
        next_ = 0;
        total_ = static_cast<uint64_t>(total);
    }

private:
    std::size_t kept_;
    std::vector<int> ring_;
    std::size_t next_ = 0;  // oldest entry once the ring is full
    uint64_t total_ = 0;
};

}  // namespace mira::core
