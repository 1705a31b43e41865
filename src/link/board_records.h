// The board's small data formats: the hardware option byte, the 24-byte directory record,
// program names and the check-box selection text of the link's dialogs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mira::link {

inline constexpr int kRecordSize = 24;
inline constexpr int kNameLength = 23;
inline constexpr int kNormalSlots = 8;
inline constexpr int kWifSlots = 3;

// Option byte bits.
inline constexpr int kOptNormalMode = 0x01;
inline constexpr int kOptPageZeroOff = 0x04;
inline constexpr int kOptSlowExDepOff = 0x08;
inline constexpr int kOptCycleMask = 0x30;
inline constexpr int kOptResetSecond = 0x40;  // T13 (Normal) or AO (WIF)
inline constexpr int kOptClearRegisters = 0x80;

// Directory record flag bits.
inline constexpr int kRecEmpty = 0x01;
inline constexpr int kRecPageZeroOff = 0x02;
inline constexpr int kRecSlowExDepOff = 0x04;
inline constexpr int kRecResetSecond = 0x08;

// The emulator's options that records and the option byte are built from.
struct EmulatorOptions {
    bool normalMode = true;
    bool zeroPageMode = false;
    bool slowDepositExamine = false;
    int outputResetMode = 1;  // 1 = T13 / AO
};

// "125mS", "250mS", "500mS  Default", "1 second" by bits 5-4.
const std::vector<std::string>& cycleTimeTexts();

// The six lines that describe an option byte.
std::vector<std::string> optionLines(int options);

// The option byte a project-memory write sends: the cycle bits kept, the rest from the
// emulator.
int memoryWriteOptions(int previous, const EmulatorOptions& o);

// The flag byte of a record written for the emulator's options (bit 0 clear: valid).
int recordFlags(const EmulatorOptions& o);

// A record: flag byte + name padded with blanks to 23.
std::string makeRecord(int flags, const std::string& name);

inline constexpr char kDirectoryHeader[] = "No  Name                     Pgm   Typ ZPM SED IO";

// One listing line; `wif` tells the record's type.
std::string directoryLine(int number, const std::string& record, bool wif);

// What the program name dialog does on accept: trim, collapse runs of blanks, check.
struct NameCheck {
    std::string name;   // trimmed
    std::string error;  // empty when accepted
};
NameCheck checkProgramName(const std::string& text);

// The selection dialog's text: title, then one box per field ("cmdBlank" is a gap).
struct SelectionItem {
    std::string caption;  // empty for a gap
    int value = 0;        // 1, 2, 4, ... (0 for a gap)
};
struct SelectionList {
    std::string title;
    std::vector<SelectionItem> items;
};
SelectionList parseSelection(const std::string& text);

// The hardware options dialog's byte from its controls.
int hardwareOptionsByte(bool normal, bool zeroPage, bool slowExDep, int cycleIndex,
                        bool secondReset, bool clearRegisters);

}  // namespace mira::link
