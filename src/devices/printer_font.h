// The printer's 64-character set (the 6-bit subset of ASCII), its 5 x 7 dot font and the
// picture of one printed line as the print head leaves it on the paper.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mira::devices {

inline constexpr int kPrinterCodes = 64;
inline constexpr int kPrinterLineChars = 20;
inline constexpr int kGlyphRows = 7;
inline constexpr int kGlyphColumns = 5;

// Codes 0..31 are "@", A..Z and "[\]^_" (ASCII 64..95); 32..63 are ASCII 32..63 themselves.
char printerChar(int code);
// The code of a character of the set, -1 for any other (lower case included).
int printerCode(char c);

// Row r (top first) of the code's glyph: 5 bits, bit 4 the leftmost dot.
uint8_t glyphRow(int code, int row);

// An 8-bit grey picture, 0 black .. 255 white, rows top first, no padding.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    GrayImage() = default;
    GrayImage(int w, int h, uint8_t fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint8_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// The head prints a line into a strip of this size; the paper and the host printer shrink it.
inline constexpr int kLinePictureWidth = 560;
inline constexpr int kLinePictureHeight = 30;

// The line picture of up to 20 codes (a code outside 0..63 prints as a space): each
// character in a 20-pixel cell, its dots 2 x 2 pixels black at a pitch of 3.
GrayImage renderLinePicture(const std::array<int, kPrinterLineChars>& codes);

}  // namespace mira::devices
