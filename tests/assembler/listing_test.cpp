// The listing (every example, checked word by word against the assembly), the symbol
// tables of both dialects with the lines using each symbol, and the editor's hover texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/formatters.h"
#include "assembler/listing.h"
#include "test_support.h"

namespace mira::assembler {
namespace {

// A listing number back to its value: D decimal, $ hex, E split octal, 0 octal.
int readNumber(const std::string& s) {
    const std::string digits = s.substr(1);
    switch (s[0]) {
        case '$': return std::stoi(digits, nullptr, 16);
        case '0': return std::stoi(digits, nullptr, 8);
        case 'E': return (digits[0] - '0') * 32 + (digits[1] - '0') * 8 + (digits[2] - '0');
        default: return std::stoi(digits);
    }
}

struct Row {
    int line = 0;  // from 1; 0 on a continuation row
    int address = -1;
    int word = -1;
    std::string source;
};

// The rows above "Symbols".
std::vector<Row> parseListing(const std::string& listing, bool wif) {
    std::vector<Row> rows;
    std::istringstream in(listing);
    std::string text;
    std::getline(in, text);  // the heading
    const size_t addressWidth = wif ? 5 : 4, wordWidth = wif ? 6 : 4;
    const size_t sourceAt = 7 + addressWidth + 2 + wordWidth + 2;
    while (std::getline(in, text) && !text.empty()) {
        Row r;
        const std::string number = text.substr(0, 5);
        if (number.find_first_not_of(' ') != std::string::npos) r.line = std::stoi(number);
        const std::string address = text.size() > 7 ? text.substr(7, addressWidth) : "";
        if (!address.empty() && address[0] != ' ') {
            r.address = readNumber(address.substr(0, address.find(' ')));
            const std::string word = text.substr(7 + addressWidth + 2, wordWidth);
            r.word = readNumber(word.substr(0, word.find(' ')));
        }
        if (text.size() > sourceAt) r.source = text.substr(sourceAt);
        rows.push_back(r);
    }
    return rows;
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
    return s;
}

TEST(Listing, OfEveryExampleShowsTheAssembledWords) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::sourceDir() + "/examples")) {
        if (entry.path().extension() != ".asm") continue;
        const std::string text = test::readFile(entry.path().string());
        const bool wif = text.find("_ISWIMODEON") != std::string::npos;
        const auto lines = test::splitSource(text);
        const core::MachineOptions defaults;
        for (const int radix : {defaults.radix[wif ? 1 : 0], static_cast<int>(kRadixHex)}) {
            SCOPED_TRACE(entry.path().filename().string() + " radix " + std::to_string(radix));
            test::Bench b(wif);
            ASSERT_TRUE(b.assemble(text).ok);
            const std::string listing = formatListing(b.asmb, lines, radix);
            const auto rows = parseListing(listing, wif);
            std::vector<int> listed;
            int line = 0;
            for (const auto& r : rows) {
                if (r.line) {
                    EXPECT_EQ(r.line, ++line);
                    EXPECT_EQ(r.source, trimRight(lines[static_cast<size_t>(line - 1)])) << "line " << line;
                }
                if (r.address < 0) continue;
                EXPECT_EQ(b.asmb.lineMap()[static_cast<size_t>(r.address)], line - 1) << "address " << r.address;
                EXPECT_EQ(r.word, b.word(r.address)) << "address " << r.address;
                listed.push_back(r.address);
            }
            EXPECT_EQ(line, static_cast<int>(lines.size()));
            std::sort(listed.begin(), listed.end());
            EXPECT_EQ(listed, b.asmb.writtenAddresses());
            EXPECT_NE(listing.find("\nSymbols\nBy name\n"), std::string::npos);
            EXPECT_NE(listing.find("\nBy value\n"), std::string::npos);
        }
        ++examples;
    }
    EXPECT_GE(examples, 16);
}

TEST(Listing, StringsListEveryWordAndSymbolsBothOrders) {
    test::Bench b;
    const std::string source = "        JMP GO\nMSG,    _STRING \"AB\"\nGO,     TAD MSG\n        HLT\n";
    ASSERT_TRUE(b.assemble(source).ok);
    EXPECT_EQ(formatListing(b.asmb, test::splitSource(source), kRadixHex),
              " Line  Addr  Word  Source\n"
              "    1  $00   $A3           JMP GO\n"
              "    2  $01   $41   MSG,    _STRING \"AB\"\n"
              "       $02   $42\n"
              "    3  $03   $21   GO,     TAD MSG\n"
              "    4  $04   $F1           HLT\n"
              "\n"
              "Symbols\n"
              "By name\n"
              "  Name        Kind      Value   Line  Used on lines\n"
              "  GO          label     $03        3  1\n"
              "  MSG         label     $01        2  3\n"
              "By value\n"
              "  Name        Kind      Value   Line  Used on lines\n"
              "  MSG         label     $01        2  3\n"
              "  GO          label     $03        3  1\n");
}

std::vector<std::string> described(const std::vector<Symbol>& symbols) {
    std::vector<std::string> out;
    for (const auto& s : symbols) {
        std::string uses;
        for (int l : s.uses) uses += " " + std::to_string(l + 1);
        out.push_back(s.name + " " + symbolKindName(s.kind) + " " + std::to_string(s.value) + " @" +
                      (s.line < 0 ? std::string("-") : std::to_string(s.line + 1)) + ":" + uses);
    }
    return out;
}

