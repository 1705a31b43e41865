// Millisecond timers behind an interface, so machine and module logic can be driven by
// Qt timers in the application and by a virtual clock in tests and the CLI.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace mira::core {

class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    // Called on every tick; a timer that stops itself inside its callback does not fire again.
    virtual void setCallback(std::function<void()> onTick) = 0;
    // For snapshots: time until the next tick, -1 when stopped; and a start whose first
    // tick comes after `us` (then every interval), to continue a restored timer.
    virtual int64_t remainingMicros() const = 0;
    virtual void resumeIn(int64_t us) = 0;

    void setEnabled(bool on) { on ? start() : stop(); }
};

class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> createTimer(int intervalMs) = 0;
};

// Deterministic time: nothing fires until advance() is called. Timers due at the same
// instant fire in the order they were started. Time is kept in microseconds so that the
// CLI can advance by one clock state (1 µs) at a time.
class VirtualClock final : public TimerFactory {
public:
    VirtualClock();
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    std::unique_ptr<Timer> createTimer(int intervalMs) override;

    void advance(int64_t ms) { advanceMicros(ms * 1000); }
    void advanceMicros(int64_t us);
    int64_t nowMicros() const { return now_; }
    int64_t nowMs() const { return now_ / 1000; }

    // Cheap check for hot loops: true when some timer is due at or before `us`.
    bool anyDueBy(int64_t us) const { return nextDue_ <= us; }
    // When the earliest running timer falls due; far in the future when none runs.
    int64_t nextDueMicros() const { return nextDue_; }
    // Moves time to `us` (never back), firing what falls due; cheap when nothing does, so
    // a timer started later counts from the true current time.
    void advanceTo(int64_t us) {
        if (nextDue_ <= us)
            advanceMicros(us - now_);
        else if (us > now_)
            now_ = us;
    }

private:
    class VTimer;
    friend class VTimer;
    void recomputeNextDue();

    int64_t now_ = 0;
    int64_t nextDue_;
    uint64_t startSerial_ = 0;
    std::vector<VTimer*> timers_;
};

}  // namespace mira::core
