#include "cli_devices.h"

#include "devices/module_state.h"

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

namespace {
// A device of a state must be the one given here: the same slot.
void checkSlot(core::SnapshotReader& r, int slot) {
    if (r.i32() != slot)
        throw core::SnapshotError("the state was saved with other --in or --out devices");
}
}  // namespace

void ScriptedInputDevice::saveState(core::SnapshotWriter& w) const {
    w.beginSection("SCIN", 1);
    w.i32(slot_);
    const std::vector<int> bytes(bytes_.begin(), bytes_.end());
    devices::writeSmallList(w, bytes);
    w.endSection();
}

void ScriptedInputDevice::restoreState(core::SnapshotReader& r) {
    r.beginSection("SCIN", 1);
    checkSlot(r, slot_);
    const std::vector<int> bytes = devices::readSmallList(r, r.remaining() / 2, 0, 255);
    r.endSection();
    bytes_.assign(bytes.begin(), bytes.end());
}

void RecordingOutputDevice::saveState(core::SnapshotWriter& w) const {
    w.beginSection("RECO", 1);
    w.i32(slot_);
    devices::writeSmallList(w, recorded_.kept());
    w.i64(static_cast<int64_t>(recordedTotal()));
    w.endSection();
}

void RecordingOutputDevice::restoreState(core::SnapshotReader& r) {
    r.beginSection("RECO", 1);
    checkSlot(r, slot_);
    const std::vector<int> kept = devices::readSmallList(r, core::ByteRecord::kDefaultKept, 0, 255);
    const int64_t total = r.i64();
    r.endSection();
    devices::refuseIf(total < static_cast<int64_t>(kept.size()));
    recorded_ = core::ByteRecord();
    for (int b : kept) recorded_.push(b);
    dropped_ = static_cast<uint64_t>(total) - kept.size();
}

}  // namespace mira::cli
