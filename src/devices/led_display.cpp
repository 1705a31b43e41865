#include "led_display.h"

#include "core/field_list.h"
#include "devices/module_state.h"

namespace mira::devices {

LedDisplay::LedDisplay(LedKind kind, core::DeviceBus& bus, core::TimerFactory& timers,
                       core::Prompter& prompter, LedDisplayHost* host)
    : kind_(kind), bus_(bus), prompter_(prompter), host_(host),
      delayTimer_(timers.createTimer(kDefaultReadyDelay)) {
    delayTimer_->setCallback([this] { delayTimerTimer(); });
    bus_.registerModule(*this);
}

LedDisplay::~LedDisplay() {
    delayTimer_->stop();
    bus_.unregisterModule(*this);
}

int LedDisplay::moduleType() const {
    return kind_ == LedKind::Octal ? core::kModuleOctalLed : core::kModuleDecimalLed;
}

bool LedDisplay::bound() const {
    return slot_ >= 0 && slot_ < core::kSlotCount && bus_.slots[slot_].device == this;
}

void LedDisplay::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
}

int LedDisplay::GetDevice() const { return bound() ? slot_ : -1; }

void LedDisplay::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

void LedDisplay::doInit(bool enable) {
    if (!ledType_ && !nixieAvailable_) ledType_ = true;
    if (host_ && !host_->loadGlyphs(ledType_)) {
        loadFailed();
        return;
    }
    if (host_) host_->drawBackground();
    doReset();
    delayTimer_->setEnabled(enable);
}

void LedDisplay::loadFailed() {
    prompter_.info(kLoadError);
    closePending_ = true;
    delayTimer_->setInterval(kClosePendingMs);
    delayTimer_->start();
}

void LedDisplay::doReset() {
    value_ = 0;
    if (host_) host_->drawDigits();
    startBusy();
}

void LedDisplay::startBusy() {
    // Restarting makes the first tick fall one whole ready delay after the pulse.
    delayTimer_->stop();
    setFlag(1);
    delayTimer_->setInterval(readyDelay_);
    delayTimer_->start();
}

void LedDisplay::UpdateDisplay() {
    if (!bound()) return;
    value_ = bus_.slots[slot_].output & 0xFF;
    if (host_) host_->drawDigits();
}

void LedDisplay::ExecResetFlag(int level) {
    if (level == 0) startBusy();
}

void LedDisplay::delayTimerTimer() {
    if (closePending_) {
        delayTimer_->stop();
        closePending_ = false;
        // The short close interval must not become the next session's ready delay.
        delayTimer_->setInterval(readyDelay_);
        if (host_) host_->closeWindow();
        return;
    }
    setFlag(0);
}

void LedDisplay::close() {
    doReset();
    delayTimer_->stop();
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
}

void LedDisplay::beginOptions() { delayTimer_->stop(); }

bool LedDisplay::acceptOptions(int readyDelay, int format, bool led) {
    if (host_ && !host_->loadGlyphs(led)) {
        loadFailed();
        return false;
    }
    readyDelay_ = readyDelay;
    format_ = format;
    ledType_ = led;
    if (host_) host_->drawBackground();
    return true;
}

void LedDisplay::endOptions() {
    delayTimer_->setInterval(readyDelay_);
    delayTimer_->start();
    if (host_) host_->drawDigits();
}

std::string LedDisplay::stateString(int left, int top) const {
    core::FieldListBuilder b;
    b.add(left).add(top).add(format_).add(readyDelay_).addBool(ledType_);
    return b.str();
}

void LedDisplay::applyState(const std::string& state) {
    format_ = core::parseInt(core::fieldAt(state, 2), 0);
    readyDelay_ = core::parseIntInRange(core::fieldAt(state, 3), kMinReadyDelay,
                                        kMaxRestoredReadyDelay, kDefaultReadyDelay);
    delayTimer_->setInterval(readyDelay_);
    ledType_ = core::parseBool(core::fieldAt(state, 4), true);
    if (host_) host_->drawBackground();
}

namespace {
const char* ledTag(LedKind kind) { return kind == LedKind::Octal ? "LEDO" : "LEDD"; }
}  // namespace

void LedDisplay::saveState(core::SnapshotWriter& w) const {
    w.beginSection(ledTag(kind_), 1);
    w.i32(slot_);
    w.i32(value_);
    w.i32(format_);
    w.boolean(ledType_);
    w.i32(readyDelay_);
    w.boolean(closePending_);
    core::saveTimer(w, *delayTimer_);
    w.endSection();
}

void LedDisplay::restoreState(core::SnapshotReader& r) {
    r.beginSection(ledTag(kind_), 1);
    const int slot = readSlot(r);
    const int value = r.i32In(0, 255);
    // Any format is shown (as the options would pick it), as a settings line may hold one.
    const int format = r.i32();
    const bool led = r.boolean();
    const int delay = r.i32In(kMinReadyDelay, kMaxRestoredReadyDelay);
    const bool closePending = r.boolean();
    const core::TimerState timer = core::readTimer(r);
    r.endSection();

    slot_ = slot;
    value_ = value;
    format_ = format;
    // Without Nixie artwork here the display shows LEDs; what it shows stays the same.
    ledType_ = led || !nixieAvailable_;
    readyDelay_ = delay;
    closePending_ = closePending;
    core::applyTimer(timer, *delayTimer_);
    // The window fetches the glyphs of the restored type when it paints: a restore costs
    // no image work, however often history restores.
    if (host_) {
        host_->drawBackground();
        host_->drawDigits();
    }
}

}  // namespace mira::devices