TEST(SymbolTable, NormalLabelsWithTheirUses) {
    test::Bench b;
    const std::string source =
        "START,  CLA\n"
        "LOOP,   TAD COUNT\n"
        "        ISZ COUNT\n"
        "        JMP LOOP\n"
        "COUNT,  #D0\n"
        "UNUSED, HLT\n"
        "PTR,    COUNT\n";
    ASSERT_TRUE(b.assemble(source).ok);
    EXPECT_EQ(described(symbolTable(b.asmb, test::splitSource(source))),
              (std::vector<std::string>{"COUNT label 4 @5: 2 3 7", "LOOP label 1 @2: 4", "PTR label 6 @7:",
                                        "START label 0 @1:", "UNUSED label 5 @6:"}));
}

TEST(SymbolTable, WifNamesConstantsAndThePredefinedOnesUsed) {
    test::Bench b(true);
    const std::string source =
        "_RAM\n"
        "COUNT\n"
        "BUF :#D3\n"
        "_ENDRAM\n"
        "_EEP\n"
        "SAVED #D5\n"
        "_ENDEEP\n"
        "_CONST TEN #D10\n"
        "_CONST NEXT TEN + #D1\n"
        "START,  MOVL TEN\n"
        "        MOV A BUF_1\n"
        "        PUT DEV0_OUT COUNT\n"
        "        EEP SAVED\n"
        "        GOTO START\n";
    ASSERT_TRUE(b.assemble(source).ok) << b.prompter.errors.front();
    EXPECT_EQ(described(symbolTable(b.asmb, test::splitSource(source))),
              (std::vector<std::string>{"BUF RAM 1 @3:", "BUF_1 RAM 2 @3: 11", "BUF_2 RAM 3 @3:",
                                        "COUNT RAM 0 @2: 12", "DEV0_OUT constant 0 @-: 12",
                                        "NEXT constant 11 @9:", "SAVED EEPROM 5 @6: 13", "START label 0 @10: 14",
                                        "TEN constant 10 @8: 9 10"}));
}

struct HoverCase {
    bool wif;
    const char* line;
    int column;
    const char* expected;
};

TEST(Hover, ExplainsWhatIsUnderTheMouse) {
    test::Bench normal;
    const std::string ns = "LOOP,   TAD COUNT\n        JMP LOOP\nCOUNT,  #D200\n";
    ASSERT_TRUE(normal.assemble(ns).ok);
    const auto normalSymbols = symbolTable(normal.asmb, test::splitSource(ns));
    test::Bench wif(true);
    const std::string ws = "_CONST TEN #D10\nSTART,  MOVL TEN\n        GOTO START\n";
    ASSERT_TRUE(wif.assemble(ws).ok);
    const auto wifSymbols = symbolTable(wif.asmb, test::splitSource(ws));

    const HoverCase cases[] = {
        {false, "LOOP,   TAD COUNT", 9,
         "TAD: Add a memory word to AC (two's complement add)\nCode: $20\n"
         "Operand: an address on this page (0-15 or a label), or I and one"},
        {false, "        JMP .+2", 8,
         "JMP: Jump to an address (accepts a relative operand such as .+2)\nCode: $A0\n"
         "Operand: an address on this page (0-15 or a label), or I and one; or .+n / .-n"},
        {false, "        PUT 0", 8, "PUT: Write AC to output device 0/1 and pulse it (AC becomes 0)\nCode: $D6\nOperand: device 0 or 1"},
        {false, "LOOP,   TAD COUNT", 14, "COUNT: label, address 2 ($02), defined at line 3"},
        {false, "LOOP,   TAD COUNT", 2, "LOOP: label, address 0 ($00), defined at line 1"},
        {false, "COUNT,  #D200", 8, "#D200 = 200\n#D200   #$C8   #E610   #0310"},
        {false, "  #B1.1", 4, "#B1.1 = 5\n#D5   #$05   #E005   #0005"},
        {false, "  #D-1", 2, "#D-1 = 255\n#D255   #$FF   #E737   #0377"},
        {false, "  #$1234", 2, "#$1234 = 4660\n#D4660   #$1234   #011064   (no 737 form above 255)"},
        {false, "  TAD #DX", 7, "#DX: not a valid number"},
        {false, "_PAGEBREAK / next page", 3, "_PAGEBREAK: Set PC equals start of next page"},
        {false, "LOOP,   TAD COUNT", 6, ""},
        {false, "        NOP / TAD", 15, ""},
        {true, "START,  MOVL TEN", 13, "TEN: constant, value 10 ($0A), defined at line 1"},
        {true, "        GOTO START", 9,
         "GOTO: Go to an address (accepts a relative operand such as .+2)\nCode: $1800\n"
         "Operand: a memory address 0-1023, a label, or .n ahead of here"},
        {true, "        MOVL D10_C", 14, "D10_C: constant, value 16, predefined"},
        // In an operand the word A is the accumulator, not a mnemonic.
        {true, "        MOV A START", 12, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(hoverText(c.line, c.column, c.wif ? Dialect::Wif : Dialect::Normal,
                            c.wif ? test::wifTable() : test::normalTable(), c.wif ? wifSymbols : normalSymbols),
                  c.expected);
    }
}

}  // namespace
}  // namespace mira::assembler
