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

Stop stopAt(std::string message, int line, int token = -1, std::string detail = {}) {
    Stop s{std::move(message), line};
    s.token = token;
    s.detail = std::move(detail);
    return s;
}

}  // namespace

void AssemblyRun::processBlock(bool ram) {
    const BlockKind& kind = ram ? kRamBlock : kEepromBlock;
    const std::string begins(kind.begin), ends(kind.end);
    // Whether an end follows the first start: a block without one is taken to end at its
    // first line that is no definition, which the first pass then reads as code.
    int firstBegin = -1;
    bool closed = false;
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (tokens_[i].empty()) continue;
        if (firstBegin < 0 && tokens_[i].tokens[0] == begins) firstBegin = static_cast<int>(i);
        else if (firstBegin >= 0 && tokens_[i].tokens[0] == ends) closed = true;
    }
    const std::string unclosed =
        " (no " + ends + " closes the " + begins + " block of line " + std::to_string(firstBegin + 1) + ")";

    int begin = -1;
    int end = -1;
    int next = 0;
    bool cutShort = false;
    for (size_t i = 0; i < work_.size(); ++i) {
        const int line = static_cast<int>(i);
        const TokenizedLine& tl = tokens_[i];
        if (tl.empty()) continue;
        const std::string t0 = tl.tokens[0];
        if (t0 == kind.begin) {
            if (begin >= 0)
                report(stopAt(kind.invalidDirective, line, 0,
                              std::string(kind.invalidDirective) + ": a second " + begins + " (the block began at line " +
                                  std::to_string(begin + 1) + ")"));
            else if (tl.tokens.size() > 1)
                report(stopAt(kind.invalidDirective, line, 1,
                              std::string(kind.invalidDirective) + ": " + begins + " takes nothing after it"));
            if (begin < 0) begin = line;
            blank(i);
            continue;
        }
        if (t0 == kind.end) {
            if (begin < 0)
                report(stopAt(kind.invalidDirective, line, 0,
                              std::string(kind.invalidDirective) + ": " + ends + " without " + begins + " before it"));
            else if (end >= 0)
                report(stopAt(kind.invalidDirective, line, 0,
                              std::string(kind.invalidDirective) + ": a second " + ends));
            else if (tl.tokens.size() > 1)
                report(stopAt(kind.invalidDirective, line, 1,
                              std::string(kind.invalidDirective) + ": " + ends + " takes nothing after it"));
            if (begin >= 0 && end < 0) end = line;
            blank(i);
            continue;
        }
        if (begin < 0 || end >= 0 || cutShort) continue;  // outside the block
        if (t0.find('_') != std::string::npos) {
            if (!closed) {
                report(stopAt(kind.invalidDirective, line, 0,
                              std::string(kind.invalidDirective) + ": " + tl.written[0] + unclosed));
                cutShort = true;
                continue;
            }
            report(stopAt(kind.invalidDirective, line, 0,
                          std::string(kind.invalidDirective) + ": " + tl.written[0] + " inside the " + begins + " block"));
            blank(i);
            continue;
        }
        const TokenizedLine definition = tl;
        if (auto stop = defineNames(ram, line, definition, next)) {
            if (!closed) {
                // The line is left for the first pass: most likely the block ended above it.
                stop->detail = original_[i].written.empty() ? stop->message : diagnosticOf(*stop).detail;
                stop->detail += unclosed;
                report(std::move(*stop));
                cutShort = true;
                continue;
            }
            report(std::move(*stop));
            // A second definition of a name leaves the first one standing.
            if (!(ram ? ramMap_ : eepromMap_).count(definition.tokens[0])) poison(definition.tokens[0]);
        }
        blank(i);
    }
    if (begin >= 0 && end < 0 && !cutShort)
        report(stopAt(kind.invalidDirective, begin, 0,
                      std::string(kind.invalidDirective) + ": " + begins + " without " + ends));
}

std::optional<Stop> AssemblyRun::defineNames(bool ram, int line, const TokenizedLine& tl, int& next) {
    const BlockKind& kind = ram ? kRamBlock : kEepromBlock;
    const std::span<std::string> slots = ram ? std::span<std::string>(a_.ramDefs_) : std::span<std::string>(a_.eepDefs_);
    const std::span<int> slotLines = ram ? std::span<int>(a_.ramLines_) : std::span<int>(a_.eepLines_);
    auto& map = ram ? ramMap_ : eepromMap_;
    const std::string& name = tl.tokens[0];
    if (map.count(name)) {
        int first = -1;
        for (size_t k = 0; k < slots.size(); ++k)
            if (slots[k] == name) first = slotLines[k];
        return stopAt(kind.duplicated, line, 0,
                      std::string(kind.duplicated) + ": " + tl.written[0] + " (first at line " + std::to_string(first + 1) + ")");
    }
    if (name.size() > kNameMax) return stopAt(kind.nameLength, line, 0);
    if (!validLabelName(name)) return stopAt("Invalid label", line, 0);

    int count = 1;
    size_t i = 1;
    if (i < tl.tokens.size() && tl.tokens[i].find(':') == std::string::npos) {
        const auto start = decimalOrHex(tl.tokens[i]);
        if (!start || *start > kind.slots) return stopAt(kind.invalidAddress, line, static_cast<int>(i));
        next = *start;
        ++i;
    }
    if (i < tl.tokens.size()) {
        const std::string& c = tl.tokens[i];
        const auto n = c.size() > 1 && c[0] == ':' ? decimalOrHex(c.substr(1)) : std::nullopt;
        if (!n || *n > kind.slots) return stopAt(kind.invalidAddress, line, static_cast<int>(i));
        count = *n;
        ++i;
    }
    if (i < tl.tokens.size()) return stopAt("Extra data on line", line, static_cast<int>(i));

    for (int k = 0; k < count; ++k) {
        const int slot = next + k;
        if (slot >= kind.slots)
            return stopAt(kind.exceeded, line, 0,
                          std::string(kind.exceeded) + ": " + tl.written[0] + " would reach slot " +
                              std::to_string(next + count - 1) + " of 0 to " + std::to_string(kind.slots - 1));
        std::string& s = slots[static_cast<size_t>(slot)];
        // A RAM byte has one name. EEPROM names are not checked: a later name replaces
        // the earlier one, which then no longer resolves.
        if (ram && !s.empty())
            return stopAt("RAM already defined at this address", line, 0,
                          "RAM already defined at this address: " + std::to_string(slot) + " is " + s + " (line " +
                              std::to_string(slotLines[static_cast<size_t>(slot)] + 1) + ")");
        if (!s.empty()) map.erase(s);
        s = k == 0 ? name : name + "_" + std::to_string(k);
        slotLines[static_cast<size_t>(slot)] = line;
        map[s] = slot;
    }
    next += count;
    return std::nullopt;
}

