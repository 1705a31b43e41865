#include "settings_file.h"

#include <cstdio>

#include "field_list.h"
#include "panel.h"
#include "scrambled_file.h"

namespace mira::core {

namespace {

constexpr int kKeyDigits = 3;
constexpr int kNoKey = -1;

// Ranges of the numeric lines; a value outside takes the fallback.
constexpr int kFastRunSpeedMin = 100, kFastRunSpeedMax = 900, kFastRunSpeedDefault = 200;
constexpr int kNoteDelayMin = 50, kNoteDelayMax = 500, kNoteDelayDefault = 100;
constexpr int kSerialPortMin = 1, kSerialPortMax = 256;
constexpr int kRadixNormalMax = 3, kRadixWifMax = 1;
constexpr int kDefaultExternalMask = 3;
constexpr int kTapeReaderType = 5;
constexpr int kExternalSwitchesType = 11;
constexpr int kLedInitArg = 1;

std::string keyed(int key, const std::string& value) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%03d", key);
    return prefix + value;
}

// `line` with its first two fields (a place) replaced by those of `placeFrom`; "0~0~" when
// `placeFrom` holds no place.
std::string withPlaceOf(const std::string& placeFrom, const std::string& line) {
    const std::vector<std::string> place = splitFields(placeFrom);
    const bool read = place.size() >= 2;
    const size_t first = line.find('~');
    const size_t second = first == std::string::npos ? first : line.find('~', first + 1);
    const std::string rest = second == std::string::npos ? std::string() : line.substr(second + 1);
    return FieldListBuilder()
               .add(read ? place[0] : "0")
               .add(read ? place[1] : "0")
               .str() +
           rest;
}

bool inputSlot(int slot) { return slot == 0 || slot == 1; }
bool outputSlot(int slot) { return slot == 2 || slot == 3; }

}  // namespace

bool isWindowStateKey(int key) {
    switch (key) {
        case kKeyEepromView: case kKeyKeypad2Buttons: case kKeyMelodyPlayer: case kKeyEditor:
        case kKeyKeypad: case kKeyOctalLed: case kKeyMagTape: case kKeyTapeReader:
        case kKeyMemoryView: case kKeyTapePunch: case kKeyDecimalLed: case kKeyPrinter:
        case kKeyAscii: case kKeyRamView: case kKeyBasicSerial: case kKeyExternalSwitches:
        case kKeyDisplay10: case kKeyKeypad2: case kKeyStackView: case kKeyDisplayAlpha:
        case kKeyTimingDiagram:
            return true;
        default:
            return false;
    }
}

bool holdsWindowPlace(int key) {
    return key == kKeyMainWindow || (isWindowStateKey(key) && key != kKeyKeypad2Buttons);
}

OpenWindows::OpenWindows() {
    fields.fill("0");
    fields[kOpenExternalMask1] = "255";
}

OpenWindows OpenWindows::parse(const std::string& line) {
    OpenWindows open;
    for (int i = 0; i < kFieldCount; ++i) open.fields[i] = fieldAt(line, i);
    return open;
}

std::string OpenWindows::format() const {
    FieldListBuilder b;
    for (const auto& f : fields) b.add(f);
    return b.str();
}

bool OpenWindows::visible(int field) const { return parseBool(fields.at(field), false); }

int OpenWindows::number(int field, int fallback) const {
    return parseInt(fields.at(field), fallback);
}

void OpenWindows::setVisible(int field, bool on) { fields.at(field) = formatBool(on); }

void OpenWindows::setNumber(int field, int value) { fields.at(field) = std::to_string(value); }

