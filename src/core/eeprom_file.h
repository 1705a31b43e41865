// The EEPROM value file "epmvl.dat": the 32 EEPROM bytes, one decimal value a line, kept
// between runs in the data-file container.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "machine.h"

namespace mira::core {

inline constexpr const char* kEepromFileName = "epmvl.dat";

// Applies the file's lines to `cells` when there are exactly 32 of them; a line that is
// not a number 0..255 gives 255 (the erased state). False, cells untouched, otherwise.
bool applyEepromLines(const std::vector<std::string>& lines,
                      std::array<uint8_t, kEepromSize>& cells);
std::vector<std::string> eepromLines(const std::array<uint8_t, kEepromSize>& cells);

// Reads the file into `cells`; false (cells untouched) when it is missing or malformed.
bool loadEepromFile(const std::filesystem::path& path, std::array<uint8_t, kEepromSize>& cells);
bool saveEepromFile(const std::filesystem::path& path,
                    const std::array<uint8_t, kEepromSize>& cells);

}  // namespace mira::core
