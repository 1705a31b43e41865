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

void KeyScript::saveState(core::SnapshotWriter& w) const {
    w.beginSection("KSCR", 1);
    w.u32(static_cast<uint32_t>(pressed_));
    w.boolean(waiting_);
    core::saveTimer(w, *timer_);
    w.endSection();
}

void KeyScript::restoreState(core::SnapshotReader& r) {
    r.beginSection("KSCR", 1);
    const uint32_t pressed = r.u32();
    const bool waiting = r.boolean();
    const core::TimerState timer = core::readTimer(r);
    r.endSection();
    // The keys are those given now; a state cannot have pressed more of them.
    if (pressed > count_) throw core::SnapshotError("the state was saved with a longer key script");
    pressed_ = pressed;
    waiting_ = waiting;
    core::applyTimer(timer, *timer_);
}

}  // namespace mira::cli
