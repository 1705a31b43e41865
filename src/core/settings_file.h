// The settings file "zomira.dat": options, panel switches, speed settings and every
// window's state between runs, one keyed line each ("001" … "047"), and the order in which
// the windows that were open come back. Lines of windows that do not exist (yet) are kept
// as read and written back unchanged.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "machine.h"

namespace mira::core {

inline constexpr int kSettingsLineCount = 47;
inline constexpr const char* kSettingsFileName = "zomira.dat";

enum SettingsKey : int {
    kKeySwitches = 1,
    kKeyEepromView = 2,
    kKeySlowSB = 3,
    kKeySpeedPanel = 4,
    kKeyZeroPage = 5,
    kKeyFastRunSpeed = 6,
    kKeyOutputResetT13 = 7,
    kKeySoundEffects = 8,
    kKeyKeypad2Buttons = 9,
    kKeyClearMemory = 10,
    kKeyIgnoreBreakpoints = 11,
    kKeyDefaultFastRunSpeed = 12,
    kKeyMelodyPlayer = 13,
    kKeyEditor = 14,
    kKeyKeypad = 15,
    kKeyOctalLed = 16,
    kKeyMagTape = 17,
    kKeyTapeReader = 18,
    kKeyMainWindow = 19,
    kKeyOpenWindows = 20,
    kKeyMemoryView = 21,
    kKeyTapePunch = 22,
    kKeyDecimalLed = 23,
    kKeyMelodyNoteDelay = 24,
    kKeyPrinter = 25,
    kKeyAscii = 26,
    kKeySlowDepositExamine = 27,
    kKeyLinkData = 28,
    kKeyTraceOn = 29,
    kKeySerialPort = 30,
    kKeyNormalMode = 31,
    kKeyRamView = 32,
    kKeyClearRam = 33,
    kKeyUploadAll = 34,
    kKeyBasicSerial = 35,
    kKeyClearEeprom = 36,
    kKeyRadixNormal = 37,
    kKeyRadixWif = 38,
    kKeyAnimSB = 39,
    kKeyExternalSwitches = 40,
    kKeyDisplay10 = 41,
    kKeyLinkOption = 42,
    kKeyKeypad2 = 43,
    kKeyAutoSlowStep = 44,
    kKeyStackView = 45,
    kKeyDisplayAlpha = 46,
    // Added after the original 46: the timing diagram's place, size, signals and open state.
    kKeyTimingDiagram = 47,
};

// True for the lines that hold one window's state string (its GetScreenData).
bool isWindowStateKey(int key);
// True for the lines whose first two fields are a window's place, Left and Top: the panel's
// and every window state line but KeyPad 2's key table.
bool holdsWindowPlace(int key);

// The main window's own values in the file.
struct MainSettings {
    std::array<bool, kSwitchCount> switches{};
    int slowPosition = 500;
    bool speedPanel = false;
    bool zeroPageMode = false;
    int fastRunSpeed = 200;
    bool outputResetT13 = true;
    bool soundEffects = true;
    bool clearMemory = false;
    bool ignoreBreakpoints = false;
    int defaultFastRunSpeed = 200;
    int left = 0;
    int top = 0;
    int melodyNoteDelay = 100;
    bool slowDepositExamine = false;
    std::string linkData;
    bool traceOn = false;
    int serialPort = 1;
    bool normalMode = true;
    bool clearRam = false;
    bool uploadAll = true;
    bool clearEeprom = false;
    int radixNormal = 2;
    int radixWif = 0;
    int animPosition = 500;
    bool linkOption = false;
    bool autoSlowStep = false;
};

// Line 020: which windows were open and on which slots, 34 fields kept as text so that
// fields of windows this program does not have yet survive a save.
struct OpenWindows {
    static constexpr int kFieldCount = 34;
    std::array<std::string, kFieldCount> fields{};

    // Nothing open, the external mask at rest.
    OpenWindows();

