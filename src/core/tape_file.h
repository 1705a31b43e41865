// Paper tape files: the rows a saved memory range becomes ("128", the start address, one
// word per address) and reading such a file back into words.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace mira::core {

// The start marker row: bit 7 set, so a reader can tell it from the leader.
inline constexpr int kTapeStartMarker = 128;
// A valid tape file has 1..258 rows: the marker, the address and up to 256 bytes.
inline constexpr int kTapeMaxLines = 258;
inline constexpr const char* kTapeSaveFailed = "ERROR: Failed to save paper tape file";

// The rows of a tape holding words[from..to]: "128", `from`, then one decimal word per
// address; an address beyond `highest` or beyond the array gives 0. A range with `to`
// below `from` gives the two header rows only.
std::vector<std::string> buildTapeLines(std::span<const int32_t> words, int highest, int from,
                                        int to);

struct TapeContents {
    bool ok = false;
    int start = 0;               // the start address row
    std::vector<int> data;       // the rows after it
};
// Reads rows written by buildTapeLines: false for a file without the marker and address,
// longer than a tape holds, or with a row that is not a number 0..255.
TapeContents parseTapeLines(const std::vector<std::string>& lines);

// Writes the rows in the data-file container; false when the file cannot be written.
bool writeTapeFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace mira::core
