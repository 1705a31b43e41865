#include "alpha_display.h"

#include "alpha_font.h"
#include "devices/module_state.h"
#include "ten_digit_display.h"

namespace mira::devices {

AlphaDisplay::AlphaDisplay(core::DeviceBus& bus, AlphaDisplayHost* host)
    : bus_(bus), host_(host) {
    bus_.registerModule(*this);
}

AlphaDisplay::~AlphaDisplay() { bus_.unregisterModule(*this); }

bool AlphaDisplay::bound() const {
    return slot_ >= 0 && slot_ < core::kSlotCount && bus_.slots[slot_].device == this;
}

int AlphaDisplay::GetDevice() const { return bound() ? slot_ : -1; }

std::string AlphaDisplay::labelText() const { return outputDeviceLabel(GetDevice()); }

std::string AlphaDisplay::lineText(int line) const {
    std::string t;
    if (line < 1 || line > kAlphaLines) return t;
    for (const AlphaCell& c : lines_[line - 1]) t += static_cast<char>(c.code);
    return t;
}

void AlphaDisplay::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
    if (bound()) bus_.SetDevInflag(slot_, 1);
}

void AlphaDisplay::doInit() {
    on_ = false;
    // Always ready from here on.
    if (bound()) bus_.SetDevInflag(slot_, 0);
    command(kAlphaInit);
}

void AlphaDisplay::redraw() {
    if (host_) host_->redraw();
}

void AlphaDisplay::clearLine(int index) {
    for (AlphaCell& c : lines_[index]) c.code = ' ';
}

void AlphaDisplay::UpdateData() {
    if (bound()) command(bus_.slots[slot_].output & 0xFF);
}

void AlphaDisplay::command(int v) {
    if (v >= 0 && v < kAlphaColumns) {
        cursor_ = v;
    } else if (v >= kAlphaRed && v < kAlphaRed + kAlphaColours) {
        colour_ = v - kAlphaRed;
    } else if (v >= kAlphaFirstChar && v <= kAlphaLastChar) {
        lines_[line_ - 1][cursor_] = {static_cast<uint8_t>(v), static_cast<uint8_t>(colour_)};
        redraw();
        // The cursor stops at the last column; later characters overwrite it.
        if (cursor_ < kAlphaColumns - 1) ++cursor_;
    } else {
        switch (v) {
            case kAlphaInit:
                cursor_ = 0;
                line_ = 1;
                colour_ = 0;
                for (AlphaLine& l : lines_) l.fill(AlphaCell{});
                redraw();
                break;
            case kAlphaClear:
                clearLine(0);
                clearLine(1);
                redraw();
                cursor_ = 0;
                break;
            case kAlphaClearLine1:
            case kAlphaClearLine2:
                clearLine(v - kAlphaClearLine1);
                redraw();
                cursor_ = 0;
                break;
            case kAlphaTopLine:
            case kAlphaBottomLine:
                line_ = v - kAlphaTopLine + 1;
                cursor_ = 0;
                break;
            case kAlphaOff:
            case kAlphaOn:
                on_ = v == kAlphaOn;
                redraw();
                break;
            default:
                // 20..31, 127 and 136..255 mean nothing to the display.
                break;
        }
    }
}

void AlphaDisplay::close() {
    doReset();
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
}

void AlphaDisplay::saveState(core::SnapshotWriter& w) const {
    w.beginSection("ALPH", 1);
    w.i32(slot_);
    for (const AlphaLine& l : lines_) {
        for (const AlphaCell& c : l) {
            w.u8(c.code);
            w.u8(c.colour);
        }
    }
    w.i32(cursor_);
    w.i32(line_);
    w.i32(colour_);
    w.boolean(on_);
    w.endSection();
}

void AlphaDisplay::restoreState(core::SnapshotReader& r) {
    r.beginSection("ALPH", 1);
    const int slot = readSlot(r);
    std::array<AlphaLine, kAlphaLines> lines{};
    for (AlphaLine& l : lines) {
        for (AlphaCell& c : l) {
            c.code = r.u8();
            c.colour = r.u8();
            refuseIf(c.code < kAlphaFirstChar || c.code > kAlphaLastChar ||
                     c.colour >= kAlphaColours);
        }
    }
    const int cursor = r.i32In(0, kAlphaColumns - 1);
    const int line = r.i32In(1, kAlphaLines);
    const int colour = r.i32In(0, kAlphaColours - 1);
    const bool on = r.boolean();
    r.endSection();
    slot_ = slot;
    lines_ = lines;
    cursor_ = cursor;
    line_ = line;
    colour_ = colour;
    on_ = on;
    redraw();
}

}  // namespace mira::devices
