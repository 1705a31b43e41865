#include "ascii_keyboard.h"

#include <array>

#include "devices/module_state.h"
#include "keypad.h"

namespace mira::devices {

namespace {

constexpr int kKeyCount = static_cast<int>(AsciiKey::Count);
using Table = std::array<int, kKeyCount>;  // −1: the key gives nothing

constexpr int idx(AsciiKey k) {
    return static_cast<int>(k);
}

constexpr Table emptyTable() {
    Table t{};
    for (int& c : t) c = -1;
    return t;
}

constexpr Table plainTable() {
    Table t = emptyTable();
    t[idx(AsciiKey::Backspace)] = 8;
    t[idx(AsciiKey::Tab)] = 9;
    t[idx(AsciiKey::Enter)] = 13;
    t[idx(AsciiKey::Esc)] = 27;
    t[idx(AsciiKey::Space)] = 32;
    t[idx(AsciiKey::PageUp)] = 12;
    t[idx(AsciiKey::Home)] = 14;
    t[idx(AsciiKey::End)] = 15;
    t[idx(AsciiKey::Delete)] = 127;
    for (int d = 0; d < 10; ++d) t[idx(digitKey(d))] = '0' + d;
    for (int l = 0; l < 26; ++l) t[l] = 'a' + l;
    t[idx(AsciiKey::Semicolon)] = ';';
    t[idx(AsciiKey::Equal)] = '=';
    t[idx(AsciiKey::Comma)] = ',';
    t[idx(AsciiKey::Minus)] = '-';
    t[idx(AsciiKey::Period)] = '.';
    t[idx(AsciiKey::Slash)] = '/';
    t[idx(AsciiKey::Grave)] = '`';
    t[idx(AsciiKey::LBracket)] = '[';
    t[idx(AsciiKey::Backslash)] = '\\';
    t[idx(AsciiKey::RBracket)] = ']';
    t[idx(AsciiKey::Apostrophe)] = '\'';
    return t;
}

constexpr Table shiftTable() {
    Table t = emptyTable();
    t[idx(AsciiKey::Tab)] = 11;
    t[idx(AsciiKey::Enter)] = 10;
    constexpr const char* kShiftedDigits = ")!@#$%^&*(";  // keys 0..9
    for (int d = 0; d < 10; ++d) t[idx(digitKey(d))] = kShiftedDigits[d];
    for (int l = 0; l < 26; ++l) t[l] = 'A' + l;
    t[idx(AsciiKey::Semicolon)] = ':';
    t[idx(AsciiKey::Equal)] = '+';
    t[idx(AsciiKey::Comma)] = '<';
    t[idx(AsciiKey::Minus)] = '_';
    t[idx(AsciiKey::Period)] = '>';
    t[idx(AsciiKey::Slash)] = '?';
    t[idx(AsciiKey::Grave)] = '~';
    t[idx(AsciiKey::LBracket)] = '{';
    t[idx(AsciiKey::Backslash)] = '|';
    t[idx(AsciiKey::RBracket)] = '}';
    t[idx(AsciiKey::Apostrophe)] = '"';
    return t;
}

constexpr Table digitsTable(int base, int first, int last) {
    Table t = emptyTable();
    for (int d = first; d <= last; ++d) t[idx(digitKey(d))] = base + d;
    return t;
}

constexpr Table ctrlAltTable() {
    Table t = digitsTable(24, 0, 2);
    // 27 is Esc's, so Ctrl+Alt+3 gives nothing.
    for (int d = 4; d <= 7; ++d) t[idx(digitKey(d))] = 24 + d;
    return t;
}

constexpr Table kPlain = plainTable();
constexpr Table kShift = shiftTable();
constexpr Table kCtrl = digitsTable(0, 0, 7);
constexpr Table kAlt = digitsTable(16, 0, 7);
constexpr Table kCtrlAlt = ctrlAltTable();

struct Name {
    const char* name;
    AsciiKey key;
};
constexpr Name kNames[] = {
    {"space", AsciiKey::Space},
    {"tab", AsciiKey::Tab},
    {"enter", AsciiKey::Enter},
    {"esc", AsciiKey::Esc},
    {"backspace", AsciiKey::Backspace},
    {"delete", AsciiKey::Delete},
    {"pageup", AsciiKey::PageUp},
    {"pagedown", AsciiKey::PageDown},
    {"home", AsciiKey::Home},
    {"end", AsciiKey::End},
    {"insert", AsciiKey::Insert},
    {"left", AsciiKey::Left},
    {"right", AsciiKey::Right},
    {"up", AsciiKey::Up},
    {"down", AsciiKey::Down},
    {"grave", AsciiKey::Grave},
    {"minus", AsciiKey::Minus},
    {"equal", AsciiKey::Equal},
    {"lbracket", AsciiKey::LBracket},
    {"rbracket", AsciiKey::RBracket},
    {"backslash", AsciiKey::Backslash},
    {"semicolon", AsciiKey::Semicolon},
    {"apostrophe", AsciiKey::Apostrophe},
    {"comma", AsciiKey::Comma},
    {"period", AsciiKey::Period},
    {"slash", AsciiKey::Slash},
};

}  // namespace

std::optional<int> translateAsciiKey(AsciiKey key, AsciiModifiers mods) {
    const int k = idx(key);
    if (k < 0 || k >= kKeyCount) return std::nullopt;
    const Table* table = nullptr;
    if (!mods.shift && !mods.ctrl && !mods.alt)
        table = &kPlain;
    else if (mods.shift && !mods.ctrl && !mods.alt)
        table = &kShift;
    else if (!mods.shift && mods.ctrl && !mods.alt)
        table = &kCtrl;
    else if (!mods.shift && !mods.ctrl && mods.alt)
        table = &kAlt;
    else if (!mods.shift && mods.ctrl && mods.alt)
        table = &kCtrlAlt;
    if (!table || (*table)[k] < 0) return std::nullopt;
    return (*table)[k];
}

std::optional<AsciiKey> asciiKeyByName(std::string_view name) {
    if (name.size() == 1) {
        const char c = name[0];
        if (c >= 'a' && c <= 'z') return letterKey(static_cast<char>(c - 'a' + 'A'));
        if (c >= 'A' && c <= 'Z') return letterKey(c);
        if (c >= '0' && c <= '9') return digitKey(c - '0');
        return std::nullopt;
    }
    if ((name.size() == 2 || name.size() == 3) && name[0] == 'f') {
        int n = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n >= 1 && n <= 12 && name[1] != '0') return AsciiKey(idx(AsciiKey::F1) + n - 1);
        return std::nullopt;
    }
    for (const Name& n : kNames)
        if (name == n.name) return n.key;
    return std::nullopt;
}

