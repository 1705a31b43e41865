#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "assembler/disassembler.h"
#include "assembler/formatters.h"
#include "test_support.h"

namespace mira::assembler {
namespace {

TEST(Formatters, Octal) {
    EXPECT_EQ(FormatOctal(0, 3), "000");
    EXPECT_EQ(FormatOctal(255, 3), "377");
    EXPECT_EQ(FormatOctal(8, 1), "10");
    EXPECT_EQ(FormatOctal(0, 0), "");
    EXPECT_EQ(FormatOctal(511, 2), "777");
}

TEST(Formatters, SplitOctalAndBinary) {
    EXPECT_EQ(FormatSplitOctal(255), "737");
    EXPECT_EQ(FormatSplitOctal(0), "000");
    EXPECT_EQ(FormatSplitOctal(200), "610");
    EXPECT_EQ(FormatBinary8(0), "00000000");
    EXPECT_EQ(FormatBinary8(255), "11111111");
    EXPECT_EQ(FormatBinary8(0xA5), "10100101");
}

TEST(Formatters, RadixWithAndWithoutPrefix) {
    EXPECT_EQ(FormatRadix(16, kRadixDec, false), "16");
    EXPECT_EQ(FormatRadix(16, kRadixDec, true), "D16");
    EXPECT_EQ(FormatRadix(16, kRadixHex, false), "10");
    EXPECT_EQ(FormatRadix(16, kRadixHex, true), "$10");
    EXPECT_EQ(FormatRadix(5, kRadixHex, true), "$05");
    EXPECT_EQ(FormatRadix(1023, kRadixHex, true), "$3FF");
    EXPECT_EQ(FormatRadix(16, kRadixSplitOctal, true), "E020");
    EXPECT_EQ(FormatRadix(16, kRadixOctal, true), "0020");
    EXPECT_EQ(FormatRadix(16, 9, true), "D16");
    EXPECT_EQ(FormatLevel(1), "HI");
    EXPECT_EQ(FormatLevel(0), "LO");
    EXPECT_EQ(FormatLevel(2), "LO");
}

TEST(Formatters, SpokenRadixKeepsEveryPrefixButOctalsBareZero) {
    const struct {
        int radix;
        const char* text;
    } rows[] = {{kRadixDec, "D42"}, {kRadixHex, "$2A"}, {kRadixSplitOctal, "E112"},
                {kRadixOctal, "0o052"}, {9, "D42"}};
    for (const auto& r : rows) EXPECT_EQ(FormatRadixSpoken(42, r.radix), r.text) << r.radix;
}

std::string normalText(int w, int radix = kRadixSplitOctal) {
    return DisassembleWord(w, true, test::normalTable(), radix);
}
std::string wifText(int w, int radix = kRadixDec) { return DisassembleWord(w, false, test::wifTable(), radix); }

TEST(Disassembler, NormalWords) {
    EXPECT_EQ(normalText(0x25), "TAD E005");
    EXPECT_EQ(normalText(0x35, kRadixHex), "TAD I $05");
    EXPECT_EQ(normalText(0x6F, kRadixDec), "DCA D15");
    EXPECT_EQ(normalText(0x80, kRadixDec), "JMB D0");  // index 3 is never printed
    EXPECT_EQ(normalText(0xE3), "???");
    EXPECT_EQ(normalText(0xE9), "LD1");
    EXPECT_EQ(normalText(0xFC), "SMZ");
    EXPECT_EQ(normalText(0xF3), "???");
    EXPECT_EQ(normalText(0xC7), "GET 0");
    EXPECT_EQ(normalText(0xDE), "PUT 1");
    EXPECT_EQ(normalText(0xC3), "INP 0");
    EXPECT_EQ(normalText(0xC0), "???");
    EXPECT_EQ(normalText(256), "???");
    EXPECT_EQ(normalText(-1), "???");
}

TEST(Disassembler, WifWords) {
    EXPECT_EQ(wifText(0x0000), "NOP");
    EXPECT_EQ(wifText(0x10C8), "ADDL D200");
    EXPECT_EQ(wifText(0x10C8, kRadixHex), "ADDL $C8");
    EXPECT_EQ(wifText(0x7001), "SKIP POS");
    EXPECT_EQ(wifText(0x7002), "SKIP NEG");
    EXPECT_EQ(wifText(0x7000), "SKIP ");
    EXPECT_EQ(wifText(0x710A), "SKIP >= D10");
    EXPECT_EQ(wifText(0x9000), "DAA");  // a defined instruction, not "???"
    EXPECT_EQ(wifText(0xA100), "MUL HA");
    EXPECT_EQ(wifText(0xC000), "???");
    EXPECT_EQ(wifText(0x0400 | 256 | 64 | 37), "ADD D37 D37 T");
    EXPECT_EQ(wifText(0x8400 | 512 | 192), "MOV I P S");
    EXPECT_EQ(wifText(0xF400), "???");
    EXPECT_EQ(wifText(0x0800 | 700), "CALL D700");
    EXPECT_EQ(wifText(0x2800), "RET");
    EXPECT_EQ(wifText(0x5800 | 3), "SKFSET C");
    EXPECT_EQ(wifText(0x6800 | 16), "FLAGCLR RP");
    EXPECT_EQ(wifText(0x7800 | 256 | 3 | 224), "BSET D35 7");  // bits 5..0 include the bit number's low bit
    EXPECT_EQ(wifText(0xC800 | 256 | 0x1F), "TBLP H 1F");
    EXPECT_EQ(wifText(0xD800), "???");
    EXPECT_EQ(wifText(0x0C00 | 32), "SKI 1 ");
    EXPECT_EQ(wifText(0x3C00 | 64 | 4), "GET 0  D4");
    EXPECT_EQ(wifText(0x7C00 | 32 | 768), "PUT 1  P");
    EXPECT_EQ(wifText(0x8C00), "SEND ");
    EXPECT_EQ(wifText(0xAC01), "SER ON");
    EXPECT_EQ(wifText(0xBC00 | 1 | 2 | 8), "TBL H RI+");
    EXPECT_EQ(wifText(0xCC00 | 1), "LTST 1L");
    EXPECT_EQ(wifText(0xDC00 | 256), "DELAY SKIPOF");
    EXPECT_EQ(wifText(0xDC00 | 50), "DELAY ");
    EXPECT_EQ(wifText(0xEC00 | 128 | 7), "EEP D7");
    EXPECT_EQ(wifText(0xEC00 | 64), "EEP R");
    EXPECT_EQ(wifText(0xFC00), "???");
}

TEST(Disassembler, MissingRecordIsUnknown) {
    InstructionTable shortTable;
    shortTable.records.resize(5);
    shortTable.records[1].mnemonic = "TAD";
    EXPECT_EQ(DisassembleWord(0x21, true, shortTable, kRadixDec), "TAD D1");
    EXPECT_EQ(DisassembleWord(0xE0, true, shortTable, kRadixDec), "???");
    EXPECT_EQ(DisassembleWord(0x0, false, InstructionTable{}, kRadixDec), "???");
}

// Display text to source: operands carry a radix prefix letter, literals start with "#".
std::string toSource(const std::string& text, bool dropDestination) {
    std::istringstream in(text);
    std::string tok, out;
    std::vector<std::string> tokens;
    while (in >> tok) {
        if (tok.size() > 1 && tok[0] == 'D' && std::isdigit(static_cast<unsigned char>(tok[1]))) tok = "#" + tok;
        tokens.push_back(tok);
    }
    if (dropDestination && !tokens.empty() && (tokens.back() == "S" || tokens.back() == "T")) tokens.pop_back();
    for (const auto& t : tokens) out += t + " ";
    return out;
}

TEST(RoundTrip, EveryNormalWordButTheListedExceptions) {
    test::Bench b;
    int checked = 0;
    for (int w = 0; w < 256; ++w) {
        const int op = w >> 5;
        const int low = w & 15;
        // The disassembler names one of the flag-skip, transfer and pulse bits of an
        // I/O word, and only the operate combinations the table has.
        bool exception = false;
        if (op == 6) exception = (w & 7) == 0 || (w & 7) == 3 || (w & 7) == 5 || (w & 7) == 7;
        if (op == 7 && (w & 16)) exception = !(low == 1 || low == 2 || low == 4 || low == 8 || low == 12);
        if (op == 7 && !(w & 16))
            exception = !(low == 0 || low == 1 || low == 2 || low == 4 || low == 5 || low == 8 || low == 9 || low == 12);
        const std::string text = normalText(w, kRadixDec);
        const auto r = b.assemble(toSource(text, false));
        const bool same = r.ok && b.word(0) == w;
        EXPECT_EQ(same, !exception) << w << ": " << text;
        checked += same;
    }
    EXPECT_EQ(checked, 256 - 16 - 11 - 8);
}

// Whether the disassembly of form `k` with operand bits `x` (bits 9..0) is complete
// source for the same word.
bool wifRoundTrips(int k, int x) {
    const int a = (x >> 8) & 3, d = (x >> 6) & 3, b = x & 255;
    switch (k) {
        case 0: case 8: case 9: case 11: case 34: case 36: case 56: case 57:
            return x == 0;  // the operand bits do nothing and are not shown
        case 1: case 2: case 3: case 4: case 5: case 6: case 35:
            return a == 0;
        case 7:
            return a != 0 || b == 1 || b == 2;
        case 10:
            return (a == 0) || ((a == 1 || a == 2) && b == 0);
        case 16: case 17: case 23: case 27: case 28:
            return a == 1 || d == 1 || (x & 31) == 0;
        case 18: case 19: case 20: case 21: case 22: case 24: case 25: case 26: case 29: case 30:
            // the S/T shown for these is not source; bit 5 set cannot be written
            return (a == 1 || d == 1 || (x & 31) == 0) && !(x & 32);
        case 32: case 33:
            return true;
        case 39: case 40: case 41: case 42: case 43:
            return a == 1 || (x & 31) == 0;  // the bit number (7..5) is always shown
        case 48: case 50: case 52: case 54:
            return (x & ~32) == 0;
        case 49: case 51:
            return a == 0 && (d == 1 || (x & 31) == 0);
        case 53: case 55:
            return d == 0 && (a == 1 || (x & 31) == 0);
        case 58:
            return x <= 1;
        case 61:
            return x == 256;
        case 62:
            return (x & ~31) == 128 || x == 64;
        default:
            // 37/38 join SET/CLR to the name, 44 prints hex without a prefix, 59 prints
            // H/L before R/W and joins the step, 60 joins line and level.
            return false;
    }
}

TEST(RoundTrip, EveryDefinedWifFormButTheListedExceptions) {
    const auto& t = test::wifTable();
    test::Bench b(true);
    int roundTrips = 0;
    for (int k = 0; k < 64; ++k) {
        const auto& r = t.records[static_cast<size_t>(k)];
        if (r.mnemonic.empty()) continue;
        const bool choosing = k == 16 || k == 17 || k == 23 || k == 27 || k == 28;
        for (int x = 0; x < 1024; ++x) {
            const int w = r.code | x;
            const std::string text = wifText(w);
            const auto res = b.assemble(toSource(text, k >= 16 && k <= 30 && !choosing));
            const bool same = res.ok && b.word(0) == w;
            ASSERT_EQ(same, wifRoundTrips(k, x)) << "form " << k << " word " << w << ": " << text;
            roundTrips += same;
        }
    }
    EXPECT_GT(roundTrips, 10000);
}

}  // namespace
}  // namespace mira::assembler
