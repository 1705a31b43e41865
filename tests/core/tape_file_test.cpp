#include "core/tape_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "core/scrambled_file.h"

namespace mira::core {
namespace {

std::array<int32_t, 256> numbered() {
    std::array<int32_t, 256> words{};
    for (int i = 0; i < 256; ++i) words[static_cast<size_t>(i)] = (i * 7 + 3) & 255;
    return words;
}

TEST(TapeFile, RangeTenToTwelveIsMarkerAddressAndThreeWords) {
    const auto words = numbered();
    const auto lines = buildTapeLines(words, 255, 10, 12);
    const std::vector<std::string> expected{"128", "10", std::to_string(words[10]),
                                            std::to_string(words[11]),
                                            std::to_string(words[12])};
    EXPECT_EQ(lines, expected);
}

TEST(TapeFile, AddressesAboveTheHighestGiveZero) {
    const std::array<int32_t, 3> bytes{7, 8, 9};
    // A punch with three data bytes allows addresses up to 2.
    EXPECT_EQ(buildTapeLines(bytes, 2, 1, 4),
              (std::vector<std::string>{"128", "1", "8", "9", "0", "0"}));
    // The array's end counts too, whatever the highest address says.
    EXPECT_EQ(buildTapeLines(bytes, 255, 2, 3), (std::vector<std::string>{"128", "2", "9", "0"}));
}

TEST(TapeFile, SingleAddressAndReversedRange) {
    const auto words = numbered();
    EXPECT_EQ(buildTapeLines(words, 255, 10, 10).size(), 3u);
    EXPECT_EQ(buildTapeLines(words, 255, 12, 10), (std::vector<std::string>{"128", "12"}));
}

TEST(TapeFile, FullMemoryFitsTheLongestTape) {
    const auto words = numbered();
    const auto lines = buildTapeLines(words, 255, 0, 255);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kTapeMaxLines));
    const TapeContents t = parseTapeLines(lines);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.start, 0);
    ASSERT_EQ(t.data.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t.data[static_cast<size_t>(i)], words[static_cast<size_t>(i)]);
}

TEST(TapeFile, ParseRejectsWhatNoTapeHolds) {
    EXPECT_FALSE(parseTapeLines({}).ok);
    EXPECT_FALSE(parseTapeLines({"128"}).ok);
    EXPECT_FALSE(parseTapeLines({"127", "0", "1"}).ok);
    EXPECT_FALSE(parseTapeLines({"128", "0", "256"}).ok);
    EXPECT_FALSE(parseTapeLines({"128", "0", "x"}).ok);
    EXPECT_FALSE(parseTapeLines(std::vector<std::string>(259, "128")).ok);
    EXPECT_TRUE(parseTapeLines({"128", "5"}).ok);
}

TEST(TapeFile, WrittenFileReadsBackThroughTheContainer) {
    const auto dir = std::filesystem::temp_directory_path() / "mira8_tape_test";
    std::filesystem::create_directories(dir);
    const auto path = dir / "prog.ptp";
    const auto words = numbered();
    ASSERT_TRUE(writeTapeFile(path, buildTapeLines(words, 255, 16, 20)));
    const ContainerRead r = readContainerFile(path);
    ASSERT_TRUE(r.ok);
    const TapeContents t = parseTapeLines(r.lines);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.start, 16);
    EXPECT_EQ(t.data, (std::vector<int>{words[16], words[17], words[18], words[19], words[20]}));
    std::filesystem::remove_all(dir);
}

TEST(TapeFile, WriteIntoMissingDirectoryFails) {
    EXPECT_FALSE(writeTapeFile("/nonexistent-dir/for/sure/x.ptp", {"128", "0"}));
}

}  // namespace
}  // namespace mira::core
