// The instruction tables of both modes: records of mnemonic, description, code and group,
// read from the compiler data file "cmplr.dat" and written from the human-readable
// sources in data/.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/machine.h"

namespace mira::assembler {

struct InstructionRecord {
    std::string mnemonic;  // empty for an unused record
    std::string description;
    uint16_t code = 0;
    int group = 0;
};

class InstructionTable {
public:
    std::vector<InstructionRecord> records;

    int size() const { return static_cast<int>(records.size()); }
    bool empty() const { return records.empty(); }
    // Index of the first record with this mnemonic, -1 when there is none.
    int indexOf(std::string_view mnemonic) const;
    // Mnemonic of record k; empty when k is outside the table.
    std::string_view name(int k) const;
};

inline constexpr char kCompilerDataFileName[] = "cmplr.dat";
inline constexpr char kCompilerDataFailed[] = "ERROR: Failed to load [What If?] data file";

// Mode numbers at the start of a compiler data line.
inline constexpr int kNormalTableMode = 0;
inline constexpr int kWifTableMode = 1;

// Group names as the file writes them.
int groupNumber(std::string_view name);

struct CompilerDataResult {
    // The instruction table state: 1 Normal table loaded, 2 WIF table loaded, 0 failure.
    int state = 0;
    InstructionTable table;
    std::string message;  // kCompilerDataFailed on failure
};

// Builds the table of `mode` from the lines of a compiler data file.
CompilerDataResult buildInstructionTable(const std::vector<std::string>& lines,
                                         core::OperatingMode mode);

// Reads the compiler data file at `path` and builds the table of `mode`.
CompilerDataResult LoadCompilerData(const std::filesystem::path& path, core::OperatingMode mode);

// As above for the machine's current mode, applying the outcome to the machine: the
// instruction table state, and on failure the operating mode falls back to Normal.
CompilerDataResult LoadCompilerData(const std::filesystem::path& path, core::Machine& machine);

// Where "cmplr.dat" is: the first of core::dataSearchPath() that holds it, else the data
// directory's path (which then fails to load).
std::filesystem::path findCompilerData();

// --- the human-readable table sources of data/ ---

struct TableSourceResult {
    bool ok = false;
    std::vector<std::string> lines;  // compiler data lines of this mode
    int errorLine = 0;               // 1-based
    std::string error;
};

// Turns a table source into compiler data lines. Normal sources must give all 28 indices;
// WIF sources give forms 0..63, the gaps become empty records.
TableSourceResult compileTableSource(std::string_view text, core::OperatingMode mode);

}  // namespace mira::assembler
