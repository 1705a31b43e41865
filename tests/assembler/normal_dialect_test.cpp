#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace mira::assembler {
namespace {

using test::assembleOne;
using test::Bench;

int normal(const std::string& s, std::string* error = nullptr) { return assembleOne(s, false, error); }

TEST(NormalDialect, EveryTableRecordAssemblesToItsCode) {
    const auto& t = test::normalTable();
    for (int k = 7; k <= 19; ++k)
        EXPECT_EQ(normal(t.records[static_cast<size_t>(k)].mnemonic), t.records[static_cast<size_t>(k)].code);
    for (int k = 20; k <= 27; ++k) {
        const auto& r = t.records[static_cast<size_t>(k)];
        EXPECT_EQ(normal(r.mnemonic + " 0"), r.code);
        EXPECT_EQ(normal(r.mnemonic + " 1"), r.code | 8);
    }
    for (int k = 0; k <= 6; ++k) {
        const auto& r = t.records[static_cast<size_t>(k)];
        EXPECT_EQ(normal(r.mnemonic + " #D5"), r.code | 5);
        EXPECT_EQ(normal(r.mnemonic + " I #D15"), r.code | 16 | 15);
    }
}

TEST(NormalDialect, DataWordsAndLowerCase) {
    EXPECT_EQ(normal("#D200"), 200);
    EXPECT_EQ(normal("#\"a\""), 97);
    EXPECT_EQ(normal("tad #d3 / add word 3"), 0x23);
    std::string e;
    EXPECT_EQ(normal("#P\"a\"", &e), -1);
    EXPECT_EQ(e, "Invalid number");
    EXPECT_EQ(normal("#D256", &e), -1);
    EXPECT_EQ(e, "Expecting value 0 - 255");
    EXPECT_EQ(normal("_SUBRETURN"), 0);
}

TEST(NormalDialect, LabelAloneIsZeroAndLabelOfLabelIsAnAddress) {
    Bench b;
    b.m.memory.fill(0x77);
    ASSERT_TRUE(b.assemble("A, \nB, C\nC, #D9\nD, _SUBRETURN\n").ok);
    EXPECT_EQ(b.word(0), 0);
    EXPECT_EQ(b.word(1), 2);
    EXPECT_EQ(b.word(2), 9);
    EXPECT_EQ(b.word(3), 0);
}

TEST(NormalDialect, LabelsMustBeOnThePage) {
    // JMP at 35 reaches 32..47 only.
    Bench b;
    std::string src = "_SETPC #D32\nL32, NOP\nNOP\nNOP\nJMP L32\nJMP L47\n_SETPC #D47\nL47, NOP\n";
    ASSERT_TRUE(b.assemble(src).ok) << b.prompter.errors.at(0);
    EXPECT_EQ(b.word(35), 0xA0);
    EXPECT_EQ(b.word(36), 0xAF);
    Bench c;
    const auto r = c.assemble("L5, NOP\n_SETPC #D35\nTAD L5\n");
    EXPECT_EQ(r.message, "Address is outside memory page");
    EXPECT_EQ(r.line, 2);
}

TEST(NormalDialect, ZeroPageModeReachesWordsZeroToSevenFromAnyPage) {
    Bench b;
    b.m.options.zeroPageMode = true;
    ASSERT_TRUE(b.assemble("NOP\nNOP\nNOP\nNOP\nNOP\nL5, NOP\n_SETPC #D35\nTAD L5\nISZ I L5\nJMB I L5\n").ok);
    EXPECT_EQ(b.word(35), 0x25);
    EXPECT_EQ(b.word(36), 0x55);
    EXPECT_EQ(b.word(37), 0x95);
}

TEST(NormalDialect, ZeroPageModeRefusesWhatTheMachineWouldReadElsewhere) {
    // JMP and a direct JMB never read page zero, so a low label on another page is off
    // the page for them.
    Bench b;
    b.m.options.zeroPageMode = true;
    auto r = b.assemble("L0, NOP\n_SETPC #D35\nJMP L0\n");
    EXPECT_EQ(r.message, "Address is outside memory page");
    // A current-page label at offset 0..7 would be read from page zero: refused.
    Bench c;
    c.m.options.zeroPageMode = true;
    r = c.assemble("_SETPC #D32\nL32, NOP\nTAD L32\nJMP L32\n");
    EXPECT_EQ(r.message, "Address is outside memory page");
    EXPECT_EQ(r.line, 2);
    // Offsets 8..15 on the current page are fine, and so is JMP to offset 0.
    Bench d;
    d.m.options.zeroPageMode = true;
    ASSERT_TRUE(d.assemble("_SETPC #D40\nL40, NOP\nTAD L40\nJMP L40\n_SETPC #D48\nL48, JMP L48\n").ok);
    EXPECT_EQ(d.word(41), 0x28);
    EXPECT_EQ(d.word(42), 0xA8);
    EXPECT_EQ(d.word(48), 0xA0);
}

TEST(NormalDialect, RelativeJump) {
    Bench b;
    ASSERT_TRUE(b.assemble("_SETPC #D20\nJMP .+3\nJMP .-1\n_SETPC #D32\nJMP .12\n").ok);
    EXPECT_EQ(b.word(20), 0xA0 | 7);
    EXPECT_EQ(b.word(21), 0xA0 | 4);
    EXPECT_EQ(b.word(32), 0xA0 | 12);
    std::string e;
    EXPECT_EQ(normal("_SETPC #D20\nJMP .+12", &e), -1);
    EXPECT_EQ(e, "Address is outside memory page");
    EXPECT_EQ(normal("JMP .5", &e), -1);
    EXPECT_EQ(e, "Invalid value");
    EXPECT_EQ(normal("JMP .+x", &e), -1);
    EXPECT_EQ(e, "Invalid value");
    // Only the jump takes a relative operand.
    EXPECT_EQ(normal("TAD .+1", &e), -1);
    EXPECT_EQ(e, "Missing memory target address");
}

TEST(NormalDialect, ForwardReferenceResolves) {
    Bench b;
    std::string src = "JMP END\n";
    for (int i = 0; i < 14; ++i) src += "NOP\n";
    src += "END, HLT\n";
    ASSERT_TRUE(b.assemble(src).ok);
    EXPECT_EQ(b.word(0), 0xA0 | 15);
}

TEST(NormalDialect, TokensAreCutToTenCharacters) {
    Bench b;
    ASSERT_TRUE(b.assemble("ABCDEFGHIJ, NOP\nJMP ABCDEFGHIJKLM\n").ok);
    EXPECT_EQ(b.word(1), 0xA0);
}

}  // namespace
}  // namespace mira::assembler
