// The logic of the ten-digit display: the command bytes a program sends it, the ten cells
// and the cursor, which segments each cell lights. The window draws what this decides.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/device.h"
#include "devices/display_host.h"

namespace mira::devices {

// Segment bits as a raw pattern carries them: a (top) is bit 6 down to g (middle) bit 0.
enum Segment : uint8_t {
    kSegA = 1u << 6,
    kSegB = 1u << 5,
    kSegC = 1u << 4,
    kSegD = 1u << 3,
    kSegE = 1u << 2,
    kSegF = 1u << 1,
    kSegG = 1u << 0,
};

inline constexpr int kTenDigitCells = 10;
// Character codes with a meaning of their own.
inline constexpr int kTenDigitMinus = 10;
inline constexpr int kTenDigitColon = 11;
inline constexpr int kTenDigitPoint = 12;
inline constexpr int kTenDigitBlank = 13;
inline constexpr int kTenDigitLastCode = 37;
inline constexpr int kTenDigitFirstRaw = 128;

// Command bytes.
inline constexpr int kTenDigitCursor = 64;  // + n, n in the low 4 bits
inline constexpr int kTenDigitOff = 80;
inline constexpr int kTenDigitOn = 95;
inline constexpr int kTenDigitError = 96;
inline constexpr int kTenDigitInit = 112;

// Lit segments of a cell's content (a character code or a raw pattern); the colon and
// the point are marks of their own and light no segment.
uint8_t tenDigitSegments(int cell);
// One character standing for a cell's content, as a script reads it: the digit, "-",
// ":", ".", a space, the letter it shows, or "#" for a raw pattern.
char tenDigitChar(int cell);

// "Output Device 0", "Output Device 1", "No Device Set".
std::string outputDeviceLabel(int slot);

using TenDigitDisplayHost = DisplayHost;

class TenDigitDisplay final : public core::Device {
public:
    explicit TenDigitDisplay(core::DeviceBus& bus, TenDigitDisplayHost* host = nullptr);
    ~TenDigitDisplay() override;
    TenDigitDisplay(const TenDigitDisplay&) = delete;
    TenDigitDisplay& operator=(const TenDigitDisplay&) = delete;

    void setHost(TenDigitDisplayHost* host) { host_ = host; }

    const std::array<int, kTenDigitCells>& cells() const { return cells_; }
    int cursor() const { return cursor_; }
    bool displayOn() const { return on_; }
    // The ten cells as characters (see tenDigitChar), whether the display is on or not.
    std::string text() const;
    std::string labelText() const { return outputDeviceLabel(GetDevice()); }
    // True while the slot recorded by PutDevice still belongs to this display.
    bool bound() const;

    // The module contract.
    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset() { doInit(); }
    void UpdateData();
    // A command byte, as UpdateData takes it from the slot.
    void command(int v);
    // The window closes: blank, slot free.
    void close();

    // core::Device
    int moduleType() const override { return core::kModuleDisplay10; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    void outputNotification(int) override { UpdateData(); }
    // Section "TDIG".
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void put(int code);
    void clearCells();
    void redraw();

    core::DeviceBus& bus_;
    TenDigitDisplayHost* host_;
    int slot_ = -1;
    std::array<int, kTenDigitCells> cells_{};
    int cursor_ = 0;
    bool on_ = false;
};

}  // namespace mira::devices
