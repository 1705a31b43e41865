// The scrambled container every data file is stored in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/file_read.h"
#include "core/scrambled_file.h"
#include "param_name.h"

namespace mira::core {
namespace {

std::string scramble(std::string plain) {
    for (char& ch : plain) ch = static_cast<char>(static_cast<uint8_t>(ch) ^ kScrambleKey);
    return plain;
}

int filesIn(const std::filesystem::path& dir) {
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++files;
    return files;
}

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("mira8-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

TEST(ScrambledFile, EncodesLengthCrAndPayloadXored) {
    const std::string stored = encodeContainer({"ab", "c"});
    EXPECT_EQ(stored, scramble("5\rab\r\nc"));
}

TEST(ScrambledFile, RoundTripKeepsLinesExactly) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"001-1~0~"},
        {"a", "", "b"},
        {"trailing", ""},
        {std::string("bytes \x01\x7f\xff high", 15)},
    };
    for (const auto& lines : cases) {
        const auto r = decodeContainer(encodeContainer(lines));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.lines, lines);
    }
}

TEST(ScrambledFile, ZeroLengthIsEmptyList) {
    const auto r = decodeContainer(scramble("0\r"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.lines.empty());
}

struct BadCase {
    std::string plain;
    ContainerError error;
};

class ScrambledFileBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ScrambledFileBad, FailsAndLeavesListEmpty) {
    const auto r = decodeContainer(scramble(GetParam().plain));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, GetParam().error);
    EXPECT_TRUE(r.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ScrambledFile, ScrambledFileBad,
    ::testing::Values(BadCase{"", ContainerError::NoHeaderEnd},
                      BadCase{"12", ContainerError::NoHeaderEnd},
                      BadCase{"\rabc", ContainerError::BadLength},
                      BadCase{"-3\rabc", ContainerError::BadLength},
                      BadCase{"1x\rabc", ContainerError::BadLength},
                      BadCase{"99999999999999999999\r", ContainerError::BadLength},
                      BadCase{"10\rabc", ContainerError::ShortFile},
                      BadCase{"4\rabc", ContainerError::ShortFile}),
    mira::test::caseNames([](const BadCase& c) { return containerErrorText(c.error); }));

