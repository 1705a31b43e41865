#include "timer.h"

#include <algorithm>
#include <limits>

namespace mira::core {

namespace {
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
}

class VirtualClock::VTimer final : public Timer {
public:
    VTimer(VirtualClock* clock, int ms) : clock_(clock), intervalMs_(ms) {
        clock_->timers_.push_back(this);
    }
    ~VTimer() override {
        if (clock_) {
            auto& v = clock_->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
            clock_->recomputeNextDue();
        }
    }
    void setInterval(int ms) override {
        intervalMs_ = ms;
        // A running timer restarts its period, as a Qt timer does.
        if (active_) start();
    }
    int interval() const override { return intervalMs_; }
    void start() override {
        active_ = true;
        due_ = clock_->now_ + std::max<int64_t>(intervalMs_, 0) * 1000;
        serial_ = ++clock_->startSerial_;
        clock_->recomputeNextDue();
    }
    void stop() override {
        active_ = false;
        clock_->recomputeNextDue();
    }
    bool isActive() const override { return active_; }
    void setCallback(std::function<void()> onTick) override { onTick_ = std::move(onTick); }
    int64_t remainingMicros() const override {
        return active_ ? std::max<int64_t>(due_ - clock_->now_, 0) : -1;
    }
    void resumeIn(int64_t us) override {
        active_ = true;
        due_ = clock_->now_ + std::max<int64_t>(us, 0);
        serial_ = ++clock_->startSerial_;
        clock_->recomputeNextDue();
    }

    VirtualClock* clock_;
    int intervalMs_;
    bool active_ = false;
    int64_t due_ = 0;
    uint64_t serial_ = 0;
    std::function<void()> onTick_;
};

VirtualClock::VirtualClock() : nextDue_(kNever) {}

VirtualClock::~VirtualClock() {
    for (auto* t : timers_) t->clock_ = nullptr;
}

std::unique_ptr<Timer> VirtualClock::createTimer(int intervalMs) {
    return std::make_unique<VTimer>(this, intervalMs);
}

void VirtualClock::recomputeNextDue() {
    nextDue_ = kNever;
    for (auto* t : timers_)
        if (t->active_) nextDue_ = std::min(nextDue_, t->due_);
}

void VirtualClock::advanceMicros(int64_t us) {
    const int64_t target = now_ + std::max<int64_t>(us, 0);
    for (;;) {
        // The earliest due timer fires next; ties go to the one started first.
        VTimer* next = nullptr;
        for (auto* t : timers_) {
            if (!t->active_ || t->due_ > target) continue;
            if (!next || t->due_ < next->due_ ||
                (t->due_ == next->due_ && t->serial_ < next->serial_))
                next = t;
        }
        if (!next) break;
        now_ = next->due_;
        // Re-arm before the callback so that a callback may stop or restart the timer.
        // A zero interval still advances by 1 ms so that advance() always terminates.
        next->due_ = now_ + std::max<int64_t>(next->intervalMs_, 1) * 1000;
        recomputeNextDue();
        if (next->onTick_) next->onTick_();
    }
    now_ = target;
    recomputeNextDue();
}

}  // namespace mira::core
