#include "listing.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "encoder.h"
#include "formatters.h"
#include "literals.h"
#include "symbols.h"

namespace mira::assembler {

namespace {

inline constexpr int kNameWidth = 10;
inline constexpr int kSymbolColumnMax = 255;  // the 737 and 377 forms show one byte

bool isDigitName(const std::string& name) { return name.size() == 1 && name[0] >= '0' && name[0] <= '9'; }

std::string padRight(std::string s, size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string padLeft(std::string s, size_t width) {
    if (s.size() < width) s.insert(0, width - s.size(), ' ');
    return s;
}

std::string lineList(const std::vector<int>& lines) {
    if (lines.empty()) return "-";
    std::string s;
    for (int l : lines) {
        if (!s.empty()) s += ", ";
        s += std::to_string(l + 1);
    }
    return s;
}

// The WIF operand forms by form number, as the encoder reads them.
const char* wifOperandForm(int form) {
    switch (form) {
        case 0: case 8: case 9: case 11: case 34: case 36: case 56: case 57:
            return "none";
        case 1: case 2: case 3: case 4: case 5: case 6: case 35:
            return "a value 0-255: number, label, RAM or EEPROM name, optionally after HIGH or LOW";
        case 7: return "POS or NEG; or >=, < or = followed by a value";
        case 10: return "HA, LA or a value";
        case 16: case 17: case 23: case 27: case 28:
            return "source and target (RAM address or A, R, I, P), then S or T";
        case 18: case 19: case 20: case 21: case 22: case 24: case 25: case 26: case 29: case 30:
            return "source and target (RAM address or A, R, I, P)";
        case 32: return "a memory address 0-1023 or a label";
        case 33: return "a memory address 0-1023, a label, or .n ahead of here";
        case 37: case 38: return "SET or CLR, then C, DC, Z or RP";
        case 39: case 40: case 41: case 42: case 43:
            return "RAM address or A, I, P, then a bit number 0-7";
        case 44: return "H or L, then a value";
        case 48: case 50: case 52: case 54: return "device 0 or 1";
        case 49: case 51: return "device 0 or 1, then RAM address or A, I, P (target)";
        case 53: case 55: return "device 0 or 1, then RAM address or A, I, P (source)";
        case 58: return "OFF or ON";
        case 59: return "R or W, then H or L, then optionally +I, I+, -I or I-";
        case 60: return "1 or 2, then H or L";
        case 61: return "SKIPOF or a timer value 1-255";
        case 62: return "an EEPROM address, or R, W or SKIPWC";
        default: return "not an instruction form";
    }
}

// Normal operands by the record's index (the encoder's classes).
const char* normalOperandForm(int index) {
    if (index == 6) return "an address on this page (0-15 or a label), or I and one; or .+n / .-n";
    if (index <= 6) return "an address on this page (0-15 or a label), or I and one";
    if (index <= 19) return "none";
    if (index <= 27) return "device 0 or 1";
    return "not an instruction form";
}

}  // namespace

const char* symbolKindName(Symbol::Kind kind) {
    switch (kind) {
        case Symbol::Kind::Label: return "label";
        case Symbol::Kind::Ram: return "RAM";
        case Symbol::Kind::Eeprom: return "EEPROM";
        case Symbol::Kind::Constant: return "constant";
    }
    return "";
}

std::vector<Symbol> symbolTable(const Assembler& a, const std::vector<std::string>& lines) {
    const Dialect dialect = a.dialect();
    const bool wif = dialect == Dialect::Wif;
    const InstructionTable* table = a.instructionTable();
    std::vector<Symbol> symbols;
    std::unordered_map<std::string, size_t> byName;
    auto add = [&](Symbol s) {
        if (byName.count(s.name)) return;  // the first definition is the one that counts
        byName.emplace(s.name, symbols.size());
        symbols.push_back(std::move(s));
    };
    const auto& code = a.codeList();
    for (size_t i = 0; i < code.size(); ++i) {
        const auto& f = code[i].fields;
        if (f.empty() || !detail::isLabelDefinition(f[0])) continue;
        const std::string name = f[0].substr(0, f[0].size() - 1);
        const bool valid = hasLabelShape(name) && !(table && table->indexOf(name) >= 0) &&
                           !(wif && isOperandKeyword(name));
        if (valid) add(Symbol{name, Symbol::Kind::Label, static_cast<int>(i), code[i].line, {}});
    }
    for (size_t k = 0; k < a.ramDefinitions().size(); ++k)
        if (!a.ramDefinitions()[k].empty())
            add(Symbol{a.ramDefinitions()[k], Symbol::Kind::Ram, static_cast<int>(k), a.ramDefinitionLines()[k], {}});
    for (size_t k = 0; k < a.eepromDefinitions().size(); ++k)
        if (!a.eepromDefinitions()[k].empty())
            add(Symbol{a.eepromDefinitions()[k], Symbol::Kind::Eeprom, static_cast<int>(k),
                       a.eepromDefinitionLines()[k], {}});
    // Predefined constants join the table only when the source uses them.
    std::unordered_map<std::string, int> predefined;
    for (const auto& c : a.constants()) {
        if (c.line >= 0) add(Symbol{c.name, Symbol::Kind::Constant, c.value, c.line, {}});
        else if (!isDigitName(c.name)) predefined.emplace(c.name, c.value);
    }

    // Which token of a line defines rather than uses: a label, a block definition's name,
    // a constant's name.
    std::vector<bool> definitionLine(lines.size(), false);
    for (int l : a.ramDefinitionLines())
        if (l >= 0 && static_cast<size_t>(l) < lines.size()) definitionLine[static_cast<size_t>(l)] = true;
    for (int l : a.eepromDefinitionLines())
        if (l >= 0 && static_cast<size_t>(l) < lines.size()) definitionLine[static_cast<size_t>(l)] = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        const TokenizedLine tl = tokenize(lines[i], dialect);
        for (size_t k = 0; k < tl.tokens.size(); ++k) {
            const std::string& t = tl.tokens[k];
            if (k == 0 && (detail::isLabelDefinition(t) || definitionLine[i] || t == "_CONST")) continue;
            if (k == 1 && tl.tokens[0] == "_CONST") continue;
            const std::string name = detail::cutToken(t, false);
            auto it = byName.find(name);
            if (it == byName.end()) {
                const auto p = predefined.find(name);
                if (p == predefined.end()) continue;
                add(Symbol{name, Symbol::Kind::Constant, p->second, -1, {}});
                it = byName.find(name);
            }
            auto& uses = symbols[it->second].uses;
            if (uses.empty() || uses.back() != static_cast<int>(i)) uses.push_back(static_cast<int>(i));
        }
    }
    std::sort(symbols.begin(), symbols.end(), [](const Symbol& x, const Symbol& y) { return x.name < y.name; });
    return symbols;
}

std::string listingNumber(int value, int radix, Dialect dialect, bool address) {
    const bool wif = dialect == Dialect::Wif;
    // WIF words are 16 bits and its addresses 10: the octal forms are for Normal bytes.
    if (wif && radix != kRadixDec) radix = kRadixHex;
    if (!wif && value > kSymbolColumnMax && (radix == kRadixSplitOctal || radix == kRadixOctal)) radix = kRadixHex;
    char buf[16];
    switch (radix) {
        case kRadixHex:
            std::snprintf(buf, sizeof buf, "$%0*X", wif ? (address ? 3 : 4) : 2, static_cast<unsigned>(value));
            return buf;
        case kRadixSplitOctal:
        case kRadixOctal:
            return FormatRadix(value, radix, true);
        default:
            return "D" + std::to_string(value);
    }
}

std::string formatListing(const Assembler& a, const std::vector<std::string>& lines, int radix) {
    const Dialect dialect = a.dialect();
    // The words of each line, in address order.
    std::map<int, std::vector<int>> words;
    for (int address : a.writtenAddresses()) {
        const int line = a.lineMap()[static_cast<size_t>(address)];
        if (line >= 0) words[line].push_back(address);
    }
    const size_t addressWidth = dialect == Dialect::Wif ? 5 : 4;
    const size_t wordWidth = dialect == Dialect::Wif ? 6 : 4;
    auto number = [&](int v, bool address) {
        return padRight(listingNumber(v, radix, dialect, address), address ? addressWidth : wordWidth);
    };
    std::string out = padLeft("Line", 5) + "  " + padRight("Addr", addressWidth) + "  " +
                      padRight("Word", wordWidth) + "  Source\n";
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto it = words.find(static_cast<int>(i));
        const std::string lineNo = padLeft(std::to_string(i + 1), 5) + "  ";
        std::string source = lines[i];
        while (!source.empty() && (source.back() == '\r' || source.back() == ' ')) source.pop_back();
        if (it == words.end()) {
            std::string row = lineNo + std::string(addressWidth + 2 + wordWidth + 2, ' ') + source;
            while (!row.empty() && row.back() == ' ') row.pop_back();
            out += row + "\n";
            continue;
        }
        for (size_t k = 0; k < it->second.size(); ++k) {
            const int address = it->second[k];
            std::string row = (k == 0 ? lineNo : std::string(7, ' ')) + number(address, true) + "  " +
                              number(a.image()[static_cast<size_t>(address)], false) + "  " +
                              (k == 0 ? source : std::string());
            while (!row.empty() && row.back() == ' ') row.pop_back();
            out += row + "\n";
        }
    }

