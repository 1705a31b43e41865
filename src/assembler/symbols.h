// Fixed names of the assembler language: operand keywords, the directive tables of both
// dialects (with the instruction picker's help texts) and the 75 predefined constants.
#pragma once

#include <span>
#include <string_view>

#include "tokenizer.h"

namespace mira::assembler {

struct Directive {
    std::string_view name;
    std::string_view help;  // empty for the last entry, which the picker does not offer
};

struct PredefinedSymbol {
    std::string_view name;
    int value;
};

std::span<const Directive> directiveTable(Dialect dialect);
std::span<const std::string_view> operandKeywords();
std::span<const PredefinedSymbol> predefinedSymbols();
// The predefined symbols as they are stored: "NAME~VALUE~".
std::span<const std::string_view> predefinedSymbolEntries();

bool isOperandKeyword(std::string_view word);

// A label name: 1 to 10 characters A-Z and 0-9.
bool hasLabelShape(std::string_view name);

}  // namespace mira::assembler
