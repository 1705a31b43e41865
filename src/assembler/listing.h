// What an assembly names and where: the symbol table with the lines that use each symbol,
// the listing (line, address, words, source, then the symbols) and the editor's hover text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "assembler.h"

namespace mira::assembler {

struct Symbol {
    enum class Kind { Label, Ram, Eeprom, Constant };
    std::string name;
    Kind kind = Kind::Label;
    int value = 0;           // address, RAM or EEPROM slot, or the constant's value
    int line = -1;           // defining line from 0, -1 for a predefined constant
    std::vector<int> uses;   // lines from 0 that use it, ascending
};

const char* symbolKindName(Symbol::Kind kind);

// The symbols of the last assembly of `lines`, sorted by name: labels, RAM and EEPROM
// names, the source's constants and the predefined constants it uses (the digit names
// aside, which every WIF program uses).
std::vector<Symbol> symbolTable(const Assembler& a, const std::vector<std::string>& lines);

// A value as the listing shows it in a display radix (WIF takes decimal or hexadecimal).
std::string listingNumber(int value, int radix, Dialect dialect, bool address);

// The listing of the last assembly of `lines`: each line with its number, the address and
// word(s) it produced and its text; then "Symbols", by name and by value.
std::string formatListing(const Assembler& a, const std::vector<std::string>& lines, int radix);

// The text shown when the mouse rests on `column` (from 0) of `line`: a mnemonic's
// description, code and operand form; a symbol's value and definition; a number in the
// four radixes; a directive's help. Empty when the place names nothing.
std::string hoverText(std::string_view line, int column, Dialect dialect, const InstructionTable& table,
                      const std::vector<Symbol>& symbols);

}  // namespace mira::assembler
