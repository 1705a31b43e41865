#include "instruction_table.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <set>
#include <sstream>

#include "core/data_dir.h"
#include "core/scrambled_file.h"

namespace mira::assembler {

namespace {

inline constexpr int kNormalRecordCount = 28;
inline constexpr int kWifRecordCount = 64;
inline constexpr int kMnemonicMax = 10;

int modeNumber(core::OperatingMode mode) {
    return mode == core::OperatingMode::Normal ? kNormalTableMode : kWifTableMode;
}

// The decimal mode number in the first three characters, nullopt when there is none.
std::optional<int> lineMode(const std::string& line) {
    if (line.size() < 3) return std::nullopt;
    int value = 0;
    bool digits = false;
    for (int i = 0; i < 3; ++i) {
        const char ch = line[static_cast<size_t>(i)];
        if (ch == ' ' && !digits) continue;
        if (!std::isdigit(static_cast<unsigned char>(ch))) return std::nullopt;
        value = value * 10 + (ch - '0');
        digits = true;
    }
    if (!digits) return std::nullopt;
    return value;
}

std::optional<uint16_t> parseHexCode(std::string_view field) {
    std::string digits;
    for (char ch : field)
        if (ch != ' ') digits += ch;
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char ch : digits) {
        const int d = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0'
                      : (ch >= 'A' && ch <= 'F')                   ? ch - 'A' + 10
                      : (ch >= 'a' && ch <= 'f')                   ? ch - 'a' + 10
                                                                   : -1;
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    if (value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(value);
}

std::vector<std::string> splitFields(std::string_view text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('~', start);
        if (end == std::string_view::npos) {
            if (start < text.size()) fields.emplace_back(text.substr(start));
            break;
        }
        fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

CompilerDataResult failure() {
    CompilerDataResult r;
    r.message = kCompilerDataFailed;
    return r;
}

}  // namespace

int InstructionTable::indexOf(std::string_view mnemonic) const {
    if (mnemonic.empty()) return -1;
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i].mnemonic == mnemonic) return static_cast<int>(i);
    return -1;
}

std::string_view InstructionTable::name(int k) const {
    if (k < 0 || k >= size()) return {};
    return records[static_cast<size_t>(k)].mnemonic;
}

int groupNumber(std::string_view name) {
    if (name == "OPR" || name == "GEN") return 2;
    if (name == "VAL") return 1;
    if (name == "IOT") return 3;
    return 0;  // MREF, REG and anything unknown
}

// The assembler and the disassembler find records by their index, so a table that is
// shuffled, short, padded or holds a mnemonic twice would turn HALT into something else.
static bool wellFormed(const std::vector<InstructionRecord>& records, core::OperatingMode mode,
                       size_t filled) {
    // Normal codes are fixed by the hardware; record 3 is free for its own code.
    static constexpr std::array<int, kNormalRecordCount> kNormalCodes = {
        0x00, 0x20, 0x40, -1,   0x60, 0x80, 0xA0, 0xE8, 0xE4, 0xE2, 0xE1, 0xE9, 0xEC, 0xE5,
        0xF8, 0xF4, 0xFC, 0xF2, 0xF1, 0xE0, 0xC1, 0xC2, 0xC4, 0xC6, 0xD1, 0xD2, 0xD4, 0xD6};
    const bool normal = mode == core::OperatingMode::Normal;
    const size_t total = static_cast<size_t>(normal ? kNormalRecordCount : kWifRecordCount);
    if (records.size() != total || filled != total) return false;
    std::set<std::string_view> names;
    for (size_t k = 0; k < records.size(); ++k) {
        const InstructionRecord& rec = records[k];
        // WIF leaves the forms it does not define empty; Normal defines every record.
        if (rec.mnemonic.empty()) {
            if (normal) return false;
            continue;
        }
        if (!names.insert(rec.mnemonic).second) return false;
        if (normal) {
            if (kNormalCodes[k] >= 0 && rec.code != kNormalCodes[k]) return false;
        } else if (static_cast<size_t>(16 * ((rec.code >> 10) & 3) + (rec.code >> 12)) != k) {
            return false;  // a WIF code names its own record: its form is the index
        }
    }
    return true;
}

CompilerDataResult buildInstructionTable(const std::vector<std::string>& lines,
                                         core::OperatingMode mode) {
    const int wanted = modeNumber(mode);
    std::vector<const std::string*> kept;
    for (const auto& line : lines)
        if (!line.empty()) kept.push_back(&line);

    int count = 0;
    int first = -1;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (lineMode(*kept[i]) == wanted) {
            if (first < 0) first = static_cast<int>(i);
            ++count;
        }
    }
    if (count == 0) return failure();

