// A record of the bytes a device was sent that keeps only the most recent ones, with a
// count of them all, so a headless run of any length stays in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

private:
    std::size_t kept_;
    std::vector<int> ring_;
    std::size_t next_ = 0;  // oldest entry once the ring is full
    uint64_t total_ = 0;
};

}  // namespace mira::core
