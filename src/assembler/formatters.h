// Number formats shared by the views and the disassembler: octal, "737" split octal,
// binary, the display radix with its prefix letter, and line levels.
#pragma once

#include <cstdint>
#include <string>

namespace mira::assembler {

// Display radixes.
enum Radix : int { kRadixDec = 0, kRadixHex = 1, kRadixSplitOctal = 2, kRadixOctal = 3 };

std::string FormatOctal(int64_t value, int width);
std::string FormatSplitOctal(int64_t value);
std::string FormatBinary8(int64_t value);
std::string FormatRadix(int64_t value, int radix, bool withPrefix);
std::string FormatLevel(int flag);
// FormatRadix with its prefix, for reading aloud: the octal prefix "0" becomes "0o", which a
// screen reader cannot take for one more digit ("0o052", not "0052").
std::string FormatRadixSpoken(int64_t value, int radix);

}  // namespace mira::assembler
