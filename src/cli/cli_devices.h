// Devices of a headless run: a scripted input device that offers a fixed list of bytes,
// and a recording output device that keeps every byte sent to it.
#pragma once

#include <deque>
#include <vector>

#include "core/byte_record.h"
#include "core/device.h"

namespace mira::cli {

// Offers its bytes one by one: the flag reads 0 while bytes remain, an input transfer
// reads the next byte and the input pulse's level 0 consumes it.
class ScriptedInputDevice final : public core::Device {
public:
    ScriptedInputDevice(core::DeviceBus& bus, int slot, std::vector<int> bytes);
    int moduleType() const override { return core::kModuleAscii; }
    int getDevice() const override { return slot_; }
    int getData() override { return bytes_.empty() ? 255 : bytes_.front(); }
    void execReady(int level) override;
    void doInit(int) override;
    size_t remaining() const { return bytes_.size(); }
    // Section "SCIN": the bytes not yet taken.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    core::DeviceBus& bus_;
    int slot_;
    std::deque<int> bytes_;
};

// Records each output notification's byte; the reset pulse makes it busy (flag 1) on
// level 0 and ready (flag 0) again on level 1.
class RecordingOutputDevice final : public core::Device {
public:
    RecordingOutputDevice(core::DeviceBus& bus, int slot);
    int moduleType() const override { return core::kModuleOctalLed; }
    int getDevice() const override { return slot_; }
    void doInit(int) override { bus_.SetDevInflag(slot_, 0); }
    void outputNotification(int slot) override;
    void execResetFlag(int level) override { bus_.SetDevInflag(slot_, level == 0 ? 1 : 0); }
    // The most recent bytes (all of them in any short run) and how many there were.
    std::vector<int> recorded() const { return recorded_.kept(); }
    uint64_t recordedTotal() const { return recorded_.total() + dropped_; }
    // Section "RECO": the kept bytes and the count of them all.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    core::DeviceBus& bus_;
    int slot_;
    core::ByteRecord recorded_;
    // Bytes counted before a restored state's kept ones.
    uint64_t dropped_ = 0;
};

}  // namespace mira::cli
