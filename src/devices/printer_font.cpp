#include "printer_font.h"

namespace mira::devices {

namespace {

constexpr int kCellWidth = 20;
constexpr int kDotPitch = 3;
constexpr int kDotSize = 2;
constexpr uint8_t kInk = 0;
constexpr uint8_t kPaper = 255;

// A conventional 5 x 7 upper-case face, indexed by printer code; A has a pointed top and
// the zero a diagonal stroke, which tells it from O on the paper.
constexpr std::array<std::array<uint8_t, kGlyphRows>, kPrinterCodes> kGlyphs{{
    {14, 17, 1, 13, 21, 21, 14},   // @
    {4, 10, 17, 31, 17, 17, 17},   // A
    {30, 17, 17, 30, 17, 17, 30},  // B
    {14, 17, 16, 16, 16, 17, 14},  // C
    {28, 18, 17, 17, 17, 18, 28},  // D
    {31, 16, 16, 30, 16, 16, 31},  // E
    {31, 16, 16, 30, 16, 16, 16},  // F
    {14, 17, 16, 23, 17, 17, 15},  // G
    {17, 17, 17, 31, 17, 17, 17},  // H
    {14, 4, 4, 4, 4, 4, 14},       // I
    {7, 2, 2, 2, 2, 18, 12},       // J
    {17, 18, 20, 24, 20, 18, 17},  // K
    {16, 16, 16, 16, 16, 16, 31},  // L
    {17, 27, 21, 21, 17, 17, 17},  // M
    {17, 17, 25, 21, 19, 17, 17},  // N
    {14, 17, 17, 17, 17, 17, 14},  // O
    {30, 17, 17, 30, 16, 16, 16},  // P
    {14, 17, 17, 17, 21, 18, 13},  // Q
    {30, 17, 17, 30, 20, 18, 17},  // R
    {15, 16, 16, 14, 1, 1, 30},    // S
    {31, 4, 4, 4, 4, 4, 4},        // T
    {17, 17, 17, 17, 17, 17, 14},  // U
    {17, 17, 17, 17, 17, 10, 4},   // V
    {17, 17, 17, 21, 21, 21, 10},  // W
    {17, 17, 10, 4, 10, 17, 17},   // X
    {17, 17, 17, 10, 4, 4, 4},     // Y
    {31, 1, 2, 4, 8, 16, 31},      // Z
    {14, 8, 8, 8, 8, 8, 14},       // [
    {0, 16, 8, 4, 2, 1, 0},        // backslash
    {14, 2, 2, 2, 2, 2, 14},       // ]
    {4, 10, 17, 0, 0, 0, 0},       // ^
    {0, 0, 0, 0, 0, 0, 31},        // _
    {0, 0, 0, 0, 0, 0, 0},         // space
    {4, 4, 4, 4, 4, 0, 4},         // !
    {10, 10, 10, 0, 0, 0, 0},      // "
    {10, 10, 31, 10, 31, 10, 10},  // #
    {4, 15, 20, 14, 5, 30, 4},     // $
    {24, 25, 2, 4, 8, 19, 3},      // %
    {12, 18, 20, 8, 21, 18, 13},   // &
    {12, 4, 8, 0, 0, 0, 0},        // '
    {2, 4, 8, 8, 8, 4, 2},         // (
    {8, 4, 2, 2, 2, 4, 8},         // )
    {0, 4, 21, 14, 21, 4, 0},      // *
    {0, 4, 4, 31, 4, 4, 0},        // +
    {0, 0, 0, 0, 12, 4, 8},        // ,
    {0, 0, 0, 31, 0, 0, 0},        // -
    {0, 0, 0, 0, 0, 12, 12},       // .
    {0, 1, 2, 4, 8, 16, 0},        // /
    {14, 17, 19, 21, 25, 17, 14},  // 0
    {4, 12, 4, 4, 4, 4, 14},       // 1
    {14, 17, 1, 2, 4, 8, 31},      // 2
    {31, 2, 4, 2, 1, 17, 14},      // 3
    {2, 6, 10, 18, 31, 2, 2},      // 4
    {31, 16, 30, 1, 1, 17, 14},    // 5
    {6, 8, 16, 30, 17, 17, 14},    // 6
    {31, 1, 2, 4, 8, 8, 8},        // 7
    {14, 17, 17, 14, 17, 17, 14},  // 8
    {14, 17, 17, 15, 1, 2, 12},    // 9
    {0, 12, 12, 0, 12, 12, 0},     // :
    {0, 12, 12, 0, 12, 4, 8},      // ;
    {2, 4, 8, 16, 8, 4, 2},        // <
    {0, 0, 31, 0, 31, 0, 0},       // =
    {8, 4, 2, 1, 2, 4, 8},         // >
    {14, 17, 1, 2, 4, 0, 4},       // ?
}};

}  // namespace

char printerChar(int code) {
    code &= kPrinterCodes - 1;
    return static_cast<char>(code < 32 ? code + 64 : code);
}

int printerCode(char c) {
    const int v = static_cast<unsigned char>(c);
    if (v >= 64 && v <= 95) return v - 64;
    if (v >= 32 && v <= 63) return v;
    return -1;
}

uint8_t glyphRow(int code, int row) {
    if (code < 0 || code >= kPrinterCodes || row < 0 || row >= kGlyphRows) return 0;
    return kGlyphs[size_t(code)][size_t(row)];
}

GrayImage renderLinePicture(const std::array<int, kPrinterLineChars>& codes) {
    GrayImage img(kLinePictureWidth, kLinePictureHeight, kPaper);
    for (int i = 0; i < kPrinterLineChars; ++i) {
        const int code = codes[size_t(i)];
        for (int r = 0; r < kGlyphRows; ++r) {
            const uint8_t bits = glyphRow(code, r);
            for (int k = 0; k < kGlyphColumns; ++k) {
                if (!(bits & (0x10 >> k))) continue;
                const int x0 = kCellWidth * i + kDotPitch * k;
                const int y0 = kDotPitch * r;
                for (int dy = 0; dy < kDotSize; ++dy)
                    for (int dx = 0; dx < kDotSize; ++dx) img.at(x0 + dx, y0 + dy) = kInk;
            }
        }
    }
    return img;
}

}  // namespace mira::devices
