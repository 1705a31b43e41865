// Internal to the assembler: what encoding one statement needs, and the two dialects'
// statement encoders.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/machine.h"
#include "instruction_table.h"

namespace mira::assembler::detail {

using NameMap = std::unordered_map<std::string, int>;

struct EncodeContext {
    const InstructionTable& table;
    const NameMap& labels;      // label name -> address
    const NameMap& constants;   // WIF constant name -> value
    const NameMap& ramNames;    // WIF RAM name -> address
    const NameMap& eepromNames; // WIF EEPROM name -> address
    bool zeroPageMode = false;
};

struct Encoded {
    int word = 0;
    std::string error;  // empty when the statement encoded
    // The field the error is about; the number of fields or more for one that is missing.
    int token = -1;
};

Encoded encodeNormal(const std::vector<std::string>& fields, int address, const EncodeContext& ctx);
Encoded encodeWif(const std::vector<std::string>& fields, int address, const EncodeContext& ctx);

// Tokens longer than their limit are cut to 10 characters; a label definition may have
// 11 (its comma), a WIF binary number 18.
std::string cutToken(std::string_view token, bool wif);

inline bool isLabelDefinition(std::string_view token) {
    return !token.empty() && token.back() == ',';
}

// Index into a name map, -1 when absent.
inline int lookup(const NameMap& map, const std::string& name) {
    const auto it = map.find(name);
    return it == map.end() ? -1 : it->second;
}

}  // namespace mira::assembler::detail
