// The printer roll as text and as a printer file (".prf"): each roll line is the decimal
// codes of its characters, each followed by "~" (an empty line is a fed blank line), and a
// file is those lines in the scrambled container.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "devices/printer_font.h"

namespace mira::devices {

inline constexpr const char* kPrinterLoadError = "ERROR: Failed to load printer file";
inline constexpr const char* kPrinterDataError = "ERROR: Printer file data has errors";
inline constexpr const char* kPrinterSaveError = "ERROR: Failed to save printer file";
inline constexpr const char* kPrinterFileFilter = "Printer Files|*.prf|All Files|*.*";
inline constexpr const char* kPrinterOpenTitle = "Open Printer File";
inline constexpr const char* kPrinterInitialName = "*.prf";

using LineCodes = std::array<int, kPrinterLineChars>;
inline constexpr int kSpaceCode = 32;

// A roll line from 20 codes.
std::string rollLine(const LineCodes& codes);
// The codes a roll line prints: its fields up to the first empty one; what is missing or
// not a code 0..63 prints as a space.
LineCodes rollLineCodes(std::string_view line);
// The line as 20 characters of the printer set; a fed blank line is "".
std::string rollLineText(std::string_view line);
// Every field up to the line's first empty field is an integer 0..63. Text after the last
// "~" counts as a field too, so a cut-off line is not taken for a short one.
bool rollLineValid(std::string_view line);

struct PrinterFileRead {
    bool ok = false;
    std::string error;  // one of the messages above when !ok
    std::vector<std::string> lines;
};
PrinterFileRead readPrinterFile(const std::filesystem::path& path);
// Replaces the file whole; false when it cannot be written (the old file stays).
bool writePrinterFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace mira::devices
