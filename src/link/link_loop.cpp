#include "link_loop.h"

#include <algorithm>

namespace mira::link {

void LinkLoop::advance() {
    const int64_t now = wall_.nowMicros();
    // A host that stalled (paused, swapping, a slow sanitizer build) did not watch the
    // port meanwhile: that time is no silence of the board, so it is not counted.
    const int64_t step = std::clamp<int64_t>(now - lastWall_, 0, kMaxStepMicros);
    lastWall_ = now;
    const int64_t target = clock_.nowMicros() + step;
    while (clock_.nextDueMicros() <= target) {
        // What arrived before a tick is judged counts: a reply resets the silence count.
        link_.Serial1RxData();
        clock_.advanceTo(clock_.nextDueMicros());
    }
    clock_.advanceTo(target);
}

void LinkLoop::runUntilIdle(const std::function<void()>& afterStep) {
    lastWall_ = wall_.nowMicros();
    while (link_.busy() && !link_.dataErrorSeen()) {
        if (port_.lost()) wall_.sleepMs(kPollMs);
        else if (port_.waitReadable(kPollMs)) link_.Serial1RxData();
        advance();
        if (afterStep) afterStep();
    }
}

}  // namespace mira::link
