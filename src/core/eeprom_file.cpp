#include "eeprom_file.h"

#include "field_list.h"
#include "scrambled_file.h"

namespace mira::core {

bool applyEepromLines(const std::vector<std::string>& lines,
                      std::array<uint8_t, kEepromSize>& cells) {
    if (lines.size() != static_cast<size_t>(kEepromSize)) return false;
    for (int i = 0; i < kEepromSize; ++i)
        cells[static_cast<size_t>(i)] =
            static_cast<uint8_t>(parseIntInRange(lines[static_cast<size_t>(i)], 0, 255, 255));
    return true;
}

std::vector<std::string> eepromLines(const std::array<uint8_t, kEepromSize>& cells) {
    std::vector<std::string> lines;
    lines.reserve(cells.size());
    for (uint8_t v : cells) lines.push_back(std::to_string(v));
    return lines;
}

bool loadEepromFile(const std::filesystem::path& path, std::array<uint8_t, kEepromSize>& cells) {
    const ContainerRead r = readContainerFile(path, kAllLines, kEepromSize);
    return r.ok && applyEepromLines(r.lines, cells);
}

bool saveEepromFile(const std::filesystem::path& path,
                    const std::array<uint8_t, kEepromSize>& cells) {
    return writeContainerFile(path, eepromLines(cells));
}

}  // namespace mira::core
