// The CLI's word file format.
#include <gtest/gtest.h>

#include "cli/word_file.h"
#include "param_name.h"

namespace mira::cli {
namespace {

TEST(WordFile, NumbersCommentsAndAddresses) {
    const auto r = parseWordFile("1 0x1F 0o17 # comment 99\n@10 7\n\t8\r\n", 256, 255);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.words.size(), 5u);
    EXPECT_EQ(r.words[0].word, 1);
    EXPECT_EQ(r.words[1].word, 31);
    EXPECT_EQ(r.words[2].word, 15);
    EXPECT_EQ(r.words[3].address, 10);
    EXPECT_EQ(r.words[3].word, 7);
    EXPECT_EQ(r.words[4].address, 11);
}

struct BadWordCase {
    std::string text;
    int memory;
    int maxWord;
    int line;
    std::string message;
};

class WordFileBad : public ::testing::TestWithParam<BadWordCase> {};

TEST_P(WordFileBad, RefusedWithLineAndMessage) {
    const auto& c = GetParam();
    const auto r = parseWordFile(c.text, c.memory, c.maxWord);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorLine, c.line);
    EXPECT_EQ(r.error, c.message);
    EXPECT_TRUE(r.words.empty());
}

INSTANTIATE_TEST_SUITE_P(
    WordFile, WordFileBad,
    ::testing::Values(
        BadWordCase{"1\n2\n256\n", 256, 255, 3, "word 256 does not fit in 8 bits"},
        BadWordCase{"65536", 1024, 65535, 1, "word 65536 does not fit in 16 bits"},
        BadWordCase{"1 two", 256, 255, 1, "bad word 'two'"},
        BadWordCase{"-1", 256, 255, 1, "word -1 does not fit in 8 bits"},
        BadWordCase{"0x", 256, 255, 1, "bad word '0x'"},
        BadWordCase{"\n@300 1", 256, 255, 2, "address 300 is past the memory (size 256)"},
        BadWordCase{"@x", 256, 255, 1, "bad address '@x'"},
        BadWordCase{"@255 1 2", 256, 255, 1, "address 256 is past the memory (size 256)"}),
    mira::test::caseNames([](const BadWordCase& c) { return c.message; }));

TEST(WordFile, FormatRoundTrip) {
    const std::vector<WordFileEntry> words = {{0, 1}, {1, 0xABCD}, {5, 3}};
    const std::string text = formatWordFile(words, true);
    EXPECT_EQ(text, "0x0001 0xABCD\n@5\n0x0003\n");
    const auto r = parseWordFile(text, 1024, 65535);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.words.size(), 3u);
    EXPECT_EQ(r.words[2].address, 5);
    EXPECT_EQ(r.words[1].word, 0xABCD);
}

}  // namespace
}  // namespace mira::cli
