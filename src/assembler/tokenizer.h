// Splits one assembler source line into tokens: comments, quoted text kept as one token,
// upper-casing with the one character of a character literal kept as written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mira::assembler {

enum class Dialect { Normal, Wif };

struct TokenizedLine {
    std::vector<std::string> tokens;   // upper case (but for the kept literal character)
    std::vector<std::string> written;  // as written in the source
    std::vector<int> columns;          // where each token starts in the line, from 0
    bool empty() const { return tokens.empty(); }
};

TokenizedLine tokenize(std::string_view line, Dialect dialect);

// The source form of a code list entry: its fields each followed by a backquote.
std::string joinFields(const std::vector<std::string>& fields);

}  // namespace mira::assembler
