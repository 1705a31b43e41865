// Word files: the plain program format of the CLI. Whitespace-separated numbers (decimal,
// 0x hexadecimal, 0o octal), "#" comments to the end of the line, "@N" sets the address of
// the next word; otherwise words load from address 0 upwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mira::cli {

struct WordFileEntry {
    int address;
    int32_t word;
};

struct WordFileResult {
    bool ok = false;
    std::vector<WordFileEntry> words;
    int errorLine = 0;  // 1-based
    std::string error;
};

// Parses a number in the CLI's notation: decimal, 0x hex or 0o octal.
std::optional<int64_t> parseNumber(std::string_view text);

// Parses word file text; words above maxWord or addresses past memorySize are errors.
WordFileResult parseWordFile(std::string_view text, int memorySize, int32_t maxWord);

// Writes words as a word file: an "@N" line wherever the addresses jump.
std::string formatWordFile(const std::vector<WordFileEntry>& words, bool hex16);

}  // namespace mira::cli
