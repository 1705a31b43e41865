#include "literals.h"

#include <array>
#include <cstdint>

namespace mira::assembler {

namespace {

inline constexpr int64_t kLimit = 65536;         // non-negative numbers lie below this
inline constexpr int kMaxNegativeMagnitude = 128;  // -1..-128 read as 8-bit two's complement

int digitValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

// Reads digits in `base`; '.' is a 0 bit in binary. Stops counting once past the limit
// so that long digit strings cannot overflow.
std::optional<int64_t> readDigits(std::string_view digits, int base) {
    int64_t value = 0;
    for (char ch : digits) {
        int d = (base == 2 && ch == '.') ? 0 : digitValue(ch);
        if (d < 0 || d >= base) return std::nullopt;
        if (value < kLimit) value = value * base + d;
    }
    return value;
}

// "737" split octal: up to three digits, left-padded with 0.
std::optional<int64_t> readSplitOctal(std::string_view digits) {
    if (digits.size() > 3) return std::nullopt;
    char d[3] = {'0', '0', '0'};
    for (size_t i = 0; i < digits.size(); ++i) d[3 - digits.size() + i] = digits[i];
    if (d[0] < '0' || d[0] > '7' || d[1] < '0' || d[1] > '3') return std::nullopt;
    int64_t value = (d[0] - '0') * 32 + (d[1] - '0') * 8;
    // The last digit only counts when it is an octal digit; anything else is ignored.
    if (d[2] >= '0' && d[2] <= '7') value += d[2] - '0';
    return value;
}

struct NoteName {
    std::string_view name;
    int index;
};
inline constexpr std::array<NoteName, 13> kNotes{{{"X", 0},
                                                  {"C#", 1},
                                                  {"D", 2},
                                                  {"D#", 3},
                                                  {"E", 4},
                                                  {"F", 5},
                                                  {"F#", 6},
                                                  {"G", 7},
                                                  {"G#", 8},
                                                  {"A", 9},
                                                  {"A#", 10},
                                                  {"B", 11},
                                                  {"C", 12}}};

}  // namespace

int printerCode(char ch) {
    const int code = static_cast<unsigned char>(ch);
    if (code >= 64 && code <= 95) return code - 64;  // "@", A-Z, [ \ ] ^ _
    if (code >= 32 && code <= 63) return code;       // blank to "?"
    return -1;
}

int noteIndex(std::string_view name) {
    for (const auto& n : kNotes)
        if (n.name == name) return n.index;
    return -1;
}

std::optional<int> parseNumber(std::string_view token) {
    if (token.size() < 2 || token[0] != '#') return std::nullopt;
    const char kind = token[1];
    std::string_view rest = token.substr(2);

    if (kind == '"') {
        // #"c": one character and the closing quote
        if (rest.size() != 2 || rest[1] != '"') return std::nullopt;
        const int code = static_cast<unsigned char>(rest[0]);
        if (code >= 128) return std::nullopt;
        return code;
    }
    if (kind == 'P' || kind == 'p') {
        if (rest.size() != 3 || rest[0] != '"' || rest[2] != '"') return std::nullopt;
        const int code = printerCode(rest[1]);
        if (code < 0) return std::nullopt;
        return code;
    }
    if (kind == 'N' || kind == 'n') {
        if (rest.size() < 3) return std::nullopt;
        const int octave = rest[0] - '0';
        const int duration = rest[1] - '0';
        if (octave < 0 || octave > 3 || duration < 0 || duration > 3) return std::nullopt;
        const int note = noteIndex(rest.substr(2));
        if (note < 0) return std::nullopt;
        return octave * 64 + duration * 16 + note;
    }

    int base = 0;
    switch (kind) {
        case 'D': case 'd': base = 10; break;
        case '$': base = 16; break;
        case 'B': case 'b': base = 2; break;
        case '0': base = 8; break;
        case 'E': case 'e': base = -1; break;  // split octal
        default: return std::nullopt;
    }
    bool negative = false;
    if (!rest.empty() && rest[0] == '-') {
        negative = true;
        rest.remove_prefix(1);
    }
    std::optional<int64_t> value;
    if (rest.empty()) {
        // Octal and split octal read an empty digit string as 0; the others need digits.
        if (base == 8 || base == -1) value = 0;
    } else {
        value = base == -1 ? readSplitOctal(rest) : readDigits(rest, base);
    }
    if (!value) return std::nullopt;
    if (negative && *value != 0) {
        if (*value > kMaxNegativeMagnitude) return std::nullopt;
        return static_cast<int>(256 - *value);
    }
    if (*value >= kLimit) return std::nullopt;
    return static_cast<int>(*value);
}

bool isNonNegativeNumber(std::string_view token) {
    const auto value = parseNumber(token);
    if (!value) return false;
    const char kind = token[1];
    const bool signedKind = kind == 'D' || kind == 'd' || kind == '$' || kind == 'B' ||
                            kind == 'b' || kind == '0' || kind == 'E' || kind == 'e';
    return !(signedKind && token.size() > 2 && token[2] == '-' && *value != 0);
}

}  // namespace mira::assembler
