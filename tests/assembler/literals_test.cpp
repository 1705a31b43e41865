#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "assembler/literals.h"
#include "param_name.h"
#include "param_name.h"

namespace mira::assembler {
namespace {

struct LiteralCase {
    const char* token;
    std::optional<int> value;
};

class Literal : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(Literal, ReadsItsValueOrIsInvalid) {
    const auto& c = GetParam();
    EXPECT_EQ(parseNumber(c.token), c.value) << c.token;
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, Literal,
    ::testing::Values(
        // decimal
        LiteralCase{"#D200", 200}, LiteralCase{"#d7", 7}, LiteralCase{"#D0", 0},
        LiteralCase{"#D65535", 65535}, LiteralCase{"#D65536", std::nullopt},
        LiteralCase{"#D99999999999999999999", std::nullopt}, LiteralCase{"#D", std::nullopt},
        LiteralCase{"#D12A", std::nullopt},
        // hexadecimal
        LiteralCase{"#$C8", 200}, LiteralCase{"#$c8", 200}, LiteralCase{"#$FFFF", 65535},
        LiteralCase{"#$10000", std::nullopt}, LiteralCase{"#$", std::nullopt},
        LiteralCase{"#$G1", std::nullopt},
        // binary, "." counts as 0
        LiteralCase{"#B1100.000", 192}, LiteralCase{"#B1.1", 5}, LiteralCase{"#B", std::nullopt},
        LiteralCase{"#B102", std::nullopt},
        // octal, empty is 0
        LiteralCase{"#0310", 200}, LiteralCase{"#0", 0}, LiteralCase{"#08", std::nullopt},
        // split octal
        LiteralCase{"#E310", 104}, LiteralCase{"#E610", 200}, LiteralCase{"#E7", 7}, LiteralCase{"#E17", 15},
        LiteralCase{"#E319", 104}, LiteralCase{"#E8", 0}, LiteralCase{"#E47", std::nullopt},
        LiteralCase{"#E", 0}, LiteralCase{"#E737", 255}, LiteralCase{"#E1234", std::nullopt},
        LiteralCase{"#E837", std::nullopt},
        // signs
        LiteralCase{"#D-1", 255}, LiteralCase{"#D-128", 128}, LiteralCase{"#D-129", std::nullopt},
        LiteralCase{"#D-0", 0}, LiteralCase{"#$-1", 255}, LiteralCase{"#B-1", 255},
        LiteralCase{"#0-10", 248}, LiteralCase{"#E-1", 255}, LiteralCase{"#D-", std::nullopt},
        // character literals
        LiteralCase{"#\"A\"", 65}, LiteralCase{"#\"a\"", 97}, LiteralCase{"#\" \"", 32},
        LiteralCase{"#\"AB\"", std::nullopt}, LiteralCase{"#\"\"", std::nullopt},
        LiteralCase{"#\"A", std::nullopt},
        // printer literals
        LiteralCase{"#P\"A\"", 1}, LiteralCase{"#P\"@\"", 0}, LiteralCase{"#P\"_\"", 31},
        LiteralCase{"#P\" \"", 32}, LiteralCase{"#P\"?\"", 63}, LiteralCase{"#P\"a\"", std::nullopt},
        LiteralCase{"#P\"~\"", std::nullopt}, LiteralCase{"#PA", std::nullopt},
        // notes
        LiteralCase{"#N21C#", 2 * 64 + 16 + 1}, LiteralCase{"#N00X", 0}, LiteralCase{"#N33C", 252},
        LiteralCase{"#N12A#", 64 + 32 + 10}, LiteralCase{"#N40C", std::nullopt},
        LiteralCase{"#N04C", std::nullopt}, LiteralCase{"#N11H", std::nullopt},
        LiteralCase{"#N11", std::nullopt}, LiteralCase{"#N1C", std::nullopt},
        // not numbers
        LiteralCase{"#", std::nullopt}, LiteralCase{"#X12", std::nullopt},
        LiteralCase{"D12", std::nullopt}, LiteralCase{"", std::nullopt}),
    mira::test::caseNames([](const LiteralCase& c) {
        return std::string(c.token) + (c.value ? " is " + std::to_string(*c.value) : " invalid");
    }));

TEST(Literal, OnlyTokensStartingWithHashAreNumbers) {
    EXPECT_TRUE(isNumberToken("#D1"));
    EXPECT_TRUE(isNumberToken("#Q"));
    EXPECT_FALSE(isNumberToken("12"));
    EXPECT_FALSE(isNumberToken(""));
}

TEST(Literal, NonNegativeMeansNoMinusSign) {
    EXPECT_TRUE(isNonNegativeNumber("#D10"));
    EXPECT_TRUE(isNonNegativeNumber("#\"-\""));
    EXPECT_TRUE(isNonNegativeNumber("#D-0"));
    EXPECT_FALSE(isNonNegativeNumber("#D-1"));
    EXPECT_FALSE(isNonNegativeNumber("#D"));
}

TEST(Literal, PrinterSetHas64Positions) {
    int count = 0;
    for (int c = 0; c < 256; ++c) {
        const int p = printerCode(static_cast<char>(c));
        if (p < 0) continue;
        ++count;
        EXPECT_LT(p, 64);
    }
    EXPECT_EQ(count, 64);
    EXPECT_EQ(printerCode('Z'), 26);
    EXPECT_EQ(printerCode('0'), 48);
    EXPECT_EQ(printerCode('z'), -1);
}

TEST(Literal, NoteNamesAreExact) {
    EXPECT_EQ(noteIndex("X"), 0);
    EXPECT_EQ(noteIndex("G#"), 8);
    EXPECT_EQ(noteIndex("C"), 12);
    EXPECT_EQ(noteIndex("c"), -1);
    EXPECT_EQ(noteIndex("E#"), -1);
}

}  // namespace
}  // namespace mira::assembler