    static OpenWindows parse(const std::string& line);
    std::string format() const;
    bool visible(int field) const;
    int number(int field, int fallback) const;
    void setVisible(int field, bool on);
    void setNumber(int field, int value);
};

// Fields of line 020.
enum OpenWindowField : int {
    kOpenMemoryView = 0,
    kOpenMagTape = 1, kOpenMagTapeIn = 2, kOpenMagTapeOut = 3,
    kOpenTapeReader = 4, kOpenTapeReaderType = 5,
    kOpenOctalLed = 6, kOpenOctalLedSlot = 7,
    kOpenKeypad = 8, kOpenKeypadSlot = 9,
    kOpenEditor = 10,
    kOpenTapePunch = 11, kOpenTapePunchSlot = 12,
    kOpenDecimalLed = 13, kOpenDecimalLedSlot = 14,
    kOpenMelody = 15, kOpenMelodySlot = 16,
    kOpenPrinter = 17, kOpenPrinterSlot = 18,
    kOpenAscii = 19, kOpenAsciiSlot = 20,
    kOpenRamView = 21,
    kOpenEepromView = 22,
    kOpenBasicSerial = 23,
    kOpenExternalSwitches = 24, kOpenExternalSwitchesType = 25, kOpenExternalMask1 = 26,
    kOpenDisplay10 = 27, kOpenDisplay10Slot = 28,
    kOpenKeypad2 = 29, kOpenKeypad2Slot = 30,
    kOpenStackView = 31,
    kOpenDisplayAlpha = 32, kOpenDisplayAlphaSlot = 33,
};

// One window to reopen at start-up, in the order they come back.
struct ReopenStep {
    enum Window {
        MemoryView, MagTape, TapeReader, OctalLed, Keypad, Editor, TapePunch, DecimalLed,
        Melody, Printer, Ascii, RamView, EepromView, BasicSerial, ExternalSwitches, Display10,
        Keypad2, StackView, DisplayAlpha,
    };
    Window window;
    int slot = -1;        // the module's slot (magnetic tape: input slot)
    int outputSlot = -1;  // magnetic tape only
    int initArg = -1;     // doInit's argument, −1 when the window is not initialised
};
// Windows of line 020 that come back, in order; modules whose saved slot (or type) is out
// of range stay closed.
std::vector<ReopenStep> reopenPlan(const OpenWindows& open);

class SettingsFile {
public:
    // Applies the lines in file order. Keys not in the table, short lines and empty lines
    // are ignored; a value that does not parse takes its line's default. Window lines and
    // line 020 are kept for windowLine()/openWindows. Line 019's position is clamped to the
    // screen.
    void apply(const std::vector<std::string>& lines, MainSettings& s, int screenWidth,
               int screenHeight);
    // All 46 lines in key order.
    std::vector<std::string> build(const MainSettings& s) const;

    // Reads and applies the file; false (and nothing applied) when it cannot be read.
    bool load(const std::filesystem::path& path, MainSettings& s, int screenWidth,
              int screenHeight);
    bool save(const std::filesystem::path& path, const MainSettings& s) const;

    // Line 001 was present and not empty at the last apply().
    bool switchesSaved() const { return switchesSaved_; }
    // Switch states to restore: as saved, or the built-in set (SR 0, continuous, fast).
    std::array<bool, kSwitchCount> switchesToRestore(const MainSettings& s) const;

    const std::string& windowLine(int key) const { return windowLines_.at(key); }
    void setWindowLine(int key, std::string value) { windowLines_.at(key) = std::move(value); }
    OpenWindows openWindows;

    // Where the window system does not tell a program where its windows are (natively on
    // Wayland), the places it knows are its own guesses: build() then writes every place
    // (the Left and Top of each window line and the panel's) as the last apply() read it,
    // 0,0 ("never placed") for a line it did not read, and the rest of each line as set.
    void keepReadPlaces(bool keep) { keepReadPlaces_ = keep; }

private:
    std::array<std::string, kSettingsLineCount + 1> windowLines_{};
    std::array<std::string, kSettingsLineCount + 1> readPlaces_{};
    bool keepReadPlaces_ = false;
    bool switchesSaved_ = false;
};

}  // namespace mira::core
