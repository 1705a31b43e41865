// WIF definition blocks (_RAM/_ENDRAM, _EEP/_ENDEEP) and _CONST lines, read before the
// first pass so that names can be used anywhere in the source.
#include <algorithm>
#include <span>

#include "assembly_run.h"
#include "literals.h"
#include "symbols.h"

namespace mira::assembler {

namespace {

struct BlockKind {
    const char* begin;
    const char* end;
    int slots;
    const char* invalidDirective;
    const char* invalidAddress;
    const char* duplicated;
    const char* nameLength;
    const char* exceeded;
};

inline constexpr BlockKind kRamBlock{"_RAM", "_ENDRAM", core::kRamSize, "Invalid RAM directive",
                                     "Invalid RAM address", "Duplicated RAM definition",
                                     "RAM definition name length",
                                     "RAM definitions exceed maximum allowed"};
inline constexpr BlockKind kEepromBlock{"_EEP", "_ENDEEP", core::kEepromSize,
                                        "Invalid EEPROM directive", "Invalid EEPROM address",
                                        "Duplicated EEPROM definition",
                                        "EEPROM definition name length",
                                        "EEPROM definitions exceed maximum allowed"};
inline constexpr size_t kNameMax = 10;

// "#D" or "#$" numbers only.
std::optional<int> decimalOrHex(const std::string& token) {
    if (token.size() < 2 || token[0] != '#' || (token[1] != 'D' && token[1] != '$')) return std::nullopt;
    return parseNumber(token);
}

Stop stopAt(const char* message, int line) { return Stop{message, line}; }

}  // namespace

std::optional<Stop> AssemblyRun::processBlock(bool ram) {
    const BlockKind& kind = ram ? kRamBlock : kEepromBlock;
    int begin = -1;
    int end = -1;
    int next = 0;
    for (size_t i = 0; i < work_.size(); ++i) {
        const int line = static_cast<int>(i);
        const TokenizedLine& tl = tokens_[i];
        if (tl.empty()) continue;
        const std::string t0 = tl.tokens[0];
        if (t0 == kind.begin) {
            if (begin >= 0 || tl.tokens.size() > 1) return stopAt(kind.invalidDirective, line);
            begin = line;
            blank(i);
            continue;
        }
        if (t0 == kind.end) {
            if (begin < 0 || end >= 0 || tl.tokens.size() > 1) return stopAt(kind.invalidDirective, line);
            end = line;
            blank(i);
            continue;
        }
        if (begin < 0 || end >= 0) continue;  // outside the block
        if (t0.find('_') != std::string::npos) return stopAt(kind.invalidDirective, line);
        const TokenizedLine definition = tl;
        blank(i);
        if (auto stop = defineNames(ram, line, definition, next)) return stop;
    }
    if (begin >= 0 && end < 0) return stopAt(kind.invalidDirective, begin);
    return std::nullopt;
}

std::optional<Stop> AssemblyRun::defineNames(bool ram, int line, const TokenizedLine& tl, int& next) {
    const BlockKind& kind = ram ? kRamBlock : kEepromBlock;
    const std::span<std::string> slots = ram ? std::span<std::string>(a_.ramDefs_) : std::span<std::string>(a_.eepDefs_);
    auto& map = ram ? ramMap_ : eepromMap_;
    const std::string& name = tl.tokens[0];
    if (map.count(name)) return stopAt(kind.duplicated, line);
    if (name.size() > kNameMax) return stopAt(kind.nameLength, line);
    if (!validLabelName(name)) return stopAt("Invalid label", line);

    int count = 1;
    size_t i = 1;
    if (i < tl.tokens.size() && tl.tokens[i].find(':') == std::string::npos) {
        const auto start = decimalOrHex(tl.tokens[i]);
        if (!start || *start > kind.slots) return stopAt(kind.invalidAddress, line);
        next = *start;
        ++i;
    }
    if (i < tl.tokens.size()) {
        const std::string& c = tl.tokens[i];
        const auto n = c.size() > 1 && c[0] == ':' ? decimalOrHex(c.substr(1)) : std::nullopt;
        if (!n || *n > kind.slots) return stopAt(kind.invalidAddress, line);
        count = *n;
        ++i;
    }
    if (i < tl.tokens.size()) return stopAt("Extra data on line", line);

    for (int k = 0; k < count; ++k) {
        const int slot = next + k;
        if (slot >= kind.slots) return stopAt(kind.exceeded, line);
        std::string& s = slots[static_cast<size_t>(slot)];
        // A RAM byte has one name. EEPROM names are not checked: a later name replaces
        // the earlier one, which then no longer resolves.
        if (ram && !s.empty()) return stopAt("RAM already defined at this address", line);
        if (!s.empty()) map.erase(s);
        s = k == 0 ? name : name + "_" + std::to_string(k);
        map[s] = slot;
    }
    next += count;
    return std::nullopt;
}

std::optional<Stop> AssemblyRun::processConstants() {
    std::vector<std::pair<int, TokenizedLine>> lines;
    for (size_t i = 0; i < work_.size(); ++i) {
        if (tokens_[i].empty() || tokens_[i].tokens[0] != "_CONST") continue;
        lines.emplace_back(static_cast<int>(i), std::move(tokens_[i]));
        blank(i);
    }
    for (const auto& [line, tl] : lines) {
        const auto& t = tl.tokens;
        if (t.size() < 3) return stopAt("Invalid constant", line);
        const std::string& name = t[1];
        if (name.size() > kNameMax) return stopAt("ERROR: Constant definition name length", line);
        if (constantMap_.count(name)) return stopAt("Duplicated constant", line);
        int value = 0;
        if (isNumberToken(t[2])) {
            const auto v = parseNumber(t[2]);
            if (!v) return stopAt("Invalid constant", line);
            value = *v;
        } else if (int r = detail::lookup(ramMap_, t[2]); r >= 0) {
            value = r;
        } else if (int e = detail::lookup(eepromMap_, t[2]); e >= 0) {
            value = e;
        } else if (int c = detail::lookup(constantMap_, t[2]); c >= 0) {
            value = c;
        } else {
            return stopAt("Invalid constant", line);
        }
        if (t.size() > 3) {
            if ((t[3] != "+" && t[3] != "-") || t.size() < 5 || !isNonNegativeNumber(t[4]))
                return stopAt("Invalid constant", line);
            if (t.size() > 5) return stopAt("Extra data on line", line);
            const int n = *parseNumber(t[4]);
            value = ((t[3] == "+" ? value + n : value - n) % 256 + 256) % 256;
        }
        a_.constants_.push_back(Constant{name, value, line});
        constantMap_.emplace(name, value);
    }
    return std::nullopt;
}

std::optional<Stop> AssemblyRun::checkConstants() {
    for (const auto& c : a_.constants_) {
        if (ramMap_.count(c.name)) return stopAt("Constant same as RAM definition", c.line);
        if (eepromMap_.count(c.name)) return stopAt("Constant same as EEPROM definition", c.line);
        if (isOperandKeyword(c.name)) return stopAt("Constant definition is reserved", c.line);
    }
    for (const auto& name : a_.ramDefs_)
        if (!name.empty() && eepromMap_.count(name)) return stopAt("Duplicated RAM and EEPROM name", -1);
    return std::nullopt;
}

}  // namespace mira::assembler
