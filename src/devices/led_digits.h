// What the LED displays show: one character per digit cell for a byte in each display
// format, the glyph each character takes from a strip, and the binding label.
#pragma once

#include <string>

namespace mira::devices {

enum class LedKind { Octal, Decimal };

// Display formats. Octal: 0 "377", 1 "737". Decimal: 0 LB, 1 LZ, 2 SB, 3 HX.
inline constexpr int kOctal377 = 0;
inline constexpr int kOctal737 = 1;
inline constexpr int kDecimalLeadingBlank = 0;
inline constexpr int kDecimalLeadingZero = 1;
inline constexpr int kDecimalSigned = 2;
inline constexpr int kDecimalHex = 3;

inline constexpr int kOctalCells = 3;
inline constexpr int kDecimalCells = 4;
inline int cellCount(LedKind kind) { return kind == LedKind::Octal ? kOctalCells : kDecimalCells; }

// Cells of the strip: 0..9 digits, then blank, minus, A..F.
inline constexpr char kBlankCell = ' ';
inline constexpr int kGlyphBlank = 10;
inline constexpr int kGlyphMinus = 11;
inline constexpr int kGlyphA = 12;
inline constexpr int kGlyphCount = 18;

// One character per cell: '0'..'9', 'A'..'F', '-' or kBlankCell. A format number the
// options cannot produce is shown as the options dialog would select it: octal anything
// but 737 as 377, decimal anything above SB as HX.
std::string octalCells(int value, int format);
std::string decimalCells(int value, int format);
std::string ledCells(LedKind kind, int value, int format);

// Glyph index of a cell character; letters in either case.
int glyphIndex(char cell);

// "Output Device 0 (377)", "No Device Set  (LB)" …
std::string deviceLabel(LedKind kind, int slot, int format);

}  // namespace mira::devices