    auto symbols = symbolTable(a, lines);
    out += "\nSymbols\n";
    if (symbols.empty()) {
        out += "  (none)\n";
        return out;
    }
    const std::string header = "  " + padRight("Name", kNameWidth) + "  " + padRight("Kind", 8) + "  " +
                               padRight("Value", wordWidth + 1) + "  " + padLeft("Line", 5) + "  Used on lines\n";
    auto rows = [&](const std::vector<Symbol>& list) {
        out += header;
        for (const auto& s : list) {
            const bool address = s.kind == Symbol::Kind::Label;
            out += "  " + padRight(s.name, kNameWidth) + "  " + padRight(symbolKindName(s.kind), 8) + "  " +
                   padRight(listingNumber(s.value, radix, dialect, address), wordWidth + 1) + "  " +
                   padLeft(s.line < 0 ? "-" : std::to_string(s.line + 1), 5) + "  " + lineList(s.uses) + "\n";
        }
    };
    out += "By name\n";
    rows(symbols);
    std::stable_sort(symbols.begin(), symbols.end(), [](const Symbol& x, const Symbol& y) {
        if (x.value != y.value) return x.value < y.value;
        return static_cast<int>(x.kind) < static_cast<int>(y.kind);
    });
    out += "By value\n";
    rows(symbols);
    return out;
}