std::optional<AsciiKeyPress> parseAsciiKeyPress(std::string_view text) {
    AsciiModifiers mods;
    for (;;) {
        const size_t plus = text.find('+');
        if (plus == std::string_view::npos) break;
        const std::string_view mod = text.substr(0, plus);
        bool* flag = mod == "shift"  ? &mods.shift
                     : mod == "ctrl" ? &mods.ctrl
                     : mod == "alt"  ? &mods.alt
                                     : nullptr;
        if (!flag || *flag) return std::nullopt;
        *flag = true;
        text.remove_prefix(plus + 1);
    }
    const auto key = asciiKeyByName(text);
    if (!key) return std::nullopt;
    return AsciiKeyPress{*key, mods};
}

AsciiKeyboard::AsciiKeyboard(core::DeviceBus& bus, core::SoundEffects& sounds,
                             AsciiKeyboardHost* host)
    : bus_(bus), sounds_(sounds), host_(host) {
    bus_.registerModule(*this);
}

AsciiKeyboard::~AsciiKeyboard() {
    bus_.unregisterModule(*this);
}

bool AsciiKeyboard::bound() const {
    return slot_ >= 0 && slot_ < core::kFirstOutputSlot && bus_.slots[slot_].device == this;
}

int AsciiKeyboard::GetDevice() const {
    return bound() ? slot_ : -1;
}

std::string AsciiKeyboard::labelText() const {
    return inputDeviceLabel(GetDevice());
}

void AsciiKeyboard::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

std::optional<int> AsciiKeyboard::keyReleased(AsciiKey key, AsciiModifiers mods) {
    const auto code = translateAsciiKey(key, mods);
    if (!code) return std::nullopt;
    keyData_ = *code;
    if (*code == kBellCode) sounds_.play(core::SoundId::Bell);
    setFlag(0);
    return code;
}

void AsciiKeyboard::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
}

void AsciiKeyboard::doInit() {
    if (host_) host_->drawLabel();
    doReset();
}

void AsciiKeyboard::doReset() {
    keyData_ = 0;
    setFlag(1);
}

void AsciiKeyboard::ExecReady(int level) {
    if (level != 0) return;
    setFlag(1);
    if (taken_) taken_();
}

void AsciiKeyboard::close() {
    doReset();
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
    if (host_) host_->drawLabel();
}

void AsciiKeyboard::saveState(core::SnapshotWriter& w) const {
    w.beginSection("ASCK", 1);
    w.i32(slot_);
    w.i32(keyData_);
    w.endSection();
}

void AsciiKeyboard::restoreState(core::SnapshotReader& r) {
    r.beginSection("ASCK", 1);
    const int slot = readSlot(r, core::kFirstOutputSlot - 1);
    const int data = r.i32In(0, 127);
    r.endSection();
    slot_ = slot;
    keyData_ = data;
    if (host_) host_->drawLabel();
}

}  // namespace mira::devices
