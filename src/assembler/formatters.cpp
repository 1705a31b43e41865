#include "formatters.h"

#include <cstdio>

namespace mira::assembler {

std::string FormatOctal(int64_t value, int width) {
    auto v = static_cast<uint64_t>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + (v & 7)));
        v >>= 3;
    } while (v != 0);
    if (value == 0) digits.clear();
    while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
    return digits;
}

std::string FormatSplitOctal(int64_t value) {
    return FormatOctal((value >> 5) & 7, 1) + FormatOctal((value >> 3) & 3, 1) +
           FormatOctal(value & 7, 1);
}

std::string FormatBinary8(int64_t value) {
    std::string s(8, '0');
    for (int bit = 0; bit < 8; ++bit)
        if (value & (int64_t{1} << bit)) s[static_cast<size_t>(7 - bit)] = '1';
    return s;
}

std::string FormatRadix(int64_t value, int radix, bool withPrefix) {
    char buf[32];
    std::string text;
    const char* prefix = "D";
    switch (radix) {
        case kRadixHex:
            std::snprintf(buf, sizeof buf, "%02llX", static_cast<unsigned long long>(value));
            text = buf;
            prefix = "$";
            break;
        case kRadixSplitOctal:
            text = FormatSplitOctal(value);
            prefix = "E";
            break;
        case kRadixOctal:
            text = FormatOctal(value, 3);
            prefix = "0";
            break;
        default:
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
            text = buf;
            break;
    }
    return withPrefix ? prefix + text : text;
}

std::string FormatRadixSpoken(int64_t value, int radix) {
    const std::string text = FormatRadix(value, radix, true);
    return radix == kRadixOctal ? "0o" + text.substr(1) : text;
}

std::string FormatLevel(int flag) { return flag == 1 ? "HI" : "LO"; }

}  // namespace mira::assembler
