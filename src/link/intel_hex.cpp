#include "intel_hex.h"

#include <algorithm>
#include <optional>

namespace mira::link {

namespace {

std::optional<int> hexByte(std::string_view s, size_t at) {
    int v = 0;
    for (size_t i = at; i < at + 2; ++i) {
        if (i >= s.size()) return std::nullopt;
        const char c = s[i];
        v <<= 4;
        if (c >= '0' && c <= '9') v |= c - '0';
        else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
        else return std::nullopt;
    }
    return v;
}

}  // namespace

HexImage readIntelHex(std::string_view text, bool driverMode) {
    HexImage img;
    bool skipping = false;
    size_t upper = 0;  // byte address bits above 16, from an extended address record
    std::vector<int> filledBy;  // per word: the line that gave it, 0 for none
    int lineNo = 0;
    auto fail = [&](const char* message, const std::string& reason) {
        img.ok = false;
        img.words.clear();
        img.error = message;
        img.reason = reason.empty() ? std::string() : "line " + std::to_string(lineNo) + ": " + reason;
        return img;
    };
    size_t pos = 0;
    while (true) {
        ++lineNo;
        if (pos >= text.size()) return fail(kHexDataError, "the file ends without an end record");
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);

        if (line.size() < 11 || line[0] != ':') return fail(kHexDataError, "not a HEX record");
        const auto count = hexByte(line, 1);
        if (!count || line.size() != 11 + 2 * static_cast<size_t>(*count))
            return fail(kHexDataError, "the record's length does not match its byte count");
        // Every byte of the record, checksum included, must sum to 0: a damaged image
        // flashed into the board's controller could leave it unusable.
        int sum = 0;
        std::vector<int> bytes;
        for (size_t i = 1; i + 1 < line.size(); i += 2) {
            const auto b = hexByte(line, i);
            if (!b) return fail(kHexDataError, "not a hex digit");
            bytes.push_back(*b);
            sum += *b;
        }
        if ((sum & 0xFF) != 0) return fail(kHexDataError, "wrong checksum");

        const size_t address = static_cast<size_t>((bytes[1] << 8) | bytes[2]);
        const int type = bytes[3];
        const std::vector<int> data(bytes.begin() + 4, bytes.end() - 1);
        if (type == 1) break;
        if (type == 4) {
            // Configuration and EEPROM data live above 0x300000; they are not programmed.
            if (data.size() >= 2 && data[0] == 0x00 && (data[1] == 0x30 || data[1] == 0x31)) skipping = true;
            if (data.size() >= 2) upper = static_cast<size_t>((data[0] << 8) | data[1]) << 16;
            continue;
        }
        if (type == 2) {
            if (data.size() >= 2) upper = static_cast<size_t>((data[0] << 8) | data[1]) << 4;
            continue;
        }
        // Start addresses carry no data to program.
        if (type == 3 || type == 5) continue;
        if (type != 0) return fail(kHexDataError, "unknown record type " + std::to_string(type));
        if (skipping) continue;

        // A word is two bytes: a record starting in the middle of one would shift every
        // byte after it into the wrong half.
        if (address % 2 != 0) return fail(kHexDataError, "the record starts at an odd address");
        const size_t first = (upper + address) / 2;
        const size_t words = (data.size() + 1) / 2;
        if (first + words > kControllerWords)
            return fail(kHexDataError, "the record lies beyond the controller's " +
                                           std::to_string(kControllerWords) + " words of memory");
        if (img.words.size() < first) img.words.resize(first, 0xFFFF);
        if (filledBy.size() < first + words) filledBy.resize(first + words, 0);
        for (size_t w = first; w < first + words; ++w)
            if (filledBy[w] != 0)
                return fail(kHexDataError, "the record overlaps line " + std::to_string(filledBy[w]));
        size_t at = first;
        for (size_t i = 0; i < data.size(); i += 2, ++at) {
            const int lo = data[i];
            const int hi = i + 1 < data.size() ? data[i + 1] : 0xFF;
            const auto word = static_cast<uint16_t>((hi << 8) | lo);
            if (driverMode && at == 0 && word == 0) return fail(kHexTestMode, "");
            filledBy[at] = lineNo;
            if (at < img.words.size()) img.words[at] = word;
            else img.words.push_back(word);
        }
    }
    img.ok = true;
    return img;
}

std::vector<uint16_t> firmwareTransferWords(const std::vector<uint16_t>& image, bool bootCode) {
    std::vector<uint16_t> w;
    const size_t split = kBootCodeWords;
    if (bootCode)
        w.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(std::min(split, image.size())));
    else if (image.size() > split)
        w.assign(image.begin() + static_cast<std::ptrdiff_t>(split), image.end());
    while (!w.empty() && w.back() == 0xFFFF) w.pop_back();
    while (!w.empty() && w.size() % kFirmwareBlockWords != 0) w.push_back(0xFFFF);
    return w;
}

}  // namespace mira::link
