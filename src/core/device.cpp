#include "device.h"

#include "observer.h"

namespace mira::core {

void DeviceBus::registerModule(Device& module) {
    const int type = module.moduleType();
    if (type > kModuleNone && type < kModuleTypeCount) modules_[type] = &module;
}

void DeviceBus::unregisterModule(Device& module) {
    for (auto& m : modules_)
        if (m == &module) m = nullptr;
    for (auto& s : slots)
        if (s.device == &module) s.device = nullptr;
}

Device* DeviceBus::module(int type) const {
    return (type > kModuleNone && type < kModuleTypeCount) ? modules_[type] : nullptr;
}

void DeviceBus::bind(int slot, Device& device) {
    if (!valid(slot)) return;
    slots[slot].type = device.moduleType();
    slots[slot].device = &device;
    redrawSlot(slot, false);
}

void DeviceBus::redrawSlot(int slot, bool onlyWhenLive) {
    ++slotCalls;
    if (!onlyWhenLive || live_) observer_->slotChanged(slot);
}

void DeviceBus::SetDevInflag(int slot, int value) {
    if (!valid(slot)) return;
    slots[slot].flag = static_cast<uint8_t>(value & 1);
    redrawSlot(slot, false);
}

void DeviceBus::CloseDevice(int slot) {
    if (!valid(slot)) return;
    slots[slot].type = kModuleNone;
    slots[slot].flag = 1;
    slots[slot].device = nullptr;
    redrawSlot(slot, false);
}

void DeviceBus::SetModuleInFlag(int slot, int value) {
    if (!valid(slot)) return;
    DeviceSlot& s = slots[slot];
    s.pulse = static_cast<uint8_t>(value & 1);
    if (s.device && isInputModule(s.type)) s.device->execReady(value);
    redrawSlot(slot, true);
}

void DeviceBus::SetOutputResetFlag(int slot, int value) {
    if (!valid(slot)) return;
    DeviceSlot& s = slots[slot];
    s.pulse = static_cast<uint8_t>(value & 1);
    if (s.device && takesResetPulse(s.type)) s.device->execResetFlag(value);
    redrawSlot(slot, true);
}

int DeviceBus::readInput(int slot) {
    if (!valid(slot)) return 255;
    DeviceSlot& s = slots[slot];
    s.input = (s.device && isInputModule(s.type)) ? (s.device->getData() & 0xFF) : 255;
    redrawSlot(slot, true);
    return s.input;
}

void DeviceBus::notifyOutput(int slot) {
    if (!valid(slot)) return;
    DeviceSlot& s = slots[slot];
    if (s.device && takesOutputNotification(s.type)) s.device->outputNotification(slot);
    redrawSlot(slot, true);
}

void DeviceBus::notifyRunStopped() {
    for (auto& s : slots)
        if (s.device) s.device->runStopped();
}

void DeviceBus::ResetDevices() {
    slots[2].pulse = 1;
    slots[3].pulse = 1;
    struct Step {
        int type;
        int arg;
    };
    // The order the modules are reset in is part of the machine's behaviour: a module
    // reset may set flags another module then sees.
    static constexpr Step kOrder[] = {
        {kModuleOctalLed, 0}, {kModuleKeypad, 1},  {kModuleKeypad2, 1},
        {kModuleTapeReader, 0}, {kModuleTapePunch, 0}, {kModuleMagTape, 0},
        {kModuleMelody, 0},   {kModulePrinter, 0}, {kModuleAscii, 0},
    };
    for (const Step& step : kOrder) {
        Device* d = modules_[step.type];
        if (d && d->isVisible()) d->doReset(step.arg);
    }
}

void DeviceBus::unbindAll() {
    for (int i = 0; i < kSlotCount; ++i) {
        slots[i] = DeviceSlot{};
        redrawSlot(i, false);
    }
}

}  // namespace mira::core
