// The 16-key keypad: a 4-bit key number plus the control bit, six lamps, and the key
// register that shifts out with the serial input transfer. The window draws the keys and
// lamps; this class holds what a program can see.
#pragma once

#include <functional>
#include <string>

#include "core/device.h"

namespace mira::devices {

// Captions and key numbers of the sixteen keys in their rows (the last is the CTL toggle).
inline constexpr int kKeypadKeyCount = 15;
inline constexpr const char* kKeypadCaptions[kKeypadKeyCount] = {
    "7", "8", "9", "x", "4", "5", "6", "/", "1", "2", "3", "LF", "0", "+", "-"};
inline constexpr int kKeypadCtlBit = 16;

// The label of an input module's window for its slot.
std::string inputDeviceLabel(int slot);

class KeypadHost {
  public:
    virtual ~KeypadHost() = default;
    virtual void drawLamps() = 0;
    virtual void drawLabel() = 0;
    virtual bool windowVisible() const = 0;
};

class Keypad final : public core::Device {
  public:
    explicit Keypad(core::DeviceBus& bus, KeypadHost* host = nullptr);
    ~Keypad() override;
    Keypad(const Keypad&) = delete;
    Keypad& operator=(const Keypad&) = delete;

    void setHost(KeypadHost* host) { host_ = host; }
    // Called when a program takes the key (the ready pulse's level 0).
    void setTakenListener(std::function<void()> listener) { taken_ = std::move(listener); }

    int keyData() const { return keyData_; }
    bool ctrlDown() const { return ctrl_; }
    bool flagLamp() const { return onF_; }
    // Lamps L, D, C, B, A: CTL held, then key data bits 3..0.
    bool lamp(int bit) const { return (keyData_ >> bit) & 1; }
    std::string labelText() const { return inputDeviceLabel(GetDevice()); }
    bool bound() const;

    // A data key (0..14) goes down.
    void pressKey(int key);
    void setCtrl(bool down);

    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset(int level) override;
    int GetData() const { return keyData_; }
    void ExecReady(int level);
    void ShiftRightData();
    void close();

    // core::Device
    int moduleType() const override { return core::kModuleKeypad; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    int getData() override { return GetData(); }
    void execReady(int level) override { ExecReady(level); }
    void shiftInputData() override { ShiftRightData(); }
    // Section "KPAD".
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

  private:
    void setFlag(int value);
    void lamps() {
        if (host_) host_->drawLamps();
    }

    core::DeviceBus& bus_;
    KeypadHost* host_;
    std::function<void()> taken_;
    int slot_ = -1;
    int keyData_ = 0;
    bool ctrl_ = false;
    bool onF_ = false;
};

}  // namespace mira::devices
