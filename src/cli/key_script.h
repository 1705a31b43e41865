// The pacing of scripted key presses for the keyboard modules of a headless run: the first
// key 1000 µs after the start, each further key 1000 µs after the program took the one
// before (its input pulse), or 1000 µs after a key that delivered nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "core/snapshot.h"
#include "core/timer.h"

namespace mira::cli {

class KeyScript {
  public:
    static constexpr int kPaceMs = 1;  // 1000 µs of virtual time

    // press(i) presses key i and says whether it offered a byte the program must take.
    using Press = std::function<bool(size_t)>;
    KeyScript(core::TimerFactory& timers, size_t keyCount, Press press);
    ~KeyScript();
    KeyScript(const KeyScript&) = delete;
    KeyScript& operator=(const KeyScript&) = delete;

    // The run starts: the first key falls due one pace later.
    void start();
    // The module's byte was taken; the next key falls due one pace later.
    void taken();

    size_t pressed() const { return pressed_; }
    size_t left() const { return count_ - pressed_; }

    // Section "KSCR": how far the script is, whether it waits for the program, its timer.
    void saveState(core::SnapshotWriter& w) const;
    void restoreState(core::SnapshotReader& r);

  private:
    void tick();
    void scheduleNext();

    std::unique_ptr<core::Timer> timer_;
    size_t count_;
    Press press_;
    size_t pressed_ = 0;
    bool waiting_ = false;
};

}  // namespace mira::cli
