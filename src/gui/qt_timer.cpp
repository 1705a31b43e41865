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
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (onTick_) onTick_();
        });
    }
    void setInterval(int ms) override { timer_.setInterval(ms); }
    int interval() const override { return timer_.interval(); }
    void start() override { timer_.start(); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }
    void setCallback(std::function<void()> onTick) override { onTick_ = std::move(onTick); }

private:
    QTimer timer_;
    std::function<void()> onTick_;
};

}  // namespace

std::unique_ptr<core::Timer> QtTimerFactory::createTimer(int intervalMs) {
    return std::make_unique<QtTimer>(intervalMs);
}

}  // namespace mira::gui
