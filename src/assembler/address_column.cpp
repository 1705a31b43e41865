#include "address_column.h"

#include <cstdio>

#include "formatters.h"
#include "literals.h"
#include "symbols.h"

namespace mira::assembler {

namespace {

inline constexpr int kPageSize = 16;
inline constexpr int kNormalHighest = 255;
inline constexpr int kWifHighest = 1023;
inline constexpr int kRamSlots = 64;
inline constexpr int kEepromSlots = 32;
// Marks of an unreadable definition operand.
inline constexpr int kUnreadable = -2;

// WIF addresses and definition operands are written "#D" or "#$" only.
int decimalOrHex(std::string_view token) {
    if (token.size() < 2 || token[0] != '#' || (token[1] != 'D' && token[1] != '$'))
        return kUnreadable;
    const auto v = parseNumber(token);
    return v ? *v : kUnreadable;
}

// Characters between the first and the last double quote of a string operand.
std::string_view quotedText(std::string_view token) {
    if (token.size() < 2 || token.front() != '"' || token.back() != '"') return {};
    return token.substr(1, token.size() - 2);
}

// A definition line of a _RAM or _EEP block: name [start] [:count].
void readDefinition(const TokenizedLine& tl, LineSummary& s) {
    size_t i = 1;
    if (i < tl.tokens.size() && tl.tokens[i].find(':') == std::string::npos) {
        s.defStart = decimalOrHex(tl.tokens[i]);
        ++i;
    }
    if (i < tl.tokens.size()) {
        const std::string& c = tl.tokens[i];
        s.defCount = c.size() > 1 && c[0] == ':' ? decimalOrHex(std::string_view(c).substr(1))
                                                  : kUnreadable;
    }
}

}  // namespace

LineSummary summarizeLine(std::string_view line, Dialect dialect) {
    LineSummary s;
    const TokenizedLine tl = tokenize(line, dialect);
    if (tl.empty()) return s;
    const auto directives = directiveTable(dialect);
    size_t at = tl.tokens.size();
    std::string_view name;
    for (size_t i = 0; i < tl.tokens.size() && at == tl.tokens.size(); ++i) {
        if (tl.tokens[i].empty() || tl.tokens[i][0] != '_') continue;
        for (const Directive& d : directives) {
            if (d.name == tl.tokens[i]) {
                at = i;
                name = d.name;
                break;
            }
        }
    }
    if (name.empty()) {
        s.kind = LineSummary::Kind::Word;
        if (dialect == Dialect::Wif) readDefinition(tl, s);
        return s;
    }
    const std::string operand = at + 1 < tl.tokens.size() ? tl.tokens[at + 1] : std::string();
    const std::string written = at + 1 < tl.written.size() ? tl.written[at + 1] : std::string();
    using K = LineSummary::Kind;
    if (name == "_PAGEBREAK") {
        s.kind = K::PageBreak;
    } else if (name == "_SETPC") {
        s.kind = K::SetPc;
        if (dialect == Dialect::Wif) {
            const int v = decimalOrHex(operand);
            s.value = v < 0 ? -1 : v;
        } else {
            const auto v = parseNumber(operand);
            s.value = v ? *v : -1;
        }
    } else if (name == "_STRING") {
        s.kind = K::Words;
        s.count = static_cast<int>(quotedText(written).size());
    } else if (name == "_PSTRING") {
        // "~" marks the last character as repeated and makes no word of its own.
        s.kind = K::Words;
        for (char ch : quotedText(written))
            if (ch != '~') ++s.count;
    } else if (name == "_SUBRETURN") {
        s.kind = K::Words;
        s.count = 1;
    } else if (name == "_END") {
        s.kind = K::End;
    } else if (name == "_PCADD" && at == 0) {
        s.kind = K::Reserve;
    } else if ((name == "_RAM" || name == "_EEP") && at == 0) {
        s.kind = K::BlockStart;
        s.ram = name == "_RAM";
    } else if ((name == "_ENDRAM" || name == "_ENDEEP") && at == 0) {
        s.kind = K::BlockEnd;
        s.ram = name == "_ENDRAM";
    } else {
        s.kind = K::Directive;
    }
    return s;
}

std::vector<ColumnRow> layoutColumn(const std::vector<LineSummary>& lines, Dialect dialect) {
    using K = LineSummary::Kind;
    using R = ColumnRow::Kind;
    const bool wif = dialect == Dialect::Wif;
    const int highest = wif ? kWifHighest : kNormalHighest;
    // _SETPC may name one past the end in WIF (it fills the whole memory).
    const int highestSetPc = wif ? kWifHighest + 1 : kNormalHighest;

    std::vector<ColumnRow> rows(lines.size());
    int estimate = 0;
    bool lost = false;   // an impossible _SETPC: no later address can be known
    bool ended = false;  // after _END
    int block = -1;      // 0 RAM block, 1 EEPROM block, -1 none
    int nextSlot[2] = {0, 0};
    bool slotsLost[2] = {false, false};

    auto address = [&]() {
        if (lost || estimate > highest) return ColumnRow{R::Unknown, 0};
        return ColumnRow{R::Address, estimate};
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const LineSummary& s = lines[i];
        ColumnRow& row = rows[i];
        if (ended || s.kind == K::Empty) continue;
        if (block >= 0) {
            if (s.kind == K::BlockEnd && s.ram == (block == 0)) {
                block = -1;
                continue;
            }
            if (s.kind != K::Word) continue;
            const int slots = block == 0 ? kRamSlots : kEepromSlots;
            if (s.defStart == kUnreadable || s.defCount == kUnreadable) slotsLost[block] = true;
            if (s.defStart >= 0) nextSlot[block] = s.defStart;
            const int slot = nextSlot[block];
            if (slotsLost[block] || slot >= slots)
                row = {R::Unknown, 0};
            else
                row = {block == 0 ? R::RamSlot : R::EepromSlot, slot};
            if (s.defCount > 0) nextSlot[block] = slot + s.defCount;
            continue;
        }
        switch (s.kind) {
            case K::Word:
                row = address();
                ++estimate;
                break;
            case K::Words:
                if (s.count > 0) row = address();
                estimate += s.count;
                break;
            case K::Reserve: ++estimate; break;
            case K::PageBreak: estimate = (estimate / kPageSize + 1) * kPageSize; break;
            case K::SetPc:
                // The assembler takes the current address or the one before it as "no
                // change"; anything lower, unreadable or past the memory loses the estimate.
                if (s.value < 0 || s.value < estimate - 1 || s.value > highestSetPc)
                    lost = true;
                else if (s.value > estimate)
                    estimate = s.value;
                break;
            case K::End: ended = true; break;
            case K::BlockStart:
                if (wif) block = s.ram ? 0 : 1;
                break;
            case K::Empty:
            case K::BlockEnd:
            case K::Directive: break;
        }
    }
    return rows;
}

std::string formatRow(const ColumnRow& row, Dialect dialect, int radix) {
    char buf[32];
    switch (row.kind) {
        case ColumnRow::Kind::Blank: return {};
        case ColumnRow::Kind::Unknown: return kUnknownAddress;
        case ColumnRow::Kind::RamSlot:
        case ColumnRow::Kind::EepromSlot:
            std::snprintf(buf, sizeof buf, "   $%02X", static_cast<unsigned>(row.value));
            return buf;
        case ColumnRow::Kind::Address: break;
    }
    if (dialect == Dialect::Wif) {
        std::snprintf(buf, sizeof buf, "  $%03X", static_cast<unsigned>(row.value));
        return buf;
    }
    const std::string text = FormatRadix(row.value, radix, true);
    if (row.value % kPageSize == 0) {
        std::snprintf(buf, sizeof buf, "%2d ", row.value / kPageSize);
        return buf + text;
    }
    return "   " + text;
}

void AddressColumn::update(const std::vector<std::string>& lines, Dialect dialect) {
    // A cache that outgrows the text by far holds mostly lines typed and gone.
    if (dialect != dialect_ || cache_.size() > 4 * lines.size() + 4096) {
        cache_.clear();
        dialect_ = dialect;
    }
    summarised_ = 0;
    summaries_.resize(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        auto it = cache_.find(lines[i]);
        if (it == cache_.end()) {
            it = cache_.emplace(lines[i], summarizeLine(lines[i], dialect)).first;
            ++summarised_;
        }
        summaries_[i] = it->second;
    }
    rows_ = layoutColumn(summaries_, dialect);
}

ColumnRow AddressColumn::row(int line) const {
    if (line < 0 || line >= static_cast<int>(rows_.size())) return {};
    return rows_[static_cast<size_t>(line)];
}

}  // namespace mira::assembler
