#include "qt_timer.h"

#include <QTimer>

namespace mira::gui {

namespace {

class QtTimer final : public core::Timer {
public:
    explicit QtTimer(int ms) {
        // Millisecond intervals are the machine's own timing; coarse timers would slur them.
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(ms);
        interval_ = ms;
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            // A resumed timer's first, shorter period is over: back to its own.
            if (timer_.interval() != interval_) timer_.setInterval(interval_);
            if (onTick_) onTick_();
        });
    }
    void setInterval(int ms) override {
        interval_ = ms;
        timer_.setInterval(ms);
    }
    int interval() const override { return interval_; }
    void start() override { timer_.start(interval_); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }
    void setCallback(std::function<void()> onTick) override { onTick_ = std::move(onTick); }
    int64_t remainingMicros() const override {
        return timer_.isActive() ? int64_t{timer_.remainingTime()} * 1000 : -1;
    }
    void resumeIn(int64_t us) override { timer_.start(static_cast<int>((us + 999) / 1000)); }

private:
    QTimer timer_;
    int interval_ = 0;
    std::function<void()> onTick_;
};

}  // namespace

std::unique_ptr<core::Timer> QtTimerFactory::createTimer(int intervalMs) {
    return std::make_unique<QtTimer>(intervalMs);
}

}  // namespace mira::gui
