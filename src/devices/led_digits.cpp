#include "led_digits.h"

#include <cctype>
#include <cstdio>

namespace mira::devices {

std::string octalCells(int value, int format) {
    if (value < 0) return std::string(kOctalCells, kBlankCell);
    value &= 0xFF;
    if (format == kOctal737) {
        // Split octal: the top three bits, the middle two, the low three.
        return {static_cast<char>('0' + ((value >> 5) & 7)),
                static_cast<char>('0' + ((value >> 3) & 3)),
                static_cast<char>('0' + (value & 7))};
    }
    std::string cells = {static_cast<char>('0' + ((value >> 6) & 7)),
                         static_cast<char>('0' + ((value >> 3) & 7)),
                         static_cast<char>('0' + (value & 7))};
    // Leading zeros stay dark, so 0 shows no lit digit at all.
    for (char& c : cells) {
        if (c != '0') break;
        c = kBlankCell;
    }
    return cells;
}

namespace {

// `number` right-aligned in `width` cells, blank cells in front.
std::string rightAligned(int number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) > width) digits = digits.substr(digits.size() - width);
    return std::string(width - digits.size(), kBlankCell) + digits;
}

}  // namespace

std::string decimalCells(int value, int format) {
    if (value < 0) return std::string(kDecimalCells, kBlankCell);
    value &= 0xFF;
    switch (format) {
    case kDecimalLeadingBlank:
        return kBlankCell + rightAligned(value, 3);
    case kDecimalLeadingZero: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%03d", value);
        return kBlankCell + std::string(buf);
    }
    case kDecimalSigned:
        if (value > 127) return '-' + rightAligned(256 - value, 3);
        return kBlankCell + rightAligned(value, 3);
    default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02X", value);
        return std::string(2, kBlankCell) + buf;
    }
    }
}

std::string ledCells(LedKind kind, int value, int format) {
    return kind == LedKind::Octal ? octalCells(value, format) : decimalCells(value, format);
}

int glyphIndex(char cell) {
    if (cell >= '0' && cell <= '9') return cell - '0';
    if (cell == '-') return kGlyphMinus;
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(cell)));
    if (up >= 'A' && up <= 'F') return kGlyphA + (up - 'A');
    return kGlyphBlank;
}

std::string deviceLabel(LedKind kind, int slot, int format) {
    std::string text = slot == 2   ? "Output Device 0"
                       : slot == 3 ? "Output Device 1"
                                   : "No Device Set";
    if (kind == LedKind::Octal) return text + (format == kOctal737 ? " (737)" : " (377)");
    static const char* const kSuffix[] = {"  (LB)", "  (LZ)", "  (SB)", "  (HX)"};
    return text + kSuffix[(format >= 0 && format <= 2) ? format : 3];
}

}  // namespace mira::devices
