#include <gtest/gtest.h>

#include "assembler/tokenizer.h"

namespace mira::assembler {
namespace {

using V = std::vector<std::string>;

TEST(Tokenizer, SplitsOnBlanksAndTabsAndUpperCases) {
    const auto t = tokenize("  loop,\tand  count  ", Dialect::Normal);
    EXPECT_EQ(t.tokens, (V{"LOOP,", "AND", "COUNT"}));
    EXPECT_EQ(t.written, (V{"loop,", "and", "count"}));
}

TEST(Tokenizer, CommentStartsAtFirstSlashEvenInsideQuotes) {
    EXPECT_EQ(tokenize("CLA / clear", Dialect::Normal).tokens, (V{"CLA"}));
    EXPECT_EQ(tokenize("_STRING \"A/B\"", Dialect::Normal).tokens, (V{"_STRING", "\"A"}));
    EXPECT_TRUE(tokenize("/ only a comment", Dialect::Normal).empty());
    EXPECT_TRUE(tokenize("   \t ", Dialect::Normal).empty());
}

TEST(Tokenizer, DropsControlAndNonAsciiCharacters) {
    EXPECT_EQ(tokenize("C\x01L\x7F" "A\xC3\xA9", Dialect::Normal).tokens, (V{"CLA"}));
}

TEST(Tokenizer, QuotedTextIsOneTokenUpToTheLastQuote) {
    const auto t = tokenize("MSG, _STRING \"Hi there\" x", Dialect::Normal);
    EXPECT_EQ(t.written, (V{"MSG,", "_STRING", "\"Hi there\"", "x"}));
    // Everything between the first and the last quote of the line is one token.
    const auto u = tokenize("#\"a\" X #\"b\"", Dialect::Wif);
    ASSERT_EQ(u.written.size(), 1u);
    EXPECT_EQ(u.written[0], "#\"a\" X #\"b\"");
    // A lone quote does not join anything.
    EXPECT_EQ(tokenize("A \" B", Dialect::Normal).tokens, (V{"A", "\"", "B"}));
}

TEST(Tokenizer, CharacterLiteralKeepsItsCase) {
    EXPECT_EQ(tokenize("movl #\"a\"", Dialect::Wif).tokens, (V{"MOVL", "#\"a\""}));
    EXPECT_EQ(tokenize("#\"a\"", Dialect::Normal).tokens, (V{"#\"a\""}));
}

TEST(Tokenizer, PrinterLiteralKeepsItsCaseOnlyInNormal) {
    EXPECT_EQ(tokenize("#p\"a\"", Dialect::Normal).tokens, (V{"#P\"a\""}));
    EXPECT_EQ(tokenize("movl #p\"a\"", Dialect::Wif).tokens, (V{"MOVL", "#P\"A\""}));
}

TEST(Tokenizer, JoinFieldsEndsEachWithABackquote) {
    EXPECT_EQ(joinFields({"LOOP,", "JMP", "X"}), "LOOP,`JMP`X`");
    EXPECT_EQ(joinFields({}), "");
}

}  // namespace
}  // namespace mira::assembler
