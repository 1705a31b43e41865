#include "signal_changes.h"

#include <algorithm>

namespace mira::core {

void SignalChanges::setSignals(std::vector<SignalDef> signals) {
    signals_ = std::move(signals);
    clear();
}

void SignalChanges::clear() {
    lists_.assign(signals_.size(), {});
    begin_ = next_ = 0;
}

void SignalChanges::update(const SignalRecorder& r) {
    if (r.size() == 0) {
        clear();
        return;
    }
    // Lost states, or a recorder that started again: read the ring afresh.
    if (next_ < r.begin() || next_ > r.end() || empty()) {
        clear();
        begin_ = next_ = r.begin();
    }
    for (uint64_t n = next_; n < r.end(); ++n)
        for (std::size_t i = 0; i < signals_.size(); ++i) {
            const SignalValue v = signalValue(signals_[i], r, n);
            auto& list = lists_[i];
            if (list.empty() || !(list.back().value == v)) list.push_back({n, v});
        }
    next_ = r.end();
    // Forget what left the ring, keeping the change in effect at its first state.
    begin_ = r.begin();
    for (auto& list : lists_) {
        while (list.size() > 1 && list[1].state <= begin_) list.pop_front();
        if (!list.empty() && list.front().state < begin_) list.front().state = begin_;
    }
}

std::size_t SignalChanges::indexAt(std::size_t signal, uint64_t n) const {
    const auto& list = lists_[signal];
    auto it = std::upper_bound(list.begin(), list.end(), n,
                               [](uint64_t s, const Change& c) { return s < c.state; });
    return it == list.begin() ? 0 : static_cast<std::size_t>(it - list.begin()) - 1;
}

SignalValue SignalChanges::valueAt(std::size_t signal, uint64_t n) const {
    const auto& list = lists_[signal];
    return list.empty() ? SignalValue{0, true} : list[indexAt(signal, n)].value;
}

}  // namespace mira::core