std::string hoverText(std::string_view line, int column, Dialect dialect, const InstructionTable& table,
                      const std::vector<Symbol>& symbols) {
    const TokenizedLine tl = tokenize(line, dialect);
    size_t k = 0;
    for (; k < tl.tokens.size(); ++k) {
        const int start = tl.columns[k];
        if (column >= start && column < start + static_cast<int>(tl.written[k].size())) break;
    }
    if (k == tl.tokens.size()) return {};
    const std::string& written = tl.written[k];
    std::string token = tl.tokens[k];

    if (isNumberToken(token)) {
        const auto v = parseNumber(token);
        if (!v) return written + ": not a valid number";
        std::string s = written + " = " + std::to_string(*v) + "\n#D" + std::to_string(*v) + "   #$" +
                        listingNumber(*v, kRadixHex, Dialect::Normal, false).substr(1);
        if (*v <= kSymbolColumnMax)
            s += "   #E" + FormatSplitOctal(*v) + "   #0" + FormatOctal(*v, 3);
        else
            s += "   #0" + FormatOctal(*v, 3) + "   (no 737 form above 255)";
        return s;
    }
    if (detail::isLabelDefinition(token)) token.pop_back();
    if (!token.empty() && token[0] == '_') {
        for (const auto& d : directiveTable(dialect))
            if (d.name == token) return d.help.empty() ? std::string(d.name) : std::string(d.name) + ": " + std::string(d.help);
    }
    // An operand word such as A or I in WIF is not the mnemonic of the same name.
    const bool operandPosition = k > 0 && !(k == 1 && detail::isLabelDefinition(tl.tokens[0]));
    if (const int index = table.indexOf(token); index >= 0 && !operandPosition) {
        const auto& r = table.records[static_cast<size_t>(index)];
        const bool wif = dialect == Dialect::Wif;
        char code[16];
        std::snprintf(code, sizeof code, wif ? "$%04X" : "$%02X", r.code);
        const int form = 16 * ((r.code >> 10) & 3) + ((r.code >> 12) & 15);
        return r.mnemonic + ": " + r.description + "\nCode: " + code +
               "\nOperand: " + (wif ? wifOperandForm(form) : normalOperandForm(index));
    }
    const std::string name = detail::cutToken(token, false);
    for (const auto& s : symbols) {
        if (s.name != name) continue;
        std::string text = s.name + ": " + symbolKindName(s.kind) + ", ";
        text += s.kind == Symbol::Kind::Label ? "address " : s.kind == Symbol::Kind::Constant ? "value " : "slot ";
        char hex[16];
        std::snprintf(hex, sizeof hex, s.value > kSymbolColumnMax ? "$%04X" : "$%02X", static_cast<unsigned>(s.value));
        text += std::to_string(s.value) + " (" + hex + ")";
        text += s.line < 0 ? ", predefined" : ", defined at line " + std::to_string(s.line + 1);
        return text;
    }
    if (dialect == Dialect::Wif)
        for (const auto& p : predefinedSymbols())
            if (p.name == name && !isDigitName(name))
                return name + ": constant, value " + std::to_string(p.value) + ", predefined";
    return {};
}

}  // namespace mira::assembler
