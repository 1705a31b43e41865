#include "tape_file.h"

#include "field_list.h"
#include "scrambled_file.h"

namespace mira::core {

std::vector<std::string> buildTapeLines(std::span<const int32_t> words, int highest, int from,
                                        int to) {
    std::vector<std::string> lines{std::to_string(kTapeStartMarker), std::to_string(from)};
    for (int a = from; a <= to; ++a) {
        const bool present = a >= 0 && a <= highest && a < static_cast<int>(words.size());
        lines.push_back(std::to_string(present ? words[static_cast<size_t>(a)] : 0));
    }
    return lines;
}

TapeContents parseTapeLines(const std::vector<std::string>& lines) {
    TapeContents t;
    if (lines.size() < 2 || lines.size() > static_cast<size_t>(kTapeMaxLines)) return t;
    std::vector<int> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) {
        const int v = parseIntInRange(line, 0, 255, -1);
        if (v < 0) return t;
        rows.push_back(v);
    }
    if (rows[0] != kTapeStartMarker) return t;
    t.start = rows[1];
    t.data.assign(rows.begin() + 2, rows.end());
    t.ok = true;
    return t;
}

bool writeTapeFile(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    return writeContainerFile(path, lines);
}

}  // namespace mira::core