std::vector<ReopenStep> reopenPlan(const OpenWindows& open) {
    std::vector<ReopenStep> plan;
    auto plain = [&](int field, ReopenStep::Window w) {
        if (open.visible(field)) plan.push_back({w});
    };
    // A module comes back only on a slot of its own direction; unparsable slots read 0.
    auto module = [&](int field, ReopenStep::Window w, bool output, int initArg) {
        if (!open.visible(field)) return;
        const int slot = open.number(field + 1, 0);
        if (output ? outputSlot(slot) : inputSlot(slot)) plan.push_back({w, slot, -1, initArg});
    };

    plain(kOpenMemoryView, ReopenStep::MemoryView);
    if (open.visible(kOpenMagTape)) {
        const int in = open.number(kOpenMagTapeIn, 0);
        const int out = open.number(kOpenMagTapeOut, 0);
        if (inputSlot(in) && outputSlot(out)) plan.push_back({ReopenStep::MagTape, in, out, 0});
    }
    if (open.visible(kOpenTapeReader) && open.number(kOpenTapeReaderType, 0) == kTapeReaderType)
        plan.push_back({ReopenStep::TapeReader});
    module(kOpenOctalLed, ReopenStep::OctalLed, true, kLedInitArg);
    module(kOpenKeypad, ReopenStep::Keypad, false, -1);
    plain(kOpenEditor, ReopenStep::Editor);
    module(kOpenTapePunch, ReopenStep::TapePunch, true, -1);
    module(kOpenDecimalLed, ReopenStep::DecimalLed, true, kLedInitArg);
    module(kOpenMelody, ReopenStep::Melody, true, -1);
    module(kOpenPrinter, ReopenStep::Printer, true, -1);
    module(kOpenAscii, ReopenStep::Ascii, false, -1);
    plain(kOpenRamView, ReopenStep::RamView);
    plain(kOpenEepromView, ReopenStep::EepromView);
    plain(kOpenBasicSerial, ReopenStep::BasicSerial);
    if (open.visible(kOpenExternalSwitches) &&
        open.number(kOpenExternalSwitchesType, 0) == kExternalSwitchesType)
        plan.push_back({ReopenStep::ExternalSwitches, -1, -1,
                        open.number(kOpenExternalMask1, kDefaultExternalMask) & 255});
    module(kOpenDisplay10, ReopenStep::Display10, true, -1);
    module(kOpenKeypad2, ReopenStep::Keypad2, false, -1);
    plain(kOpenStackView, ReopenStep::StackView);
    module(kOpenDisplayAlpha, ReopenStep::DisplayAlpha, true, -1);
    return plan;
}

void SettingsFile::apply(const std::vector<std::string>& lines, MainSettings& s,
                         int screenWidth, int screenHeight) {
    std::string switchLine;
    bool haveSwitchLine = false;
    readPlaces_.fill({});
    for (const std::string& line : lines) {
        if (line.size() < kKeyDigits) continue;
        const int key = parseInt(std::string_view(line).substr(0, kKeyDigits), kNoKey);
        const std::string v = line.substr(kKeyDigits);
        if (key >= 1 && key <= kSettingsLineCount && holdsWindowPlace(key)) readPlaces_[key] = v;
        if (isWindowStateKey(key)) {
            windowLines_[key] = v;
            continue;
        }
        switch (key) {
            case kKeySwitches:
                switchLine = v;
                haveSwitchLine = true;
                break;
            case kKeySlowSB: s.slowPosition = parseIntInRange(v, 0, kSlowSBMax, kSlowSBPosition); break;
            case kKeySpeedPanel: s.speedPanel = parseBool(v, false); break;
            case kKeyZeroPage: s.zeroPageMode = parseBool(v, false); break;
            case kKeyFastRunSpeed:
                s.fastRunSpeed = parseIntInRange(v, kFastRunSpeedMin, kFastRunSpeedMax,
                                                 kFastRunSpeedDefault);
                break;
            case kKeyOutputResetT13: s.outputResetT13 = parseBool(v, true); break;
            case kKeySoundEffects: s.soundEffects = parseBool(v, true); break;
            case kKeyClearMemory: s.clearMemory = parseBool(v, false); break;
            case kKeyIgnoreBreakpoints: s.ignoreBreakpoints = parseBool(v, false); break;
            case kKeyDefaultFastRunSpeed:
                s.defaultFastRunSpeed = parseIntInRange(v, kFastRunSpeedMin, kFastRunSpeedMax,
                                                        kFastRunSpeedDefault);
                break;
            case kKeyMainWindow: {
                const WindowPosition p = windowPositionFromState(v, screenWidth, screenHeight);
                s.left = p.left;
                s.top = p.top;
                break;
            }
            case kKeyOpenWindows: openWindows = OpenWindows::parse(v); break;
            case kKeyMelodyNoteDelay:
                s.melodyNoteDelay =
                    parseIntInRange(v, kNoteDelayMin, kNoteDelayMax, kNoteDelayDefault);
                break;
            case kKeySlowDepositExamine: s.slowDepositExamine = parseBool(v, false); break;
            case kKeyLinkData: s.linkData = v; break;
            case kKeyTraceOn: s.traceOn = parseBool(v, false); break;
            case kKeySerialPort:
                s.serialPort = parseIntInRange(v, kSerialPortMin, kSerialPortMax, kSerialPortMin);
                break;
            case kKeyNormalMode: s.normalMode = parseBool(v, true); break;
            case kKeyClearRam: s.clearRam = parseBool(v, false); break;
            case kKeyUploadAll: s.uploadAll = parseBool(v, true); break;
            case kKeyClearEeprom: s.clearEeprom = parseBool(v, false); break;
            case kKeyRadixNormal: s.radixNormal = parseIntInRange(v, 0, kRadixNormalMax, 0); break;
            case kKeyRadixWif: s.radixWif = parseIntInRange(v, 0, kRadixWifMax, 0); break;
            case kKeyAnimSB: s.animPosition = parseIntInRange(v, 0, kAnimSBMax, kAnimSBPosition); break;
            case kKeyLinkOption: s.linkOption = parseBool(v, false); break;
            case kKeyAutoSlowStep: s.autoSlowStep = parseBool(v, false); break;
            default: break;
        }
    }
    switchesSaved_ = haveSwitchLine && !switchLine.empty();
    if (switchesSaved_)
        for (int i = 0; i < kSwitchCount; ++i) s.switches[i] = parseBool(fieldAt(switchLine, i), false);
}

