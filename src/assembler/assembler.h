// The assembler of both dialects: one assembly turns source lines into the assembled
// image, the code and source lists, the line map and (WIF) the RAM, EEPROM and constant
// tables; Transfer To Memory then puts the image into the machine.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/code_trace.h"
#include "core/machine.h"
#include "core/prompter.h"
#include "instruction_table.h"
#include "tokenizer.h"

namespace mira::assembler {

inline constexpr int kNormalCapacity = 256;
inline constexpr int kWifCapacity = 1024;

// One word of the code list: a statement, a reserved word, or one character of a string.
struct CodeEntry {
    // Failed: the place a line that failed in the first pass would have taken, kept so
    // that the addresses after it do not move while the other errors are looked for.
    enum class Kind { Statement, Reserve, StringWord, Failed };
    Kind kind = Kind::Statement;
    std::vector<std::string> fields;   // upper case; a label definition keeps its comma
    std::vector<std::string> written;  // the same with the case as written
    int line = -1;                     // source line index, -1 for a filler word
    int value = 0;                     // StringWord: the character's code
};

struct Constant {
    std::string name;
    int value = 0;
    int line = -1;  // -1 for the predefined symbols
};

// One error of an assembly, as the Problems list and `mira8-cli asm` show it.
struct Diagnostic {
    int line = -1;        // source line index (from 0), -1 for none
    int column = 0;       // from 1, of the token in question (or just past the line's end)
    std::string token;    // the token in question as written, empty for none
    std::string message;  // the error box's text
    std::string detail;   // the message with what it is about: "Duplicated label: LOOP (first at line 4)"
};

struct AssemblyResult {
    bool ok = false;        // ended without error and without a stopping query
    int line = -1;          // source line index (from 0) to mark, -1 for none
    std::string message;    // the error shown, empty when none
    bool stoppedByQuery = false;
    bool modeChanged = false;  // a query switched the operating mode: reload the table
    // Every error, by line and column. The first one found is `message`/`line`; the
    // assembly goes on after it only to find the others and changes nothing more.
    std::vector<Diagnostic> diagnostics;
};

class Assembler {
public:
    Assembler() { lineMap_.fill(-1); }

    // The table of the machine's current mode; it must outlive the assembler's use of it.
    void setInstructionTable(const InstructionTable* table) { table_ = table; }
    const InstructionTable* instructionTable() const { return table_; }

    // Assembles `lines` for the machine's mode and options. Errors go to the prompter's
    // error box and come back in the result; queries are asked through it.
    AssemblyResult Assemble(const std::vector<std::string>& lines, core::Machine& machine,
                            core::Prompter& prompter);

    // Copies the image into program memory and clears the state a fresh program expects.
    // False (after an information box) when running or when there is nothing to transfer.
    bool TransferToMemory(core::Machine& machine, core::Prompter& prompter, core::CodeTrace* trace);

    // The machine was reset or memory replaced: the last result no longer applies.
    void discard();

    // --- the last result, read by the views, the editor and the board link ---
    const std::array<int32_t, core::kMaxMemory>& image() const { return image_; }
    const std::vector<CodeEntry>& codeList() const { return code_; }
    // Entry i of the code list or source list in its stored form (backquote-separated).
    std::string codeListText(int address) const;
    std::string sourceListText(int address) const;
    // The statement's source text with its fields separated by blanks.
    std::string sourceText(int address) const;
    const std::array<int, core::kMaxMemory>& lineMap() const { return lineMap_; }
    int wordCount() const { return wordCount_; }
    bool assembled() const { return assembled_; }
    int uploadLength() const { return uploadLength_; }
    int capacity() const { return capacity_; }
    Dialect dialect() const { return dialect_; }
    // Addresses the last assembly wrote (reserved words excluded), in address order.
    const std::vector<int>& writtenAddresses() const { return written_; }
    // Set by Transfer To Memory, cleared by the next assembly: the listing is in memory.
    bool animate() const { return animate_; }

    // WIF definitions of the last assembly and the names the views show since a transfer.
    const std::array<std::string, core::kRamSize>& ramDefinitions() const { return ramDefs_; }
    const std::array<std::string, core::kEepromSize>& eepromDefinitions() const { return eepDefs_; }
    const std::vector<Constant>& constants() const { return constants_; }
    // Source line of each RAM / EEPROM slot's definition, -1 for an empty slot.
    const std::array<int, core::kRamSize>& ramDefinitionLines() const { return ramLines_; }
    const std::array<int, core::kEepromSize>& eepromDefinitionLines() const { return eepLines_; }
    // The errors of the last assembly (empty after a clean one).
    const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
    const std::array<std::string, core::kRamSize>& ramNames() const { return ramNames_; }
    const std::array<std::string, core::kEepromSize>& eepromNames() const { return eepNames_; }

private:
    friend class AssemblyRun;

    const InstructionTable* table_ = nullptr;
    std::array<int32_t, core::kMaxMemory> image_{};
    std::vector<CodeEntry> code_;
    std::array<int, core::kMaxMemory> lineMap_{};
    std::vector<int> written_;
    int wordCount_ = 0;
    bool assembled_ = false;
    int uploadLength_ = 0;
    int capacity_ = kNormalCapacity;
    Dialect dialect_ = Dialect::Normal;
    bool animate_ = false;
    std::array<std::string, core::kRamSize> ramDefs_{};
    std::array<std::string, core::kEepromSize> eepDefs_{};
    std::vector<Constant> constants_;
    std::array<int, core::kRamSize> ramLines_{};
    std::array<int, core::kEepromSize> eepLines_{};
    std::vector<Diagnostic> diagnostics_;
    std::array<std::string, core::kRamSize> ramNames_{};
    std::array<std::string, core::kEepromSize> eepNames_{};
};

}  // namespace mira::assembler
