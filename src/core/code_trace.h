// The code trace: the addresses of the last 500 executed instructions, oldest first.
// Recording is a store into a ring; text is made only when someone looks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "snapshot.h"

namespace mira::core {

// A WIF address as the trace shows it: four hex digits.
std::string wifTraceAddress(int32_t address);

class CodeTrace final : public StatePart {
public:
    static constexpr int kCapacity = 500;

    void add(int32_t address) {
        Entry& e = entries_[(first_ + count_) % kCapacity];
        e.address = address;
        e.text.clear();
        if (count_ < kCapacity)
            ++count_;
        else
            first_ = (first_ + 1) % kCapacity;
    }
    // A line read back from the trace file.
    void addLine(std::string text);
    void clear() { first_ = count_ = 0; }
    int size() const { return count_; }
    // Entry i (0 = oldest): its address, or −1 for a line read back from a file.
    int32_t addressAt(int i) const;
    // Lines as shown and saved: `format(address)` for recorded entries, the stored text for
    // lines read back from a file.
    std::vector<std::string> lines(const std::function<std::string(int32_t)>& format) const;

    // Section "TRAC", for the history: stepping back shows the trace as it was.
    static constexpr const char* kTag = "TRAC";
    void saveState(SnapshotWriter& w) const override;
    void restoreState(SnapshotReader& r) override;

private:
    struct Entry {
        int32_t address = -1;
        std::string text;
    };
    std::array<Entry, kCapacity> entries_{};
    int first_ = 0;
    int count_ = 0;
};

}  // namespace mira::core
