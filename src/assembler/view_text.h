// The texts of the debug views: address column, memory rows in five number forms or the
// assembler's listing, register rows, I/O and control line levels, status panels, stack
// labels and RAM/EEPROM rows. Kept apart from the windows so that they are tested alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mira::assembler {

// Address column of the memory view: the decimal address right-aligned in three places,
// a blank, the address in the display radix, and in Normal mode the page mark " (n)" at
// the first word of every 16-word page.
std::string AddressText(int address, int radix, bool normalMode);
// Rows 16..31, 48..63, ... are drawn bold so that pages stand out.
inline bool AddressRowBold(int row) { return (row & 16) != 0; }
// Width the address text is padded to before the breakpoint mark "B".
inline constexpr int kBreakMarkColumn = 12;

// A listing line (fields separated by a backquote) as the memory view shows it: the
// label field aligned in 11 places, then fields 1..3, each followed by a blank.
std::string ListingText(std::string_view line);

// The number columns of one memory word: Normal 737, 377, DEC, HEX (2 digits), BIN; WIF
// only DEC and HEX (4 digits), the rest blank.
struct NumberForms {
    std::string splitOctal, octal, dec, hex, bin;
};
NumberForms MemoryNumberForms(int64_t value, bool normalMode);
// A register row: DEC and 2-digit HEX always; 737, 377 and BIN only when `full`.
NumberForms RegisterNumberForms(int64_t value, bool full);

// "LA = HI DEP = LO" (WIF: TG1 instead of DEP). A line reads HI when its bit of the
// external control byte is set and the panel switch that pulls it low is not held.
std::string ExtControlText(int externalControl, bool laHeld, bool depHeld, bool normalMode);
// "IN = HI OUT = LO" for one I/O channel.
std::string IOFlagText(int inFlag, int outFlag);

// Status bar panels.
std::string CarryText(bool c);
std::string ZeroText(bool z, bool normalMode);
std::string DecimalCarryText(bool dc, bool normalMode);
std::string BankText(bool bank, bool normalMode);
std::string SerialText(bool access, bool normalMode);
std::string RomAddressText(int pointer, int radix, bool normalMode);
std::string CycleText(int t);
inline constexpr const char* kBlankCycleText = "Cycle: -";
std::string ResetText(bool t13, bool normalMode);
std::string TraceText(bool on);

// Stack view: "[0]: $012A" or, with radix DEC, "[0]: D298".
std::string StackLabel(int index, int value, int radix);

// RAM and EEPROM views: the address of cell i (DEC/HEX in the radix, decimal for the
// octal radixes) and its value columns.
std::string CellAddressText(int index, int radix);
NumberForms CellNumberForms(int value);

}  // namespace mira::assembler