void AssemblyRun::processConstants() {
    std::vector<std::pair<int, TokenizedLine>> lines;
    for (size_t i = 0; i < work_.size(); ++i) {
        if (tokens_[i].empty() || tokens_[i].tokens[0] != "_CONST") continue;
        lines.emplace_back(static_cast<int>(i), std::move(tokens_[i]));
        blank(i);
    }
    for (const auto& [line, tl] : lines) {
        const auto& t = tl.tokens;
        // A constant that fails is left undefined; what uses it is not reported again.
        auto fail = [&, line = line](const char* message, int token, std::string detail = {}) {
            if (t.size() > 1) poison(t[1]);
            report(stopAt(message, line, token, std::move(detail)));
        };
        if (t.size() < 3) {
            fail("Invalid constant", kMissingToken);
            continue;
        }
        const std::string& name = t[1];
        if (name.size() > kNameMax) {
            fail("ERROR: Constant definition name length", 1);
            continue;
        }
        if (constantMap_.count(name)) {
            int first = -1;
            for (const auto& c : a_.constants_)
                if (c.name == name) first = c.line;
            report(stopAt("Duplicated constant", line, 1,
                          "Duplicated constant: " + tl.written[1] +
                              (first < 0 ? std::string(" (a predefined constant)")
                                         : " (first at line " + std::to_string(first + 1) + ")")));
            continue;
        }
        int value = 0;
        if (isNumberToken(t[2])) {
            const auto v = parseNumber(t[2]);
            if (!v) {
                fail("Invalid constant", 2);
                continue;
            }
            value = *v;
        } else if (int r = detail::lookup(ramMap_, t[2]); r >= 0) {
            value = r;
        } else if (int e = detail::lookup(eepromMap_, t[2]); e >= 0) {
            value = e;
        } else if (int c = detail::lookup(constantMap_, t[2]); c >= 0) {
            value = c;
        } else {
            // A value naming a constant that failed before is not a fault of its own.
            if (poisoned_.count(t[2])) poison(t[1]);
            else fail("Invalid constant", 2);
            continue;
        }
        if (t.size() > 3) {
            if ((t[3] != "+" && t[3] != "-") || t.size() < 5 || !isNonNegativeNumber(t[4])) {
                fail("Invalid constant", t[3] != "+" && t[3] != "-" ? 3 : t.size() < 5 ? kMissingToken : 4);
                continue;
            }
            if (t.size() > 5) {
                fail("Extra data on line", 5);
                continue;
            }
            const int n = *parseNumber(t[4]);
            value = ((t[3] == "+" ? value + n : value - n) % 256 + 256) % 256;
        }
        a_.constants_.push_back(Constant{name, value, line});
        constantMap_.emplace(name, value);
    }
}

void AssemblyRun::checkConstants() {
    auto lineOf = [](const auto& names, const auto& lines, const std::string& name) {
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == name) return lines[k];
        return -1;
    };
    for (const auto& c : a_.constants_) {
        const bool isRam = ramMap_.count(c.name) > 0;
        const bool isEeprom = !isRam && eepromMap_.count(c.name) > 0;
        if (!isRam && !isEeprom && !isOperandKeyword(c.name)) continue;
        const char* message = isRam ? "Constant same as RAM definition"
                              : isEeprom ? "Constant same as EEPROM definition"
                                         : "Constant definition is reserved";
        Stop s = stopAt(message, c.line, 1);
        if (c.line < 0) {
            // A predefined name: the box marks no line; the list names the definition.
            s.at = isRam ? lineOf(a_.ramDefs_, a_.ramLines_, c.name) : lineOf(a_.eepDefs_, a_.eepLines_, c.name);
            s.token = 0;
            s.detail = std::string(message) + ": " + c.name + " (a predefined constant)";
        }
        report(std::move(s));
        poison(c.name);
    }
    for (size_t k = 0; k < a_.ramDefs_.size(); ++k) {
        const std::string& name = a_.ramDefs_[k];
        if (name.empty() || !eepromMap_.count(name)) continue;
        Stop s = stopAt("Duplicated RAM and EEPROM name", -1, 0);
        s.at = lineOf(a_.eepDefs_, a_.eepLines_, name);
        s.detail = "Duplicated RAM and EEPROM name: " + name + " (RAM at line " + std::to_string(a_.ramLines_[k] + 1) + ")";
        report(std::move(s));
        poison(name);
    }
}

}  // namespace mira::assembler
