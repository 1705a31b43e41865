#include "ten_digit_display.h"

#include <string_view>

#include "devices/module_state.h"

namespace mira::devices {
namespace {

constexpr uint8_t segs(std::string_view lit) {
    uint8_t bits = 0;
    for (char s : lit) bits |= static_cast<uint8_t>(1u << (6 - (s - 'a')));
    return bits;
}

// Codes 0 to 37; 11 and 12 are the colon and point marks, 13 the blank.
constexpr std::array<uint8_t, kTenDigitLastCode + 1> kCodeSegments{
    segs("abcdef"), segs("bc"),    segs("abdeg"), segs("abcdg"),  segs("bcfg"),
    segs("acdfg"),  segs("acdefg"), segs("abc"),  segs("abcdefg"), segs("abcdfg"),
    segs("g"),      0,              0,            0,              segs("abcefg"),
    segs("cdefg"),  segs("adef"),   segs("deg"),  segs("bcdeg"),  segs("adefg"),
    segs("aefg"),   segs("acdef"),  segs("bcefg"), segs("cefg"),  segs("bc"),
    segs("c"),      segs("bcde"),   segs("def"),  segs("ceg"),    segs("cdeg"),
    segs("abefg"),  segs("abcfg"),  segs("eg"),   segs("acdfg"),  segs("efg"),
    segs("bcdef"),  segs("cde"),    segs("bcdfg"),
};

constexpr std::string_view kCodeChars = "0123456789-:. AbCcdEFGHhIiJLnoPqrStUuy";
static_assert(kCodeChars.size() == kTenDigitLastCode + 1);

// "Error" in cells 0 to 4.
constexpr std::array<int, 5> kErrorText{19, 32, 32, 29, 32};

}  // namespace

uint8_t tenDigitSegments(int cell) {
    if (cell >= kTenDigitFirstRaw && cell <= 255) return static_cast<uint8_t>(cell & 0x7F);
    if (cell >= 0 && cell <= kTenDigitLastCode) return kCodeSegments[cell];
    return 0;
}

char tenDigitChar(int cell) {
    if (cell >= kTenDigitFirstRaw) return '#';
    if (cell >= 0 && cell <= kTenDigitLastCode) return kCodeChars[cell];
    return ' ';
}

std::string outputDeviceLabel(int slot) {
    if (slot == core::kFirstOutputSlot) return "Output Device 0";
    if (slot == core::kFirstOutputSlot + 1) return "Output Device 1";
    return "No Device Set";
}

TenDigitDisplay::TenDigitDisplay(core::DeviceBus& bus, TenDigitDisplayHost* host)
    : bus_(bus), host_(host) {
    cells_.fill(kTenDigitBlank);
    bus_.registerModule(*this);
}

TenDigitDisplay::~TenDigitDisplay() { bus_.unregisterModule(*this); }

bool TenDigitDisplay::bound() const {
    return slot_ >= 0 && slot_ < core::kSlotCount && bus_.slots[slot_].device == this;
}

int TenDigitDisplay::GetDevice() const { return bound() ? slot_ : -1; }

std::string TenDigitDisplay::text() const {
    std::string t;
    for (int c : cells_) t += tenDigitChar(c);
    return t;
}

void TenDigitDisplay::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
    if (bound()) bus_.SetDevInflag(slot_, 1);
}

void TenDigitDisplay::doInit() {
    on_ = false;
    // Always ready: the flag is 0 from here on and nothing makes it busy.
    if (bound()) bus_.SetDevInflag(slot_, 0);
    cursor_ = 0;
    clearCells();
    redraw();
}

void TenDigitDisplay::clearCells() { cells_.fill(kTenDigitBlank); }

void TenDigitDisplay::redraw() {
    if (host_) host_->redraw();
}

void TenDigitDisplay::put(int code) {
    cells_[cursor_] = code;
    redraw();
    // The cursor stops at the last cell, so further characters overwrite it.
    if (cursor_ < kTenDigitCells - 1) ++cursor_;
}

void TenDigitDisplay::UpdateData() {
    if (bound()) command(bus_.slots[slot_].output & 0xFF);
}

void TenDigitDisplay::command(int v) {
    if (v >= 0 && v <= kTenDigitLastCode) {
        put(v);
    } else if (v < kTenDigitCursor) {
        put(kTenDigitBlank);
    } else if (v < kTenDigitOff) {
        const int n = v & 15;
        cursor_ = n < kTenDigitCells ? n : 0;
    } else if (v == kTenDigitOff || v == kTenDigitOn) {
        on_ = v == kTenDigitOn;
        redraw();
    } else if (v == kTenDigitError) {
        clearCells();
        for (size_t i = 0; i < kErrorText.size(); ++i) cells_[i] = kErrorText[i];
        redraw();
    } else if (v == kTenDigitInit) {
        cursor_ = 0;
        clearCells();
        redraw();
    } else if (v >= kTenDigitFirstRaw && v <= 255) {
        put(v);
    }
    // 81..94, 97..111 and 113..127 mean nothing to the display.
}

void TenDigitDisplay::close() {
    doReset();
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
}

void TenDigitDisplay::saveState(core::SnapshotWriter& w) const {
    w.beginSection("TDIG", 1);
    w.i32(slot_);
    for (int c : cells_) w.u8(static_cast<uint8_t>(c));
    w.i32(cursor_);
    w.boolean(on_);
    w.endSection();
}

void TenDigitDisplay::restoreState(core::SnapshotReader& r) {
    r.beginSection("TDIG", 1);
    const int slot = readSlot(r);
    std::array<int, kTenDigitCells> cells{};
    for (int& c : cells) {
        c = r.u8();
        // A cell holds a character code or a raw pattern, nothing in between.
        refuseIf(c > kTenDigitLastCode && c < kTenDigitFirstRaw);
    }
    const int cursor = r.i32In(0, kTenDigitCells - 1);
    const bool on = r.boolean();
    r.endSection();
    slot_ = slot;
    cells_ = cells;
    cursor_ = cursor;
    on_ = on;
    redraw();
}

}  // namespace mira::devices
