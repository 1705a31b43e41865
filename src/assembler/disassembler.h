// DisassembleWord: the text of one memory word in either mode, read backwards through
// the loaded instruction table; what the memory view, the editor and the CLI show.
#pragma once

#include <cstdint>
#include <string>

#include "instruction_table.h"

namespace mira::assembler {

inline constexpr char kUnknownWord[] = "???";

// `radix` is the display radix used for operands; `highestAddress` masks WIF addresses
// (1023 in WIF mode).
std::string DisassembleWord(int64_t word, bool normalMode, const InstructionTable& table,
                            int radix, int highestAddress = 1023);

}  // namespace mira::assembler
