#include "disassembler.h"

#include <cstdio>

#include "formatters.h"

namespace mira::assembler {

namespace {

// Record indices of the Normal table by the shape of a word.
inline constexpr int kNormalMrefIndex[6] = {0, 1, 2, 4, 5, 6};  // opcodes 0..5
inline constexpr int kNormalInputBase = 20;
inline constexpr int kNormalOutputBase = 24;

// A record the table does not have makes the whole text unknown rather than printing
// an operand with no name in front of it.
struct Namer {
    const InstructionTable& table;
    bool missing = false;
    std::string operator()(int k) {
        const auto n = table.name(k);
        if (n.empty()) missing = true;
        return std::string(n);
    }
};

std::string normalText(int64_t word, Namer& name, int radix) {
    if (word < 0 || word > 255) return {};
    const int w = static_cast<int>(word);
    const int op = w >> 5;
    const bool bit4 = w & 16;
    if (op <= 5) {
        std::string s = name(kNormalMrefIndex[op]) + " ";
        if (bit4) s += "I ";
        return s + FormatRadix(w & 15, radix, true);
    }
    if (op == 6) {
        const int base = bit4 ? kNormalOutputBase : kNormalInputBase;
        int k = -1;
        if ((w & 6) == 6)
            k = base + 3;
        else if (w & 4)
            k = base + 2;
        else if (w & 2)
            k = base + 1;
        else if (w & 1)
            k = base;
        if (k < 0) return {};
        return name(k) + ((w & 8) ? " 1" : " 0");
    }
    const int n = w & 15;
    if (bit4) {
        switch (n) {
            case 1: return name(18);
            case 2: return name(17);
            case 4: return name(15);
            case 8: return name(14);
            case 12: return name(16);
            default: return {};
        }
    }
    switch (n) {
        case 0: return name(19);
        case 1: return name(10);
        case 2: return name(9);
        case 4: return name(8);
        case 5: return name(13);
        case 8: return name(7);
        case 9: return name(11);
        case 12: return name(12);
        default: return {};
    }
}

std::string wifText(int64_t word, Namer& name, int radix, int highestAddress) {
    const int w = static_cast<int>(word & 0xFFFF);
    const int g = (w >> 10) & 3;
    const int ch = g * 16 + ((w >> 12) & 15);
    const int a = (w >> 8) & 3;
    const int d = (w >> 6) & 3;
    const int e = w & 63;
    const int b = w & 255;
    auto R = [&](int x) { return FormatRadix(x, radix, true); };
    auto operand = [&](int x) -> std::string {
        switch (x) {
            case 0: return "A";
            case 1: return R(e);
            case 2: return "I";
            default: return "P";
        }
    };
    auto device = [&] { return std::string((w & 32) ? "1 " : "0 "); };
    // Flags named by bits 1..4, the first set bit choosing.
    auto flag = [&]() -> std::string {
        if (w & 2) return "C";
        if (w & 4) return "DC";
        if (w & 8) return "Z";
        if (w & 16) return "RP";
        return "";
    };

    switch (ch) {
        case 0: case 8: case 9: case 11:
            // Decimal adjust (9) is a defined instruction like the other operand-less ones.
            return name(ch);
        case 1: case 2: case 3: case 4: case 5: case 6:
            return name(ch) + " " + R(b);
        case 7: {
            std::string s = name(ch) + " ";
            if (a == 1) return s + ">= " + R(b);
            if (a == 2) return s + "< " + R(b);
            if (a == 3) return s + "= " + R(b);
            if (w & 1) return s + "POS";
            if (w & 2) return s + "NEG";
            return s;
        }
        case 10:
            if (a == 1) return name(ch) + " HA";
            if (a == 2) return name(ch) + " LA";
            return name(ch) + " " + R(b);
        case 32: case 33: case 35:
            return name(ch) + " " + R(w & highestAddress);
        case 34: case 36:
            return name(ch);
        case 37: case 38:
            return name(ch) + ((w & 1) ? "SET" : "CLR") + " " + flag();
        case 39: case 40: case 41: case 42: case 43:
            return name(ch) + " " + operand(a) + " " + std::to_string((w >> 5) & 7);
        case 44: {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", b);
            return name(ch) + " " + ((w & 256) ? "H" : "L") + " " + hex;
        }
        case 48: case 50: case 52: case 54:
            return name(ch) + " " + device();
        case 49: case 51:
            return name(ch) + " " + device() + " " + operand(d);
        case 53: case 55:
            return name(ch) + " " + device() + " " + operand(a);
        case 56: case 57:
            return name(ch) + " ";
        case 58:
            return name(ch) + " " + ((w & 1) ? "ON" : "OFF");
        case 59: {
            std::string s = name(ch) + " " + ((w & 1) ? "H" : "L") + " " + ((w & 2) ? "R" : "W");
            if (w & 4) return s + "+I";
            if (w & 8) return s + "I+";
            if (w & 16) return s + "-I";
            if (w & 32) return s + "I-";
            return s;
        }
        case 60:
            return name(ch) + " " + ((w & 1) ? "1" : "2") + ((w & 2) ? "H" : "L");
        case 61:
            return name(ch) + " " + ((w & 256) ? "SKIPOF" : "");
        case 62: {
            std::string s = name(ch) + " ";
            if (w & 128) return s + R(w & 31);
            if (w & 64) return s + "R";
            return s;
        }
        default:
            break;
    }
    if (ch >= 16 && ch <= 30)
        return name(ch) + " " + operand(a) + " " + operand(d) + ((w & 32) ? " T" : " S");
    return {};  // 12-15, 31, 45-47, 63
}

}  // namespace

std::string DisassembleWord(int64_t word, bool normalMode, const InstructionTable& table,
                            int radix, int highestAddress) {
    Namer name{table};
    std::string text = normalMode ? normalText(word, name, radix)
                                  : wifText(word, name, radix, highestAddress);
    if (text.empty() || name.missing) return kUnknownWord;
    return text;
}

}  // namespace mira::assembler
