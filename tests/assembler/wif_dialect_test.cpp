#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace mira::assembler {
namespace {

using test::assembleOne;
using test::Bench;

int wif(const std::string& s, std::string* error = nullptr) { return assembleOne(s, true, error); }
std::string wifError(const std::string& s) {
    std::string e;
    wif(s, &e);
    return e;
}

TEST(WifDialect, LiteralForms) {
    EXPECT_EQ(wif("NOP"), 0x0000);
    EXPECT_EQ(wif("ADDL #D200"), 0x10C8);
    EXPECT_EQ(wif("MOVL 7"), 0x4007);  // digits are predefined constants
    EXPECT_EQ(wif("XORL #D-1"), 0x60FF);
    EXPECT_EQ(wif("SKIP POS"), 0x7001);
    EXPECT_EQ(wif("SKIP NEG"), 0x7002);
    EXPECT_EQ(wif("SKIP >= #D10"), 0x710A);
    EXPECT_EQ(wif("SKIP < #D10"), 0x720A);
    EXPECT_EQ(wif("SKIP = #D10"), 0x730A);
    EXPECT_EQ(wif("RDSR"), 0x8000);
    EXPECT_EQ(wif("DAA"), 0x9000);
    EXPECT_EQ(wif("MUL HA"), 0xA100);
    EXPECT_EQ(wif("MUL LA"), 0xA200);
    EXPECT_EQ(wif("MUL #D3"), 0xA003);
    EXPECT_EQ(wif("RAND"), 0xB000);
    EXPECT_EQ(wif("MOVL D10_C"), 0x4010);  // the D10_C symbol is 16
}

TEST(WifDialect, HighAndLowTakeBytesOfAValue) {
    Bench b(true);
    ASSERT_TRUE(b.assemble("_SETPC #D300\nHERE, MOVL HIGH HERE\nMOVL LOW HERE\nMOVL HIGH #$1234\n").ok);
    EXPECT_EQ(b.word(300), 0x4001);
    EXPECT_EQ(b.word(301), 0x4000 | (300 & 255));
    EXPECT_EQ(b.word(302), 0x4012);
    // HIGH counts as a token: four operands' worth is too many.
    EXPECT_EQ(wifError("LB, MOVL HIGH #D1 X"), "Extra data on line");
    EXPECT_EQ(wifError("MOVL HIGH"), "Expecting a value");
    // A label above 255 without HIGH/LOW is out of range.
    Bench c(true);
    EXPECT_EQ(c.assemble("_SETPC #D300\nHERE, MOVL HERE\n").message, "Invalid value");
}

TEST(WifDialect, RegisterFormsSourceAndTarget) {
    // source RAM 5, target the same RAM byte (R)
    EXPECT_EQ(wif("INC #D5"), 0x5400 | 256 | 64 | 5);
    EXPECT_EQ(wif("INC #D5 R"), 0x5400 | 256 | 64 | 5);
    EXPECT_EQ(wif("INC #D5 #D5"), 0x5400 | 256 | 64 | 5);
    EXPECT_EQ(wif("MOV #D5 A"), 0x8400 | 256 | 5);
    EXPECT_EQ(wif("MOV A #D5"), 0x8400 | 64 | 5);
    EXPECT_EQ(wif("MOV I P"), 0x8400 | 512 | 192);
    EXPECT_EQ(wif("MOV P I"), 0x8400 | 768 | 128);
    EXPECT_EQ(wif("ADD A #D7 T"), 0x0400 | 64 | 7 | 32);
    EXPECT_EQ(wif("ADD #D7 A S"), 0x0400 | 256 | 7);
    EXPECT_EQ(wif("SUB A A S"), 0xB400);
    // A RAM address 32..63 is the same register; bit 5 stays with the form.
    EXPECT_EQ(wif("INC #D37"), 0x5400 | 256 | 64 | 5);
    EXPECT_EQ(wif("ADD #D37 A S"), 0x0400 | 256 | 5);
}

TEST(WifDialect, RegisterFormRules) {
    EXPECT_EQ(wifError("INC"), "A RAM address is required");
    EXPECT_EQ(wifError("INC R #D5"), "A RAM address is required");
    EXPECT_EQ(wifError("INC A"), "A RAM address is required");
    EXPECT_EQ(wifError("INC I R"), "A RAM address is required");
    EXPECT_EQ(wifError("INC #D5 #D6"), "Explicit source and target RAM address cannot be different");
    EXPECT_EQ(wifError("INC #D64"), "Expecting RAM address or source specifier");
    EXPECT_EQ(wifError("INC X"), "Expecting RAM address or source specifier");
    EXPECT_EQ(wifError("INC A X"), "Expecting RAM address or target specifier");
    EXPECT_EQ(wifError("ADD A A"), "Expecting S or T");
    EXPECT_EQ(wifError("ADD A A X"), "Expecting S or T");
    EXPECT_EQ(wifError("INC A A S"), "Extra data on line");
}

TEST(WifDialect, ControlForms) {
    Bench b(true);
    ASSERT_TRUE(b.assemble("CALL SBR\nGOTO #D1023\nGOTO .+2\nGOTO .05\nSBR, RET\nRETVAL #\"A\"\nHALT\n").ok);
    EXPECT_EQ(b.word(0), 0x0800 | 4);
    EXPECT_EQ(b.word(1), 0x1800 | 1023);
    EXPECT_EQ(b.word(2), 0x1800 | 4);  // relative: this address + 2
    EXPECT_EQ(b.word(3), 0x1800 | 8);
    EXPECT_EQ(b.word(4), 0x2800);
    EXPECT_EQ(b.word(5), 0x3841);
    EXPECT_EQ(b.word(6), 0x4800);
    EXPECT_EQ(wif("SKF SET C"), 0x5800 | 1 | 2);
    EXPECT_EQ(wif("SKF CLR DC"), 0x5800 | 4);
    EXPECT_EQ(wif("FLAG SET Z"), 0x6800 | 1 | 8);
    EXPECT_EQ(wif("FLAG CLR RP"), 0x6800 | 16);
    EXPECT_EQ(wif("BSET #D3 7"), 0x7800 | 256 | 3 | (7 << 5));
    EXPECT_EQ(wif("BCLR A 0"), 0x8800);
    EXPECT_EQ(wif("BTOG I 1"), 0x9800 | 512 | 32);
    EXPECT_EQ(wif("SKBS P 2"), 0xA800 | 768 | 64);
    EXPECT_EQ(wif("SKBC #D31 4"), 0xB800 | 256 | 31 | 128);
    EXPECT_EQ(wif("TBLP H #D3"), 0xC800 | 256 | 3);
    EXPECT_EQ(wif("TBLP L #D200"), 0xC800 | 200);
}

TEST(WifDialect, InputOutputForms) {
    EXPECT_EQ(wif("SKI 1"), 0x0C00 | 32);
    EXPECT_EQ(wif("SKI DEV0_IN"), 0x0C00);
    EXPECT_EQ(wif("INP 1 #D4"), 0x1C00 | 32 | 64 | 4);
    EXPECT_EQ(wif("GET 0 A"), 0x3C00);
    EXPECT_EQ(wif("GET 0 I"), 0x3C00 | 128);
    EXPECT_EQ(wif("WRT 1 #D4"), 0x5C00 | 32 | 256 | 4);
    EXPECT_EQ(wif("PUT 0 P"), 0x7C00 | 768);
    EXPECT_EQ(wif("ACK 1"), 0x2C00 | 32);
    EXPECT_EQ(wif("SKO 0"), 0x4C00);
    EXPECT_EQ(wif("STB #D1"), 0x6C00 | 32);
    EXPECT_EQ(wif("SEND"), 0x8C00);
    EXPECT_EQ(wif("RECV"), 0x9C00);
    EXPECT_EQ(wif("SER ON"), 0xAC01);
    EXPECT_EQ(wif("SER OFF"), 0xAC00);
    EXPECT_EQ(wif("TBL R H +I"), 0xBC00 | 2 | 1 | 4);
    EXPECT_EQ(wif("TBL W L"), 0xBC00);
    EXPECT_EQ(wif("TBL R L I-"), 0xBC00 | 2 | 32);
    EXPECT_EQ(wif("LTST 1 H"), 0xCC00 | 1 | 2);
    EXPECT_EQ(wif("LTST 2 L"), 0xCC00);
    EXPECT_EQ(wif("DELAY #D50"), 0xDC00 | 50);
    EXPECT_EQ(wif("DELAY SKIPOF"), 0xDC00 | 256);
    EXPECT_EQ(wif("EEP #D31"), 0xEC00 | 128 | 31);
    EXPECT_EQ(wif("EEP R"), 0xEC00 | 64);
    EXPECT_EQ(wif("EEP W"), 0xEC00 | 32);
    EXPECT_EQ(wif("EEP SKIPWC"), 0xEC00 | 256);
}

TEST(WifDialect, RamAndEepromBlocksNameBytes) {
    Bench b(true);
    const auto r = b.assemble(
        "_EEP\nE0\nE5 #D5\nE6 :#D2\n_ENDEEP\n"
        "_RAM\nA0\nBUF #D4 :#D3\nNEXT\nHI #$30\n_ENDRAM\n"
        "MOVL BUF_2\nMOVL NEXT\nINC HI\nEEP E6_1\nMOVL E6_1\n");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(b.asmb.ramDefinitions()[0], "A0");
    EXPECT_EQ(b.asmb.ramDefinitions()[4], "BUF");
    EXPECT_EQ(b.asmb.ramDefinitions()[5], "BUF_1");
    EXPECT_EQ(b.asmb.ramDefinitions()[6], "BUF_2");
    EXPECT_EQ(b.asmb.ramDefinitions()[7], "NEXT");
    EXPECT_EQ(b.asmb.ramDefinitions()[48], "HI");
    EXPECT_EQ(b.asmb.eepromDefinitions()[6], "E6");
    EXPECT_EQ(b.asmb.eepromDefinitions()[7], "E6_1");
    EXPECT_EQ(b.word(0), 0x4006);
    EXPECT_EQ(b.word(1), 0x4007);
    EXPECT_EQ(b.word(2), 0x5400 | 256 | 64 | 16);  // a RAM name is taken modulo 32
    EXPECT_EQ(b.word(3), 0xEC00 | 128 | 7);
    EXPECT_EQ(b.word(4), 0x4007);
    // The block lines produce no words.
    EXPECT_EQ(b.asmb.wordCount(), 5);
}

TEST(WifDialect, LaterEepromNameReplacesTheEarlierOne) {
    Bench b(true);
    auto r = b.assemble("_EEP\nOLD #D3\nNEW #D3\n_ENDEEP\nEEP NEW\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(b.asmb.eepromDefinitions()[3], "NEW");
    EXPECT_EQ(b.word(0), 0xEC00 | 128 | 3);
    r = b.assemble("_EEP\nOLD #D3\nNEW #D3\n_ENDEEP\nEEP OLD\n");
    EXPECT_EQ(r.message, "Expecting EEPROM [Address] [R] [W] [SKIPWC]");
}

TEST(WifDialect, ConstantsAndTheirArithmetic) {
    Bench b(true);
    const auto r = b.assemble(
        "_RAM\nR0\nR1\n_ENDRAM\n"
        "_CONST BIG #D250 + #D10\n_CONST LOWR #D3 - #D5\n_CONST TO_R1 R1\n_CONST COPY BIG\n"
        "_CONST WIDE #$1234\n_CONST LOC_X TO_R1 + #D1\n"
        "MOVL BIG\nMOVL LOWR\nMOVL TO_R1\nMOVL COPY\nMOVL HIGH WIDE\nMOVL LOC_X\n");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(b.word(0), 0x4004);  // 260 mod 256
    EXPECT_EQ(b.word(1), 0x40FE);  // -2 mod 256
    EXPECT_EQ(b.word(2), 0x4001);
    EXPECT_EQ(b.word(3), 0x4004);
    EXPECT_EQ(b.word(4), 0x4012);
    EXPECT_EQ(b.word(5), 0x4002);
    EXPECT_EQ(b.asmb.constants().size(), 75u + 6u);
}

TEST(WifDialect, StringsBecomeRetvalWords) {
    Bench b(true);
    ASSERT_TRUE(b.assemble("MSG, _STRING \"Ab\"\n_PSTRING \"A~B\"\n").ok);
    EXPECT_EQ(b.word(0), 0x3841);
    EXPECT_EQ(b.word(1), 0x3862);
    EXPECT_EQ(b.word(2), 0x3801);
    EXPECT_EQ(b.word(3), 0x3800 | (2 + 128));
    EXPECT_EQ(b.asmb.sourceListText(0), "MSG,`\"A\"`");
    EXPECT_EQ(b.asmb.sourceListText(3), "~\"B\"`");
}

TEST(WifDialect, LabelMayNotBeAKeywordOrMnemonic) {
    Bench b(true);
    EXPECT_EQ(b.assemble("POS, NOP\n").message, "Invalid label");
    EXPECT_EQ(b.assemble("MOVL, NOP\n").message, "Invalid label");
    // In Normal the keywords are ordinary names.
    Bench n;
    EXPECT_TRUE(n.assemble("POS, NOP\nJMP POS\n").ok);
}

TEST(WifDialect, BinaryTokensMayRunTo18Characters) {
    EXPECT_EQ(wif("MOVL #B0000000011111111"), 0x40FF);
    // Longer ones are cut to 10 characters first: #B00000000 reads 0.
    EXPECT_EQ(wif("MOVL #B00000000111111111"), 0x4000);
}

}  // namespace
}  // namespace mira::assembler
