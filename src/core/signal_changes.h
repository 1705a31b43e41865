// Each shown signal's changes over the recorded states, brought up to date as the ring moves:
// what the timing diagram draws and reads its cursor values from, so that a repaint walks
// changes (and skips whole runs of them per pixel) instead of every recorded state.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "signal_recorder.h"

namespace mira::core {

class SignalChanges {
public:
    struct Change {
        uint64_t state;
        SignalValue value;
    };

    // New signals: everything is read again at the next update.
    void setSignals(std::vector<SignalDef> signals);
    const std::vector<SignalDef>& signals() const { return signals_; }
    void clear();

    // Takes in the states recorded since the last call and forgets those the ring dropped.
    // States the ring lost before they were read (a fast run) are read from what it holds.
    void update(const SignalRecorder& r);

    // The states covered: begin() <= n < end().
    uint64_t begin() const { return begin_; }
    uint64_t end() const { return next_; }
    bool empty() const { return begin_ == next_; }

    const std::deque<Change>& changes(std::size_t signal) const { return lists_[signal]; }
    // The index of the change in effect at state n (the last at or before it); 0 before
    // the first.
    std::size_t indexAt(std::size_t signal, uint64_t n) const;
    SignalValue valueAt(std::size_t signal, uint64_t n) const;

private:
    std::vector<SignalDef> signals_;
    std::vector<std::deque<Change>> lists_;
    uint64_t begin_ = 0;
    uint64_t next_ = 0;
};

}  // namespace mira::core
