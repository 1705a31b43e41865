// The printer's character set and dot font, and the line picture the head leaves.
#include <gtest/gtest.h>

#include <set>

#include "devices/printer_font.h"

namespace mira::devices {
namespace {

TEST(PrinterFont, CharacterSetIsTheSixBitSubsetOfAscii) {
    EXPECT_EQ(printerChar(0), '@');
    EXPECT_EQ(printerChar(1), 'A');
    EXPECT_EQ(printerChar(26), 'Z');
    EXPECT_EQ(printerChar(28), '\\');
    EXPECT_EQ(printerChar(31), '_');
    EXPECT_EQ(printerChar(32), ' ');
    EXPECT_EQ(printerChar(48), '0');
    EXPECT_EQ(printerChar(63), '?');
    for (int c = 0; c < kPrinterCodes; ++c) EXPECT_EQ(printerCode(printerChar(c)), c) << c;
    EXPECT_EQ(printerCode('a'), -1);
    EXPECT_EQ(printerCode('`'), -1);
    EXPECT_EQ(printerCode('~'), -1);
    EXPECT_EQ(printerCode('\n'), -1);
}

TEST(PrinterFont, GivenGlyphsAndAFullFont) {
    const uint8_t a[] = {4, 10, 17, 31, 17, 17, 17};
    const uint8_t zero[] = {14, 17, 19, 21, 25, 17, 14};
    for (int r = 0; r < kGlyphRows; ++r) {
        EXPECT_EQ(glyphRow(printerCode('A'), r), a[r]);
        EXPECT_EQ(glyphRow(printerCode('0'), r), zero[r]);
        EXPECT_EQ(glyphRow(printerCode(' '), r), 0);
    }
    // Every other character has ink, fits five dots and differs from every other glyph.
    std::set<std::vector<uint8_t>> seen;
    for (int c = 0; c < kPrinterCodes; ++c) {
        std::vector<uint8_t> rows;
        int ink = 0;
        for (int r = 0; r < kGlyphRows; ++r) {
            rows.push_back(glyphRow(c, r));
            EXPECT_LT(glyphRow(c, r), 32) << printerChar(c);
            ink += glyphRow(c, r);
        }
        if (c != 32) {
            EXPECT_GT(ink, 0) << printerChar(c);
        }
        EXPECT_TRUE(seen.insert(rows).second) << "duplicate glyph " << printerChar(c);
    }
}

TEST(PrinterFont, LinePictureDotsAtThreePixelPitch) {
    std::array<int, kPrinterLineChars> codes;
    codes.fill(32);
    codes[0] = printerCode('A');
    codes[19] = printerCode('0');
    const GrayImage img = renderLinePicture(codes);
    ASSERT_EQ(img.width, 560);
    ASSERT_EQ(img.height, 30);
    // A's top dot is column 2 of row 0: x 6..7, y 0..1; the gap at x 8 stays white.
    EXPECT_EQ(img.at(6, 0), 0);
    EXPECT_EQ(img.at(7, 1), 0);
    EXPECT_EQ(img.at(8, 0), 255);
    EXPECT_EQ(img.at(6, 2), 255);
    EXPECT_EQ(img.at(5, 0), 255);
    // Row 3 of A is all five dots: x 0,3,6,9,12 at y 9.
    for (int k = 0; k < 5; ++k) EXPECT_EQ(img.at(3 * k, 9), 0) << k;
    // Character 19 starts at x 380: the zero's row 2 is 10011.
    EXPECT_EQ(img.at(380, 6), 0);
    EXPECT_EQ(img.at(383, 6), 255);
    EXPECT_EQ(img.at(389, 7), 0);
    EXPECT_EQ(img.at(393, 7), 0);
    // Ink only in 20 dot rows and 20 cells.
    int ink = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y) == 0) {
                ++ink;
                EXPECT_LT(y, 20);
                EXPECT_LT(x, 400);
            }
    int dots = 0;
    for (int r = 0; r < 7; ++r)
        dots += __builtin_popcount(glyphRow(codes[0], r)) + __builtin_popcount(glyphRow(codes[19], r));
    EXPECT_EQ(ink, dots * 4);
}

}  // namespace
}  // namespace mira::devices
