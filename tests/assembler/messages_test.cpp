// Every message a source can trigger, by exact text and the line it marks.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "param_name.h"

namespace mira::assembler {
namespace {

struct MessageCase {
    bool wif;
    const char* source;
    const char* message;
    int line;  // 1-based; 0 = no line marked
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << (c.wif ? "WIF: " : "Normal: ") << c.source; }

class Message : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Message, IsShownWithItsLine) {
    const auto& c = GetParam();
    test::Bench b(c.wif);
    const auto r = b.assemble(c.source);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(b.asmb.assembled());
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(r.line + 1, c.line);
    ASSERT_EQ(b.prompter.errors.size(), 1u);
    EXPECT_EQ(b.prompter.errors[0], c.message);
}

// Named by the message they expect.
const auto kCaseNames = mira::test::caseNames([](const MessageCase& c) { return c.message; });

constexpr bool N = false;
constexpr bool W = true;

INSTANTIATE_TEST_SUITE_P(
    Statements, Message,
    ::testing::Values(
        MessageCase{N, "NOP\nFOO\n", "Expecting a value or an instruction", 2},
        MessageCase{N, "L, _SETPC #D3\n", "Expecting a value or an instruction", 1},
        MessageCase{W, "_PAGEBREAK\n", "Expecting a value or an instruction", 1},
        MessageCase{W, "LB,\n", "Expecting a value or an instruction", 1},
        MessageCase{N, "#D1X\n", "Invalid number", 1},
        MessageCase{N, "TAD #DX\n", "Invalid value", 1},
        MessageCase{W, "MOVL #D300\n", "Invalid value", 1},
        MessageCase{W, "MOVL FOO\n", "Invalid value", 1},
        MessageCase{W, "GOTO #D1024\n", "Invalid value", 1},
        MessageCase{W, "GOTO .+X\n", "Invalid value", 1},
        MessageCase{N, "CLA CMA\n", "Extra data on line", 1},
        MessageCase{N, "L, TAD I #D1 #D2\n", "Extra data on line", 1},
        MessageCase{W, "LB, ADD A A S X\n", "Extra data on line", 1},
        MessageCase{W, "NOP\nRET A\n", "Extra data on line", 2},
        MessageCase{N, "_END X\n", "Extra data on line", 1},
        MessageCase{N, "#D300\n", "Expecting value 0 - 255", 1},
        MessageCase{N, "JMP\n", "Expecting a memory address", 1},
        MessageCase{N, "JMP I\n", "Expecting a memory address", 1},
        MessageCase{W, "CALL\n", "Expecting a memory address", 1},
        MessageCase{N, "TAD #D16\n", "Address is outside memory page", 1},
        MessageCase{N, "JMP FAR\n_SETPC #D16\nFAR, NOP\n", "Address is outside memory page", 1},
        MessageCase{N, "JMP NOWHERE\n", "Missing memory target address", 1},
        MessageCase{W, "NOP\nCALL NOWHERE\n", "Missing memory target address", 2},
        MessageCase{N, "PUT 2\n", "Expecting IO device 0 or 1", 1},
        MessageCase{N, "SKI\n", "Expecting IO device 0 or 1", 1},
        MessageCase{W, "SKO #D2\n", "Expecting IO device 0 or 1", 1},
        MessageCase{W, "ADDL\n", "Expecting a value", 1},
        MessageCase{W, "SKIP >=\n", "Expecting a value", 1},
        MessageCase{W, "MOV A #D99\n", "Expecting RAM address or target specifier", 1},
        MessageCase{W, "MOV #D99 A\n", "Expecting RAM address or source specifier", 1},
        MessageCase{W, "BSET\n", "Expecting register target qualifier", 1},
        MessageCase{W, "BSET R 1\n", "Expecting register target qualifier", 1},
        MessageCase{W, "GET 0\n", "Expecting register target qualifier", 1},
        MessageCase{W, "PUT 1 X\n", "Expecting register target qualifier", 1},
        MessageCase{W, "ZERO A\n", "A RAM address is required", 1},
        MessageCase{W, "MOV #D1 #D2\n", "Explicit source and target RAM address cannot be different", 1},
        MessageCase{W, "XOR A #D1\n", "Expecting S or T", 1},
        MessageCase{W, "SKIP\n", "Invalid test value", 1},
        MessageCase{W, "SKIP > #D1\n", "Invalid test value", 1},
        MessageCase{W, "SKF SET X\n", "Invalid STATUS information", 1},
        MessageCase{W, "FLAG C\n", "Invalid STATUS information", 1},
        MessageCase{W, "BSET A #D8\n", "Expecting 0 - 7", 1},
        MessageCase{W, "BCLR A\n", "Expecting 0 - 7", 1},
        MessageCase{W, "TBLP H #D256\n", "Expecting address 0 - 255", 1},
        MessageCase{W, "TBLP L\n", "Expecting address 0 - 255", 1},
        MessageCase{W, "TBLP X #D1\n", "Expecting H or L", 1},
        MessageCase{W, "TBL R X\n", "Expecting H or L", 1},
        MessageCase{W, "LTST 1 X\n", "Expecting H or L", 1},
        MessageCase{W, "TBL H\n", "Expecting R or W", 1},
        MessageCase{W, "TBL R H ++\n", "Expecting +I, I+, -I, I-", 1},
        MessageCase{W, "LTST 3 H\n", "Expecting 1 or 2", 1},
        MessageCase{W, "SER MAYBE\n", "Expecting serial access type", 1},
        MessageCase{W, "DELAY #D0\n", "Expecting TIMER value - [SKIPOF] [1-255]", 1},
        MessageCase{W, "DELAY\n", "Expecting TIMER value - [SKIPOF] [1-255]", 1},
        MessageCase{W, "EEP #D32\n", "Expecting EEPROM [Address] [R] [W] [SKIPWC]", 1},
        MessageCase{W, "EEP\n", "Expecting EEPROM [Address] [R] [W] [SKIPWC]", 1}),
    kCaseNames);

INSTANTIATE_TEST_SUITE_P(
    Directives, Message,
    ::testing::Values(
        MessageCase{N, "_SETPC #D256\n", "Invalid PC change", 1},
        MessageCase{N, "_SETPC #DX\n", "Invalid number", 1},
        MessageCase{N, "_SETPC\n", "Invalid number", 1},
        MessageCase{W, "_SETPC #B1\n", "Invalid PC change", 1},
        MessageCase{W, "_SETPC #D1025\n", "Invalid PC change", 1},
        MessageCase{N, "NOP\nNOP\nNOP\n_SETPC #D1\n", "Cannot change PC to less than current PC", 4},
        MessageCase{N, "_NOTEDELAY 49\n", "Invalid number", 1},
        MessageCase{N, "_NOTEDELAY 501\n", "Invalid number", 1},
        MessageCase{N, "_NOTEDELAY #D100\n", "Invalid number", 1},
        MessageCase{W, "_NOTEDELAY\n", "Invalid number", 1},
        MessageCase{N, "_STRING ABC\n", "Invalid string", 1},
        MessageCase{N, "_PSTRING\n", "Invalid string", 1},
        MessageCase{N, "_PSTRING \"\n", "Invalid string", 1},
        MessageCase{N, "_PSTRING \"ab\"\n", "Invalid print character - a", 1},
        MessageCase{N, "_PSTRING \"A~BC\"\n", "Repeast character (~) should be 2nd last in string", 1},
        MessageCase{N, "_PSTRING \"A~~\"\n", "Concurrent (~) characters not allowed", 1},
        MessageCase{N, "_PSTRING \"ABCDEFGHIJKLMNOPQRSTU\"\n", "String length exceeded - Max = 20", 1},
        MessageCase{W, "_RAM\n_RAM\n_ENDRAM\n", "Invalid RAM directive", 2},
        MessageCase{W, "_ENDRAM\n", "Invalid RAM directive", 1},
        MessageCase{W, "NOP\n_RAM\nX\n", "Invalid RAM directive", 2},
        MessageCase{W, "_RAM\nX\n_CONST Y #D1\n_ENDRAM\n", "Invalid RAM directive", 3},
        MessageCase{W, "_RAM X\n_ENDRAM\n", "Invalid RAM directive", 1},
        MessageCase{W, "_RAM\n_ENDRAM\n_ENDRAM\n", "Invalid RAM directive", 3},
        MessageCase{W, "_RAM\nX #D65\n_ENDRAM\n", "Invalid RAM address", 2},
        MessageCase{W, "_RAM\nX #B1\n_ENDRAM\n", "Invalid RAM address", 2},
        MessageCase{W, "_RAM\nX :#D65\n_ENDRAM\n", "Invalid RAM address", 2},
        MessageCase{W, "_RAM\nX\nX\n_ENDRAM\n", "Duplicated RAM definition", 3},
        MessageCase{W, "_RAM\nABCDEFGHIJK\n_ENDRAM\n", "RAM definition name length", 2},
        MessageCase{W, "_RAM\nA-B\n_ENDRAM\n", "Invalid label", 2},
        MessageCase{W, "_RAM\nPOS\n_ENDRAM\n", "Invalid label", 2},
        MessageCase{W, "_RAM\nX #D63 :#D2\n_ENDRAM\n", "RAM definitions exceed maximum allowed", 2},
        MessageCase{W, "_RAM\nX #D64\n_ENDRAM\n", "RAM definitions exceed maximum allowed", 2},
        MessageCase{W, "_RAM\nX :#D3\nY #D1\n_ENDRAM\n", "RAM already defined at this address", 3},
        MessageCase{W, "_EEP\n_ENDEEP\n_EEP\n", "Invalid EEPROM directive", 3},
        MessageCase{W, "_EEP\nX #D33\n_ENDEEP\n", "Invalid EEPROM address", 2},
        MessageCase{W, "_EEP\nX\nX\n_ENDEEP\n", "Duplicated EEPROM definition", 3},
        MessageCase{W, "_EEP\nABCDEFGHIJK\n_ENDEEP\n", "EEPROM definition name length", 2},
        MessageCase{W, "_EEP\n9*\n_ENDEEP\n", "Invalid label", 2},
        MessageCase{W, "_EEP\nX #D30 :#D3\n_ENDEEP\n", "EEPROM definitions exceed maximum allowed", 2},
        MessageCase{W, "_CONST ABCDEFGHIJK #D1\n", "ERROR: Constant definition name length", 1},
        MessageCase{W, "_CONST DEV0 #D1\n", "Duplicated constant", 1},
        MessageCase{W, "_CONST X #D1\n_CONST X #D2\n", "Duplicated constant", 2},
        MessageCase{W, "_CONST X FOO\n", "Invalid constant", 1},
        MessageCase{W, "_CONST X\n", "Invalid constant", 1},
        MessageCase{W, "_CONST X #D1 * #D2\n", "Invalid constant", 1},
        MessageCase{W, "_CONST X #D1 + #D-2\n", "Invalid constant", 1},
        MessageCase{W, "_CONST X #D1 +\n", "Invalid constant", 1},
        MessageCase{W, "_RAM\nBYTE\n_ENDRAM\nNOP\n_CONST BYTE #D1\n", "Constant same as RAM definition", 5},
        MessageCase{W, "_EEP\nCELL\n_ENDEEP\n_CONST CELL #D1\n", "Constant same as EEPROM definition", 4},
        MessageCase{W, "NOP\n_CONST HIGH #D1\n", "Constant definition is reserved", 2},
        MessageCase{W, "_RAM\nDEV1\n_ENDRAM\n", "Constant same as RAM definition", 0},
        MessageCase{W, "_RAM\nSAME\n_ENDRAM\n_EEP\nSAME\n_ENDEEP\n", "Duplicated RAM and EEPROM name", 0}),
    kCaseNames);

INSTANTIATE_TEST_SUITE_P(
    Passes, Message,
    ::testing::Values(
        MessageCase{N, "NOP\nAB-C, NOP\n", "Invalid label", 2},
        MessageCase{N, "ABCDEFGHIJK, NOP\n", "Invalid label", 1},
        MessageCase{N, ", NOP\n", "Invalid label", 1},
        MessageCase{N, "CLA, NOP\n", "Invalid label", 1},
        MessageCase{N, "X, NOP\nNOP\nX, NOP\n", "Duplicated label", 3},
        MessageCase{W, "X, NOP\nX, _STRING \"A\"\n", "Duplicated label", 2},
        MessageCase{N, "_SETPC #D255\nNOP\nNOP\n", "Too much code found in file", 3},
        MessageCase{N, "_SETPC #D240\n_PAGEBREAK\nNOP\n", "Too much code found in file", 3},
        MessageCase{N, "_SETPC #D250\n_STRING \"ABCDEFGH\"\n", "Too much code found in file", 2},
        MessageCase{W, "_SETPC #D1024\nNOP\n", "Too much code found in file", 2}),
    kCaseNames);

}  // namespace
}  // namespace mira::assembler
