// Runs the board link on the wall clock over a polled port, as the command line does: the
// link's timers follow the time the host really watched the port.
#pragma once

#include <cstdint>
#include <functional>

#include "board_link.h"
#include "byte_port.h"
#include "core/timer.h"

namespace mira::link {

class WallClock {
public:
    virtual ~WallClock() = default;
    virtual int64_t nowMicros() = 0;
    virtual void sleepMs(int ms) = 0;
};

class LinkLoop {
public:
    LinkLoop(BoardLink& link, PolledPort& port, core::VirtualClock& clock, WallClock& wall)
        : link_(link), port_(port), clock_(clock), wall_(wall), lastWall_(wall.nowMicros()) {}

    // Until the link is idle again (or a data error reset the board); `afterStep` runs
    // after every poll (the command line prints new lines there).
    void runUntilIdle(const std::function<void()>& afterStep = {});

    // Longest stretch of wall time one step passes on to the link's timers: shorter than
    // any of its ticks, so a tick is never judged without a read of the port before it.
    static constexpr int64_t kMaxStepMicros = 50'000;
    static constexpr int kPollMs = 5;

private:
    void advance();

    BoardLink& link_;
    PolledPort& port_;
    core::VirtualClock& clock_;
    WallClock& wall_;
    int64_t lastWall_;
};

}  // namespace mira::link
