#include "cli_devices.h"

namespace mira::cli {

ScriptedInputDevice::ScriptedInputDevice(core::DeviceBus& bus, int slot, std::vector<int> bytes)
    : bus_(bus), slot_(slot), bytes_(bytes.begin(), bytes.end()) {}

void ScriptedInputDevice::doInit(int) { bus_.SetDevInflag(slot_, bytes_.empty() ? 1 : 0); }

void ScriptedInputDevice::execReady(int level) {
    if (level != 0) return;
    if (!bytes_.empty()) bytes_.pop_front();
    bus_.SetDevInflag(slot_, bytes_.empty() ? 1 : 0);
}

RecordingOutputDevice::RecordingOutputDevice(core::DeviceBus& bus, int slot)
    : bus_(bus), slot_(slot) {}

void RecordingOutputDevice::outputNotification(int slot) {
    recorded_.push(bus_.slots[slot].output & 0xFF);
}

}  // namespace mira::cli
