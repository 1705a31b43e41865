#include "code_trace.h"

#include <cstdio>

namespace mira::core {

std::string wifTraceAddress(int32_t address) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(address) & 0xFFFFu);
    return buf;
}

void CodeTrace::addLine(std::string text) {
    add(-1);
    entries_[(first_ + count_ - 1) % kCapacity].text = std::move(text);
}

int32_t CodeTrace::addressAt(int i) const {
    if (i < 0 || i >= count_) return -1;
    return entries_[(first_ + i) % kCapacity].address;
}

std::vector<std::string> CodeTrace::lines(
    const std::function<std::string(int32_t)>& format) const {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count_));
    for (int i = 0; i < count_; ++i) {
        const Entry& e = entries_[(first_ + i) % kCapacity];
        out.push_back(e.address < 0 ? e.text : format(e.address));
    }
    return out;
}

}  // namespace mira::core

namespace mira::core {

void CodeTrace::saveState(SnapshotWriter& w) const {
    w.beginSection(kTag, 1);
    w.u16(static_cast<uint16_t>(count_));
    for (int i = 0; i < count_; ++i) {
        const Entry& e = entries_[(first_ + i) % kCapacity];
        w.i32(e.address);
        if (e.address < 0) w.str(e.text);
    }
    w.endSection();
}

void CodeTrace::restoreState(SnapshotReader& r) {
    r.beginSection(kTag, 1);
    const int n = r.u16();
    if (n > kCapacity) throw SnapshotError("the state data is damaged (code trace)");
    std::array<Entry, kCapacity> read{};
    for (int i = 0; i < n; ++i) {
        read[i].address = r.i32In(-1, 0xFFFF);
        if (read[i].address < 0) read[i].text = r.str();
    }
    r.endSection();
    entries_ = std::move(read);
    first_ = 0;
    count_ = n;
}

}  // namespace mira::core
