// The machine's history: whole-state snapshots at intervals of clock states plus a log of
// what came from outside (panel, modules, serial bytes, tapes, module timer ticks), each
// entry stamped with the clock state at which it acted. Any earlier clock state is rebuilt
// by restoring the nearest snapshot at or before it and re-running clock state by clock
// state. Qt-free: the application and the tests supply how to capture, restore and step.
//
// An outside input is found, not announced: the run loop tells the history when the machine
// is where the history last saw it (settle) and when the next clock state is about to run
// (checkpoint); a state that differs between the two was changed from outside, and the log
// keeps the state before and after it. Re-running therefore never repeats a window's
// action with its side effects (timers started, dialogs); it restores what the action did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "timer.h"

namespace mira::core {

class History {
public:
    using Bytes = std::vector<uint8_t>;
    struct Hooks {
        std::function<Bytes()> capture;
        std::function<void(const Bytes&)> restore;
        // Runs up to `maxStates` clock states (at least one), ending early where the run
        // stops and, with `oneInstruction`, at the end of an instruction; the clock the
        // history was given counts them. Re-running may take whole instructions at once:
        // the machine ends each exactly as clock state by clock state.
        std::function<void(uint64_t maxStates, bool oneInstruction)> run;
        // Whether a history is wanted now, asked at each checkpoint: recording starts and
        // stops with it. Empty: on and off only through setOn.
        std::function<bool()> wanted;
    };
    static constexpr size_t kDefaultBudget = size_t{64} << 20;
    static constexpr uint64_t kDefaultSpan = 10'000'000;
    // Clock states between snapshots taken for the spacing alone: stepped runs; fast-loop
    // yields on the clock-state engine; yields on the whole-instruction engine, which runs
    // so fast that a snapshot must come seldom to keep its speed, and re-runs as fast.
    static constexpr uint64_t kFirstSpacing = 4096;
    static constexpr uint64_t kClockStateYieldSpacing = 32768;
    static constexpr uint64_t kInstructionYieldSpacing = uint64_t{1} << 20;

    // `clock` counts the clock states the machine has run; rebuilding sets it.
    History(uint64_t& clock, Hooks hooks, size_t budgetBytes = kDefaultBudget,
            uint64_t coveredStates = kDefaultSpan, uint64_t firstSpacing = kFirstSpacing);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // Off: nothing is recorded and everything recorded is dropped. On: recording starts
    // from the state now.
    void setOn(bool on);
    bool on() const { return on_; }

    // The machine is where the history expects it (after a clock state it counted, or after
    // a rebuild). Cheap to skip; a checkpoint then only checks the snapshot spacing.
    void settle();
    // The next clock state is about to run: log an outside change since settle, cut the
    // recorded future when running on from an earlier point, snapshot when due (at least
    // `minSpacing` clock states after the last one).
    void checkpoint(uint64_t minSpacing = 0);

    // Clock states that can be rebuilt: [oldest(), end()].
    uint64_t oldest() const;
    uint64_t end() const { return end_; }
    uint64_t now() const { return clock_; }
    // Positioned at an earlier clock state than the recorded end.
    bool inPast() const { return on_ && clock_ < end_; }
    bool rebuilding() const { return rebuilding_; }

    // Makes the present a rebuildable point (before the first step back).
    void seal();
    // Rebuilds clock state `target` (before the outside inputs at it; at end(), after
    // them). False, and nothing changed, when it is outside [oldest(), end()].
    bool goTo(uint64_t target);
    // The latest clock state before now, between two instructions, whose state satisfies
    // `pred`; false if none is recorded. Leaves the machine rebuilt there, or where it was.
    bool goBackTo(const std::function<bool()>& pred);
    // The same forwards through the recorded future, up to end().
    bool goForwardTo(const std::function<bool()>& pred);

    // Figures for benchmarks and tests.
    size_t bytesUsed() const { return bytes_; }
    size_t entryCount() const { return entries_.size(); }
    size_t inputCount() const;
    uint64_t spacing() const { return spacing_; }

private:
    struct Entry {
        uint64_t at = 0;
        bool input = false;                // the state right after an outside change
        std::shared_ptr<const Bytes> key;  // the whole snapshot this one is stored against
        Bytes delta;                       // byte runs that differ from it; empty: whole
        bool isKey() const { return delta.empty(); }
        size_t size() const;
    };
    const Entry* firstAt(uint64_t at) const;
    void add(uint64_t at, bool input, const Bytes& state);
    Bytes decode(size_t index) const;
    void restoreEntry(size_t index);
    // Restores the nearest entry and re-runs to `target`; for the search, `visit` sees
    // every rebuilt clock state from the restored one up to target - 1.
    void rebuild(uint64_t target);
    void cutFuture();
    void enforceBudget();
    void dropOldestBlock();
    bool thinOnce();
    void recount();

    uint64_t& clock_;
    Hooks hooks_;
    size_t budget_;
    uint64_t span_;
    bool on_ = false;
    bool rebuilding_ = false;
    bool settled_ = false;
    uint64_t settledAt_ = 0;
    Bytes expected_;
    uint64_t end_ = 0;
    uint64_t lastSnapshotAt_ = 0;
    uint64_t firstSpacing_;
    uint64_t spacing_;
    std::vector<Entry> entries_;
    size_t bytes_ = 0;
};

// A timer factory whose timers' ticks are outside events: they are dropped while the
// history shows an earlier state (re-running brings them from the log) and otherwise run
// as usual, to be found as changes at the next checkpoint.
class HistoryTimers final : public TimerFactory {
public:
    HistoryTimers(TimerFactory& inner, const History& history) : inner_(inner), history_(history) {}
    std::unique_ptr<Timer> createTimer(int intervalMs) override;

private:
    class Wrapped;
    TimerFactory& inner_;
    const History& history_;
};

}  // namespace mira::core
