// The logic of the two-line alpha display: the command bytes a program sends it, two lines
// of sixteen coloured characters, the cursor, the current line and colour. The window
// draws the dots of alpha_font.h: lit in the cell's colour where the font sets them while
// the display is on, every other dot in the unlit grey.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/device.h"
#include "devices/display_host.h"

namespace mira::devices {

inline constexpr int kAlphaColumns = 16;
inline constexpr int kAlphaLines = 2;
inline constexpr int kAlphaColours = 4;

// Command bytes.
inline constexpr int kAlphaRed = 16;  // 16..19 select colours 0..3
inline constexpr int kAlphaInit = 128;
inline constexpr int kAlphaClear = 129;
inline constexpr int kAlphaClearLine1 = 130;
inline constexpr int kAlphaClearLine2 = 131;
inline constexpr int kAlphaTopLine = 132;
inline constexpr int kAlphaBottomLine = 133;
inline constexpr int kAlphaOff = 134;
inline constexpr int kAlphaOn = 135;

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
// Red, green, yellow and the cyan the assembler calls blue; unlit dots are dark grey.
inline constexpr std::array<Rgb, kAlphaColours> kAlphaColourRgb{
    {{255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 255, 255}}};
inline constexpr Rgb kAlphaUnlit{52, 52, 52};

struct AlphaCell {
    uint8_t code = ' ';
    uint8_t colour = 0;
    bool operator==(const AlphaCell&) const = default;
};
using AlphaLine = std::array<AlphaCell, kAlphaColumns>;

using AlphaDisplayHost = DisplayHost;

class AlphaDisplay final : public core::Device {
public:
    explicit AlphaDisplay(core::DeviceBus& bus, AlphaDisplayHost* host = nullptr);
    ~AlphaDisplay() override;
    AlphaDisplay(const AlphaDisplay&) = delete;
    AlphaDisplay& operator=(const AlphaDisplay&) = delete;

    void setHost(AlphaDisplayHost* host) { host_ = host; }

    // Line 1 (top) is index 0.
    const std::array<AlphaLine, kAlphaLines>& lines() const { return lines_; }
    const AlphaCell& cell(int line, int column) const { return lines_[line][column]; }
    int cursor() const { return cursor_; }
    int line() const { return line_; }  // 1 or 2
    int colour() const { return colour_; }
    bool displayOn() const { return on_; }
    // A line's sixteen characters, whether the display is on or not; `line` is 1 or 2.
    std::string lineText(int line) const;
    std::string labelText() const;
    bool bound() const;

    // The module contract.
    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset() { doInit(); }
    void UpdateData();
    void command(int v);
    void close();

    // core::Device
    int moduleType() const override { return core::kModuleDisplayAlpha; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    void outputNotification(int) override { UpdateData(); }
    // Section "ALPH".
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void clearLine(int index);
    void redraw();

    core::DeviceBus& bus_;
    AlphaDisplayHost* host_;
    int slot_ = -1;
    std::array<AlphaLine, kAlphaLines> lines_{};
    int cursor_ = 0;
    int line_ = 1;
    int colour_ = 0;
    bool on_ = false;
};

}  // namespace mira::devices
