// Number literals of the assembler: "#" + kind letter + digits (D, $, B, 0, E, N, P and
// character literals), and the printer character set they share with _PSTRING.
#pragma once

#include <optional>
#include <string_view>

namespace mira::assembler {

// A token is a number when it begins with "#".
inline bool isNumberToken(std::string_view token) { return !token.empty() && token[0] == '#'; }

// The value of a number token, nullopt when it is invalid. Negative numbers -1..-128
// read as their 8-bit two's complement; other values lie in 0..65535.
std::optional<int> parseNumber(std::string_view token);

// True when the token is a valid number written without a minus sign.
bool isNonNegativeNumber(std::string_view token);

// Position 0..63 of a character in the printer character set, -1 when it has none.
int printerCode(char ch);

// Index of a note name ("X", "C#" ... "C"), -1 when it is not one.
int noteIndex(std::string_view name);

}  // namespace mira::assembler
