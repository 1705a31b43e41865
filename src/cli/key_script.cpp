#include "cli/key_script.h"

namespace mira::cli {

KeyScript::KeyScript(core::TimerFactory& timers, size_t keyCount, Press press)
    : timer_(timers.createTimer(kPaceMs)), count_(keyCount), press_(std::move(press)) {
    timer_->setCallback([this] { tick(); });
}

KeyScript::~KeyScript() {
    timer_->stop();
}

void KeyScript::start() {
    scheduleNext();
}

void KeyScript::scheduleNext() {
    timer_->stop();
    if (pressed_ < count_) timer_->start();
}

void KeyScript::tick() {
    timer_->stop();
    if (pressed_ >= count_) return;
    const bool delivered = press_(pressed_++);
    if (delivered)
        waiting_ = true;
    else
        scheduleNext();
}

void KeyScript::taken() {
    // An acknowledgement with no scripted key waiting (a program pulsing early) does not
    // hurry the script along.
    if (!waiting_) return;
    waiting_ = false;
    scheduleNext();
}

}  // namespace mira::cli
