#include "core/eeprom_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/scrambled_file.h"

namespace mira::core {
namespace {

std::vector<std::string> lines32() {
    std::vector<std::string> lines;
    for (int i = 0; i < kEepromSize; ++i) lines.push_back(std::to_string(i * 3));
    return lines;
}

TEST(EepromFile, ThirtyTwoLinesSetEveryCell) {
    std::array<uint8_t, kEepromSize> cells{};
    cells.fill(9);
    ASSERT_TRUE(applyEepromLines(lines32(), cells));
    for (int i = 0; i < kEepromSize; ++i) EXPECT_EQ(cells[static_cast<size_t>(i)], i * 3);
}

TEST(EepromFile, ThirtyOneLinesLeaveTheCellsAlone) {
    auto lines = lines32();
    lines.pop_back();
    std::array<uint8_t, kEepromSize> cells{};
    cells.fill(9);
    EXPECT_FALSE(applyEepromLines(lines, cells));
    for (uint8_t v : cells) EXPECT_EQ(v, 9);
    lines.push_back("1");
    lines.push_back("2");
    EXPECT_FALSE(applyEepromLines(lines, cells));
    EXPECT_EQ(cells[0], 9);
}

TEST(EepromFile, ABadLineIsTheErasedValue) {
    auto lines = lines32();
    lines[4] = "x";
    lines[5] = "300";  // no byte: erased as well
    lines[6] = "-1";
    lines[7] = "";
    std::array<uint8_t, kEepromSize> cells{};
    ASSERT_TRUE(applyEepromLines(lines, cells));
    EXPECT_EQ(cells[3], 9);
    EXPECT_EQ(cells[4], 255);
    EXPECT_EQ(cells[5], 255);
    EXPECT_EQ(cells[6], 255);
    EXPECT_EQ(cells[7], 255);
    EXPECT_EQ(cells[8], 24);
}

TEST(EepromFile, SaveAndLoadRoundTrip) {
    const auto dir = std::filesystem::temp_directory_path() / "mira8_eeprom_test";
    std::filesystem::create_directories(dir);
    const auto path = dir / kEepromFileName;
    std::array<uint8_t, kEepromSize> out{};
    for (int i = 0; i < kEepromSize; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(saveEepromFile(path, out));
    const ContainerRead r = readContainerFile(path);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines.size(), 32u);
    EXPECT_EQ(r.lines[1], "254");
    std::array<uint8_t, kEepromSize> in{};
    ASSERT_TRUE(loadEepromFile(path, in));
    EXPECT_EQ(in, out);
    std::filesystem::remove_all(dir);
}

TEST(EepromFile, MissingOrGarbageFileLeavesCells) {
    const auto dir = std::filesystem::temp_directory_path() / "mira8_eeprom_bad";
    std::filesystem::create_directories(dir);
    std::array<uint8_t, kEepromSize> cells{};
    cells.fill(1);
    EXPECT_FALSE(loadEepromFile(dir / "none.dat", cells));
    {
        std::FILE* f = std::fopen((dir / "bad.dat").c_str(), "wb");
        std::fputs("999999999999\rabc", f);
        std::fclose(f);
    }
    EXPECT_FALSE(loadEepromFile(dir / "bad.dat", cells));
    for (uint8_t v : cells) EXPECT_EQ(v, 1);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace mira::core
