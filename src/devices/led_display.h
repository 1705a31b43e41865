// The logic of an LED display module: the byte it shows, its format and type, and the
// ready delay that paces a program waiting on the output flag. The window that owns it
// draws; this class decides what and when.
#pragma once

#include <memory>
#include <string>

#include "core/device.h"
#include "core/prompter.h"
#include "core/timer.h"
#include "devices/led_digits.h"

namespace mira::devices {

// What the display asks of its window.
class LedDisplayHost {
public:
    virtual ~LedDisplayHost() = default;
    // Loads the glyph strip of the given type (true = LED, false = Nixie).
    virtual bool loadGlyphs(bool led) = 0;
    // Housing, digit window and label, after a load or a change of options.
    virtual void drawBackground() = 0;
    virtual void drawDigits() = 0;
    virtual void closeWindow() = 0;
    virtual bool windowVisible() const = 0;
};

class LedDisplay final : public core::Device {
public:
    static constexpr int kDefaultReadyDelay = 2000;
    // The options offer 2.0 to 20.0 s; a restored state may hold up to 200 s.
    static constexpr int kMinReadyDelay = 2000;
    static constexpr int kMaxOptionsReadyDelay = 20000;
    static constexpr int kMaxRestoredReadyDelay = 200000;
    // After a failed glyph load the window closes on the timer's next tick.
    static constexpr int kClosePendingMs = 100;
    static constexpr const char* kLoadError = "ERROR: Failed to load image data";

    LedDisplay(LedKind kind, core::DeviceBus& bus, core::TimerFactory& timers,
               core::Prompter& prompter, LedDisplayHost* host = nullptr);
    ~LedDisplay() override;
    LedDisplay(const LedDisplay&) = delete;
    LedDisplay& operator=(const LedDisplay&) = delete;

    void setHost(LedDisplayHost* host) { host_ = host; }
    // Nixie artwork exists for the whole run or not at all.
    void setNixieAvailable(bool on) { nixieAvailable_ = on; }
    bool nixieAvailable() const { return nixieAvailable_; }

    LedKind kind() const { return kind_; }
    int value() const { return value_; }
    int format() const { return format_; }
    bool ledType() const { return ledType_; }
    int readyDelay() const { return readyDelay_; }
    bool closePending() const { return closePending_; }
    core::Timer& delayTimer() { return *delayTimer_; }

    std::string cells() const { return ledCells(kind_, value_, format_); }
    std::string labelText() const { return deviceLabel(kind_, GetDevice(), format_); }
    // True while the slot recorded by PutDevice still belongs to this display; a machine
    // reset frees every slot and the display then leaves the flag alone.
    bool bound() const;

    // The module contract.
    void PutDevice(int slot);
    int GetDevice() const;
    void doInit(bool enable);
    void doReset();
    void UpdateDisplay();
    void ExecResetFlag(int level);
    void delayTimerTimer();
    // The window closes: idle, timer off, slot free.
    void close();

    // The options dialog: the timer holds while it is open; accept loads the chosen glyphs
    // first and gives up (closing the window) when that fails.
    void beginOptions();
    bool acceptOptions(int readyDelay, int format, bool led);
    void endOptions();

    // Window state string: Left, Top, format, ready delay, type. applyState takes fields
    // 2..4; the window restores its own position.
    std::string stateString(int left, int top) const;
    void applyState(const std::string& state);

    // core::Device
    int moduleType() const override;
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int arg) override { doInit(arg != 0); }
    void doReset(int) override { doReset(); }
    void execResetFlag(int level) override { ExecResetFlag(level); }
    void outputNotification(int) override { UpdateDisplay(); }
    // Section "LEDO" (octal) or "LEDD" (decimal).
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void startBusy();
    void setFlag(int value);
    void loadFailed();

    LedKind kind_;
    core::DeviceBus& bus_;
    core::Prompter& prompter_;
    LedDisplayHost* host_;
    std::unique_ptr<core::Timer> delayTimer_;

    int slot_ = -1;
    int value_ = 0;
    int format_ = 0;
    bool ledType_ = true;
    int readyDelay_ = kDefaultReadyDelay;
    bool closePending_ = false;
    bool nixieAvailable_ = true;
};

}  // namespace mira::devices