TEST(ScrambledFile, ExtraBytesAfterPayloadAreIgnored) {
    const auto r = decodeContainer(scramble("3\rabcdef"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, std::vector<std::string>{"abc"});
}

TEST(ScrambledFile, LoneLineEndsSplitToo) {
    EXPECT_EQ(splitLines("a\nb\rc\r\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(textLines("#D1\r2\r"), (std::vector<std::string>{"#D1", "2"}));
    EXPECT_EQ(textLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(textLines("").empty());
}

TEST(ScrambledFile, APayloadMayEndWithALineEnd) {
    // As a text editor saves it: the last line ends too.
    const auto r = decodeContainer(scramble("7\r12\r\n34\r\n"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"12", "34"}));
}

TEST(ScrambledFile, EveryLineListRoundTripsExactly) {
    const std::vector<std::vector<std::string>> lists = {
        {}, {""}, {"a"}, {"a", ""}, {"", ""}, {"a", "", "b"}, {"x", "", ""}};
    for (const auto& lines : lists) {
        const auto r = decodeContainer(encodeContainer(lines));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.lines, lines) << lines.size() << " lines";
    }
}

TEST(ScrambledFile, ATailReadKeepsTheNewestLinesAsAWholeReadWouldSplitThem) {
    const std::vector<std::string> texts = {
        "", "\r\n", "a", "a\r\n", "a\r\nb", "a\rb\r", "a\n\n", "a\r\n\r\n", "\n\r\n\r",
        "1\r\n2\r\n3\r\n4\r\n5", "1\r2\n3\r\n4\r\n5\r\n"};
    for (const std::string& text : texts) {
        const std::vector<std::string> all = textLines(text);
        for (size_t count = 0; count <= all.size() + 1; ++count) {
            const size_t from = all.size() > count ? all.size() - count : 0;
            const std::vector<std::string> tail(all.begin() + static_cast<long>(from), all.end());
            EXPECT_EQ(lastTextLines(text, count), tail) << testing::PrintToString(text) << " " << count;
        }
    }
    // A trace file of a million lines comes back as its newest 500.
    std::vector<std::string> many;
    for (int i = 0; i < 1'000'000; ++i) many.push_back(std::to_string(i));
    const auto r = decodeContainer(encodeContainer(many), 500);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.lines.size(), 500u);
    EXPECT_EQ(r.lines.front(), "999500");
    EXPECT_EQ(r.lines.back(), "999999");
}

TEST(AtomicFile, KeepsPermissionsAndWritesThroughALink) {
    TempDir dir;
    const auto real = dir.file("epmvl.dat");
    ASSERT_TRUE(writeContainerFile(real, {"1"}));
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
    ASSERT_TRUE(writeContainerFile(real, {"2"}));
    EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    const auto link = dir.file("link.dat");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(writeContainerFile(link, {"3"}));
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(readContainerFile(real).lines, std::vector<std::string>{"3"});
    // No temporary file is left beside it.
    EXPECT_EQ(filesIn(real.parent_path()), 2);
}

// Renaming over a file needs only the folder's permission: a save must check the file's.
TEST(AtomicFile, AReadOnlyFileIsRefusedAndKept) {
    TempDir dir;
    const auto path = dir.file("roll.prf");
    ASSERT_TRUE(writeContainerFile(path, {"kept"}));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_FALSE(writeContainerFile(path, {"lost"}));
    EXPECT_EQ(readContainerFile(path).lines, std::vector<std::string>{"kept"});
    EXPECT_EQ(saveFailureText("ERROR: Failed to save printer file", path),
              "ERROR: Failed to save printer file\r\r\"" + path.string() + "\" is read-only: it was kept as it was.");
    EXPECT_EQ(saveFailureText("E", dir.file("no") / "x.ptp"),
              "E\r\rthe folder of \"" + (dir.file("no") / "x.ptp").string() + "\" does not exist.");
    EXPECT_EQ(filesIn(dir.file("")), 1) << "no temporary file is left behind";
}

TEST(AtomicFile, AHardLinkedFileIsWrittenThroughEveryName) {
    TempDir dir;
    const auto a = dir.file("a.kpf");
    const auto b = dir.file("b.kpf");
    ASSERT_TRUE(writeContainerFile(a, {"1"}));
    std::filesystem::create_hard_link(a, b);
    ASSERT_TRUE(writeContainerFile(b, {"2"}));
    EXPECT_EQ(std::filesystem::hard_link_count(a), 2u);
    EXPECT_EQ(readContainerFile(a).lines, std::vector<std::string>{"2"});
}

// A reader that takes at most N lines stops splitting at N + 1: a flood of line ends
// costs no memory, and below the limit the lines are exactly those of a full read.
TEST(ScrambledFile, ALineLimitStopsTheSplitAndSaysTooLarge) {
    const std::string flood(10'000'000, '\n');
    const std::string stored = scramble(std::to_string(flood.size()) + "\r" + flood);
    const auto r = decodeContainer(stored, kAllLines, 258);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ContainerError::TooManyLines);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_STREQ(containerErrorText(r.error), "the file is too large: it holds more lines than it may");
    for (const std::string text : {"", "a", "a\r\n", "a\r\nb", "\n\n", "a\rb\nc\r\n\r\n", "\r"}) {
        const std::string bytes = scramble(std::to_string(text.size()) + "\r" + text);
        const auto whole = decodeContainer(bytes);
        const auto exact = decodeContainer(bytes, kAllLines, whole.lines.size());
        ASSERT_TRUE(exact.ok) << text;
        EXPECT_EQ(exact.lines, whole.lines) << text;
        if (!whole.lines.empty()) {
            EXPECT_EQ(decodeContainer(bytes, kAllLines, whole.lines.size() - 1).error, ContainerError::TooManyLines);
        }
    }
}

TEST(ScrambledFile, AFileOverTheSizeLimitSaysTooLarge) {
    TempDir dir;
    const auto path = dir.file("huge.mtf");
    std::ofstream(path).close();
    std::filesystem::resize_file(path, kMaxReadBytes + 1);  // sparse: costs no disk
    const auto r = readContainerFile(path);
    EXPECT_EQ(r.error, ContainerError::TooLarge);
    EXPECT_STREQ(containerErrorText(r.error), "the file is too large");
}

TEST(ScrambledFile, AFolderIsRefusedNotRead) {
    TempDir dir;
    const auto folder = dir.file("cmplr.dat");
    std::filesystem::create_directories(folder);
    const auto r = readContainerFile(folder);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ContainerError::NotAFile);
    EXPECT_TRUE(r.lines.empty());
}

TEST(ScrambledFile, FileRoundTripAndMissingFile) {
    TempDir dir;
    const auto path = dir.file("zomira.dat");
    EXPECT_EQ(readContainerFile(path).error, ContainerError::CannotOpen);
    ASSERT_TRUE(writeContainerFile(path, {"001x", "002y"}));
    const auto r = readContainerFile(path);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"001x", "002y"}));
    ASSERT_TRUE(writeContainerFile(path, {"new"}));
    EXPECT_EQ(readContainerFile(path).lines, std::vector<std::string>{"new"});
    EXPECT_EQ(filesIn(dir.file("")), 1) << "no temporary file is left behind";
}

TEST(ScrambledFile, FailedWriteKeepsOldFile) {
    TempDir dir;
    EXPECT_FALSE(writeContainerFile(dir.file("missing-dir") / "x.dat", {"a"}));
}

}  // namespace
}  // namespace mira::core
