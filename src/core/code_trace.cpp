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
