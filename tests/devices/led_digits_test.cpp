// Digit texts of both LED displays for every format, glyph choice and the label.
#include <gtest/gtest.h>

#include "devices/led_digits.h"

namespace mira::devices {
namespace {

struct Case {
    int value;
    int format;
    const char* cells;
};

TEST(LedDigits, Octal377BlanksLeadingZeros) {
    const Case cases[] = {
        {0, kOctal377, "   "},   {1, kOctal377, "  1"},   {8, kOctal377, " 10"},
        {64, kOctal377, "100"},  {255, kOctal377, "377"}, {7, kOctal377, "  7"},
        {65, kOctal377, "101"},  {200, kOctal377, "310"},
    };
    for (const Case& c : cases) EXPECT_EQ(octalCells(c.value, c.format), c.cells) << c.value;
}

TEST(LedDigits, Octal737SplitsTopThreeMiddleTwoLowThree) {
    const Case cases[] = {
        {0, kOctal737, "000"},  {255, kOctal737, "737"}, {8, kOctal737, "010"},
        {32, kOctal737, "100"}, {24, kOctal737, "030"},  {7, kOctal737, "007"},
        {0xB5, kOctal737, "525"},
    };
    for (const Case& c : cases) EXPECT_EQ(octalCells(c.value, c.format), c.cells) << c.value;
}

TEST(LedDigits, NegativeValueIsAllBlank) {
    EXPECT_EQ(octalCells(-1, kOctal377), "   ");
    EXPECT_EQ(octalCells(-5, kOctal737), "   ");
    for (int f = 0; f < 4; ++f) EXPECT_EQ(decimalCells(-1, f), "    ");
}

TEST(LedDigits, DecimalLeadingBlank) {
    EXPECT_EQ(decimalCells(5, kDecimalLeadingBlank), "   5");
    EXPECT_EQ(decimalCells(0, kDecimalLeadingBlank), "   0");
    EXPECT_EQ(decimalCells(42, kDecimalLeadingBlank), "  42");
    EXPECT_EQ(decimalCells(255, kDecimalLeadingBlank), " 255");
}

TEST(LedDigits, DecimalLeadingZero) {
    EXPECT_EQ(decimalCells(5, kDecimalLeadingZero), " 005");
    EXPECT_EQ(decimalCells(0, kDecimalLeadingZero), " 000");
    EXPECT_EQ(decimalCells(99, kDecimalLeadingZero), " 099");
    EXPECT_EQ(decimalCells(200, kDecimalLeadingZero), " 200");
}

TEST(LedDigits, DecimalSignedByte) {
    EXPECT_EQ(decimalCells(127, kDecimalSigned), " 127");
    EXPECT_EQ(decimalCells(128, kDecimalSigned), "-128");
    EXPECT_EQ(decimalCells(255, kDecimalSigned), "-  1");
    EXPECT_EQ(decimalCells(246, kDecimalSigned), "- 10");
    EXPECT_EQ(decimalCells(0, kDecimalSigned), "   0");
}

TEST(LedDigits, DecimalHexTwoUpperCaseDigits) {
    EXPECT_EQ(decimalCells(0, kDecimalHex), "  00");
    EXPECT_EQ(decimalCells(10, kDecimalHex), "  0A");
    EXPECT_EQ(decimalCells(255, kDecimalHex), "  FF");
    EXPECT_EQ(decimalCells(0xB3, kDecimalHex), "  B3");
}

// A restored format the options cannot give is shown the way the options dialog would
// select it.
TEST(LedDigits, UnknownFormatsFollowTheOptionsDialog) {
    EXPECT_EQ(octalCells(8, 5), " 10");
    EXPECT_EQ(octalCells(8, -1), " 10");
    EXPECT_EQ(decimalCells(10, 9), "  0A");
    EXPECT_EQ(decimalCells(10, -3), "  0A");
    EXPECT_EQ(deviceLabel(LedKind::Octal, 2, 5), "Output Device 0 (377)");
    EXPECT_EQ(deviceLabel(LedKind::Decimal, 2, 9), "Output Device 0  (HX)");
}

TEST(LedDigits, OnlyTheLowByteIsShown) {
    EXPECT_EQ(octalCells(256 + 8, kOctal377), " 10");
    EXPECT_EQ(decimalCells(256 + 5, kDecimalLeadingBlank), "   5");
}

TEST(LedDigits, GlyphIndexOfEachCell) {
    for (char c = '0'; c <= '9'; ++c) EXPECT_EQ(glyphIndex(c), c - '0');
    EXPECT_EQ(glyphIndex(kBlankCell), kGlyphBlank);
    EXPECT_EQ(glyphIndex('-'), kGlyphMinus);
    EXPECT_EQ(glyphIndex('A'), 12);
    EXPECT_EQ(glyphIndex('f'), 17);
    EXPECT_EQ(glyphIndex('F'), 17);
    EXPECT_EQ(glyphIndex('G'), kGlyphBlank);
}

TEST(LedDigits, LabelNamesSlotAndFormat) {
    EXPECT_EQ(deviceLabel(LedKind::Octal, 3, kOctal737), "Output Device 1 (737)");
    EXPECT_EQ(deviceLabel(LedKind::Octal, 2, kOctal377), "Output Device 0 (377)");
    EXPECT_EQ(deviceLabel(LedKind::Octal, -1, kOctal377), "No Device Set (377)");
    EXPECT_EQ(deviceLabel(LedKind::Decimal, 2, kDecimalLeadingBlank), "Output Device 0  (LB)");
    EXPECT_EQ(deviceLabel(LedKind::Decimal, 3, kDecimalLeadingZero), "Output Device 1  (LZ)");
    EXPECT_EQ(deviceLabel(LedKind::Decimal, 0, kDecimalSigned), "No Device Set  (SB)");
    EXPECT_EQ(deviceLabel(LedKind::Decimal, 3, kDecimalHex), "Output Device 1  (HX)");
}

TEST(LedDigits, CellCountsMatchTheDisplays) {
    EXPECT_EQ(ledCells(LedKind::Octal, 255, 0).size(), 3u);
    EXPECT_EQ(ledCells(LedKind::Decimal, 255, 0).size(), 4u);
    EXPECT_EQ(ledCells(LedKind::Decimal, 255, 2), "-  1");
}

}  // namespace
}  // namespace mira::devices
