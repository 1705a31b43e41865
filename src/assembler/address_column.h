// The editor's address column: the address each source line will occupy, estimated from
// the text alone (no assembly needed), in both dialects. Each line is summarised once from
// its own text; the column is a cheap walk over the summaries, so typing re-reads only the
// lines that changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tokenizer.h"

namespace mira::assembler {

// What one line contributes to the address estimate, from its text alone.
struct LineSummary {
    enum class Kind : uint8_t {
        Empty,        // no tokens
        Word,         // an ordinary statement: one address
        Words,        // a string directive or _SUBRETURN: `count` addresses, the first shown
        Reserve,      // _PCADD: one address, nothing shown
        PageBreak,    // Normal _PAGEBREAK
        SetPc,        // `value` is the target, -1 when unreadable
        End,          // _END: nothing after it has an address
        BlockStart,   // WIF _RAM (ram = true) or _EEP
        BlockEnd,     // WIF _ENDRAM or _ENDEEP
        Directive,    // any other directive: nothing shown, the estimate unchanged
    };
    Kind kind = Kind::Empty;
    bool ram = false;  // BlockStart/BlockEnd: the RAM block, else the EEPROM block
    int count = 0;     // Words: words produced
    int value = -1;    // SetPc target
    // Inside a definition block the line is a definition: start slot (-1 none, -2
    // unreadable) and slot count (-2 unreadable).
    int defStart = -1;
    int defCount = 1;
};

LineSummary summarizeLine(std::string_view line, Dialect dialect);

// One row of the column.
struct ColumnRow {
    enum class Kind : uint8_t { Blank, Address, RamSlot, EepromSlot, Unknown };
    Kind kind = Kind::Blank;
    int value = 0;  // the address or slot
};

// The rows of all lines: a walk over their summaries with the estimated address.
std::vector<ColumnRow> layoutColumn(const std::vector<LineSummary>& lines, Dialect dialect);

// The text of a row: Normal addresses in the display radix with its prefix, a page start
// with its page number; WIF addresses "  $" and three hex digits, slots "   $" and two;
// "???" for an impossible address.
std::string formatRow(const ColumnRow& row, Dialect dialect, int radix);

inline constexpr char kUnknownAddress[] = "???";

// The column of a whole text, kept between edits: a line's summary is looked up by its
// text, so an edit re-tokenizes only the lines it touched, wherever they moved.
class AddressColumn {
public:
    // Recomputes the rows for these lines (one walk); unchanged texts come from the cache.
    void update(const std::vector<std::string>& lines, Dialect dialect);
    const std::vector<ColumnRow>& rows() const { return rows_; }
    // Row of a line, blank outside the text.
    ColumnRow row(int line) const;
    // Lines summarised by the last update (a measure of the work done).
    int summarised() const { return summarised_; }

private:
    Dialect dialect_ = Dialect::Normal;
    std::unordered_map<std::string, LineSummary> cache_;
    std::vector<LineSummary> summaries_;
    std::vector<ColumnRow> rows_;
    int summarised_ = 0;
};

}  // namespace mira::assembler
