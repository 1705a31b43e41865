// The alpha display's character set: a 5 x 7 dot font for the printable ASCII codes.
#pragma once

#include <array>
#include <cstdint>

namespace mira::devices {

inline constexpr int kAlphaFirstChar = 32;
inline constexpr int kAlphaLastChar = 126;
inline constexpr int kAlphaGlyphCount = kAlphaLastChar - kAlphaFirstChar + 1;
inline constexpr int kAlphaGlyphRows = 7;
inline constexpr int kAlphaGlyphColumns = 5;

// Seven rows, top first; bit 4 is the leftmost dot.
using AlphaGlyph = std::array<uint8_t, kAlphaGlyphRows>;

// The glyph of a code; anything outside 32..126 gets the space.
const AlphaGlyph& alphaGlyph(int code);
// Whether dot (column, row) of a code's glyph is lit.
inline bool alphaDot(int code, int column, int row) {
    return (alphaGlyph(code)[row] >> (kAlphaGlyphColumns - 1 - column)) & 1;
}

}  // namespace mira::devices