std::array<bool, kSwitchCount> SettingsFile::switchesToRestore(const MainSettings& s) const {
    if (switchesSaved_) return s.switches;
    // Built-in states: SR 0, continuous, fast.
    std::array<bool, kSwitchCount> builtIn{};
    for (int i = 0; i < 8; ++i) builtIn[i] = true;
    builtIn[kSwitchSingleCont] = true;
    builtIn[kSwitchSlowFast] = true;
    return builtIn;
}

std::vector<std::string> SettingsFile::build(const MainSettings& s) const {
    std::vector<std::string> out;
    out.reserve(kSettingsLineCount);
    FieldListBuilder switches;
    for (bool on : s.switches) switches.addBool(on);
    FieldListBuilder position;
    position.add(s.left).add(s.top);
    for (int key = 1; key <= kSettingsLineCount; ++key) {
        std::string v;
        if (isWindowStateKey(key)) {
            v = windowLines_[key];
        } else {
            switch (key) {
                case kKeySwitches: v = switches.str(); break;
                case kKeySlowSB: v = std::to_string(s.slowPosition); break;
                case kKeySpeedPanel: v = formatBool(s.speedPanel); break;
                case kKeyZeroPage: v = formatBool(s.zeroPageMode); break;
                case kKeyFastRunSpeed: v = std::to_string(s.fastRunSpeed); break;
                case kKeyOutputResetT13: v = formatBool(s.outputResetT13); break;
                case kKeySoundEffects: v = formatBool(s.soundEffects); break;
                case kKeyClearMemory: v = formatBool(s.clearMemory); break;
                case kKeyIgnoreBreakpoints: v = formatBool(s.ignoreBreakpoints); break;
                case kKeyDefaultFastRunSpeed: v = std::to_string(s.defaultFastRunSpeed); break;
                case kKeyMainWindow: v = position.str(); break;
                case kKeyOpenWindows: v = openWindows.format(); break;
                case kKeyMelodyNoteDelay: v = std::to_string(s.melodyNoteDelay); break;
                case kKeySlowDepositExamine: v = formatBool(s.slowDepositExamine); break;
                case kKeyLinkData: v = s.linkData; break;
                case kKeyTraceOn: v = formatBool(s.traceOn); break;
                case kKeySerialPort: v = std::to_string(s.serialPort); break;
                case kKeyNormalMode: v = formatBool(s.normalMode); break;
                case kKeyClearRam: v = formatBool(s.clearRam); break;
                case kKeyUploadAll: v = formatBool(s.uploadAll); break;
                case kKeyClearEeprom: v = formatBool(s.clearEeprom); break;
                case kKeyRadixNormal: v = std::to_string(s.radixNormal); break;
                case kKeyRadixWif: v = std::to_string(s.radixWif); break;
                case kKeyAnimSB: v = std::to_string(s.animPosition); break;
                case kKeyLinkOption: v = formatBool(s.linkOption); break;
                case kKeyAutoSlowStep: v = formatBool(s.autoSlowStep); break;
                default: break;
            }
        }
        if (keepReadPlaces_ && holdsWindowPlace(key) && !v.empty()) v = withPlaceOf(readPlaces_[key], v);
        out.push_back(keyed(key, v));
    }
    return out;
}

bool SettingsFile::load(const std::filesystem::path& path, MainSettings& s, int screenWidth,
                        int screenHeight) {
    const ContainerRead read = readContainerFile(path);
    if (!read.ok) return false;
    apply(read.lines, s, screenWidth, screenHeight);
    return true;
}

bool SettingsFile::save(const std::filesystem::path& path, const MainSettings& s) const {
    return writeContainerFile(path, build(s));
}

}  // namespace mira::core
