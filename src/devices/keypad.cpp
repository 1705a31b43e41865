#include "keypad.h"

#include "devices/module_state.h"

namespace mira::devices {

std::string inputDeviceLabel(int slot) {
    if (slot == 0) return "Input Device 0";
    if (slot == 1) return "Input Device 1";
    return "No Device Set";
}

Keypad::Keypad(core::DeviceBus& bus, KeypadHost* host) : bus_(bus), host_(host) {
    bus_.registerModule(*this);
}

Keypad::~Keypad() {
    bus_.unregisterModule(*this);
}

bool Keypad::bound() const {
    return slot_ >= 0 && slot_ < core::kFirstOutputSlot && bus_.slots[slot_].device == this;
}

int Keypad::GetDevice() const {
    return bound() ? slot_ : -1;
}

// A machine reset frees the slot while the window stays open; the free slot's flag must
// then stay 1, so an unbound keypad writes no flag.
void Keypad::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

void Keypad::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
    setFlag(0);
}

void Keypad::doInit() {
    keyData_ = 0;
    if (host_) host_->drawLabel();
    doReset(1);
}

void Keypad::doReset(int level) {
    onF_ = false;
    lamps();
    setFlag(level);
}

void Keypad::pressKey(int key) {
    if (key < 0 || key >= kKeypadKeyCount) return;
    keyData_ = key + (ctrl_ ? kKeypadCtlBit : 0);
    setFlag(0);
    onF_ = true;
    lamps();
}

void Keypad::setCtrl(bool down) {
    ctrl_ = down;
    lamps();
}

void Keypad::ExecReady(int level) {
    if (level != 0) return;
    doReset(1);
    if (taken_) taken_();
}

// The register moves out with the serial transfer, so after the eight steps of an input
// the lamps are dark.
void Keypad::ShiftRightData() {
    keyData_ >>= 1;
    lamps();
}

void Keypad::close() {
    doReset(1);
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
    if (host_) host_->drawLabel();
}

void Keypad::saveState(core::SnapshotWriter& w) const {
    w.beginSection("KPAD", 1);
    w.i32(slot_);
    w.i32(keyData_);
    w.boolean(ctrl_);
    w.boolean(onF_);
    w.endSection();
}

void Keypad::restoreState(core::SnapshotReader& r) {
    r.beginSection("KPAD", 1);
    const int slot = readSlot(r, core::kFirstOutputSlot - 1);
    // Key number and CTL bit; the shifts of an input only make it smaller.
    const int data = r.i32In(0, 2 * kKeypadCtlBit - 1);
    const bool ctrl = r.boolean();
    const bool onF = r.boolean();
    r.endSection();
    slot_ = slot;
    keyData_ = data;
    ctrl_ = ctrl;
    onF_ = onF;
    lamps();
    if (host_) host_->drawLabel();
}

}  // namespace mira::devices