    CompilerDataResult r;
    r.table.records.resize(static_cast<size_t>(count));
    size_t index = 0;
    for (size_t i = static_cast<size_t>(first); i < kept.size(); ++i) {
        const std::string& line = *kept[i];
        // The run of this mode's lines ends at the first line of another mode.
        if (lineMode(line) != wanted) break;
        auto fields = splitFields(std::string_view(line).substr(3));
        fields.resize(4);
        const auto code = parseHexCode(fields[1]);
        if (!code) return failure();
        InstructionRecord& rec = r.table.records[index++];
        rec.mnemonic = fields[0];
        rec.code = *code;
        rec.description = fields[2];
        rec.group = groupNumber(fields[3]);
    }
    if (!wellFormed(r.table.records, mode, index)) return failure();
    r.state = mode == core::OperatingMode::Normal ? 1 : 2;
    return r;
}

CompilerDataResult LoadCompilerData(const std::filesystem::path& path, core::OperatingMode mode) {
    const auto read = core::readContainerFile(path);
    if (!read.ok) return failure();
    return buildInstructionTable(read.lines, mode);
}

CompilerDataResult LoadCompilerData(const std::filesystem::path& path, core::Machine& machine) {
    auto r = LoadCompilerData(path, machine.options.mode);
    machine.instructionTableState = r.state;
    if (r.state == 0) {
        machine.options.mode = core::OperatingMode::Normal;
        machine.updateMemorySize();
    }
    return r;
}

std::filesystem::path findCompilerData() { return core::findDataFile(kCompilerDataFileName); }

TableSourceResult compileTableSource(std::string_view text, core::OperatingMode mode) {
    struct SourceRecord {
        InstructionRecord record;
        std::string groupName;
    };
    const bool normal = mode == core::OperatingMode::Normal;
    const int total = normal ? kNormalRecordCount : kWifRecordCount;
    std::vector<std::optional<SourceRecord>> slots(static_cast<size_t>(total));
    TableSourceResult r;
    std::istringstream in{std::string(text)};
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        r.ok = false;
        r.errorLine = lineNo;
        r.error = why;
        r.lines.clear();
        return r;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string indexText, mnemonic, codeText, group;
        if (!(fields >> indexText) || indexText[0] == '#') continue;
        if (!(fields >> mnemonic >> codeText >> group))
            return fail("expected INDEX MNEMONIC CODE GROUP DESCRIPTION");
        std::string description;
        std::getline(fields >> std::ws, description);
        int index = -1;
        if (std::sscanf(indexText.c_str(), "%d", &index) != 1 || index < 0 || index >= total)
            return fail("index out of range: " + indexText);
        if (slots[static_cast<size_t>(index)]) return fail("index given twice: " + indexText);
        if (mnemonic.size() > static_cast<size_t>(kMnemonicMax))
            return fail("mnemonic too long: " + mnemonic);
        for (char ch : mnemonic)
            if (std::islower(static_cast<unsigned char>(ch)) || ch == '~' || ch == ',')
                return fail("mnemonic must be upper case without '~' or ',': " + mnemonic);
        if (description.find('~') != std::string::npos) return fail("description holds '~'");
        const auto code = parseHexCode(codeText);
        if (!code) return fail("bad hexadecimal code: " + codeText);
        if (!normal) {
            const int form = 16 * ((*code >> 10) & 3) + (*code >> 12);
            if (form != index) return fail("code " + codeText + " is not form " + indexText);
        }
        if (group != "MREF" && group != "OPR" && group != "REG" && group != "VAL" &&
            group != "GEN" && group != "IOT")
            return fail("unknown group: " + group);
        SourceRecord rec;
        rec.record.mnemonic = mnemonic;
        rec.record.code = *code;
        rec.record.description = description;
        rec.record.group = groupNumber(group);
        rec.groupName = group;
        slots[static_cast<size_t>(index)] = std::move(rec);
    }
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%03d", modeNumber(mode));
    for (int k = 0; k < total; ++k) {
        const auto& slot = slots[static_cast<size_t>(k)];
        if (!slot) {
            if (normal) {
                lineNo = 0;
                return fail("index " + std::to_string(k) + " missing");
            }
            r.lines.push_back(std::string(prefix) + "~0~~~");
            continue;
        }
        char code[8];
        std::snprintf(code, sizeof code, "%04X", slot->record.code);
        r.lines.push_back(std::string(prefix) + slot->record.mnemonic + "~" + code + "~" +
                          slot->record.description + "~" + slot->groupName + "~");
    }
    r.ok = true;
    return r;
}

}  // namespace mira::assembler
