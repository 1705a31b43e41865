#include "source_text.h"

#include <cstdint>

namespace mira::assembler {

bool isValidUtf8(std::string_view bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const auto b0 = static_cast<uint8_t>(bytes[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        uint32_t cp = 0;
        uint32_t least = 0;
        if ((b0 & 0xE0) == 0xC0) {
            length = 2, cp = b0 & 0x1F, least = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            length = 3, cp = b0 & 0x0F, least = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            length = 4, cp = b0 & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (n - i < static_cast<size_t>(length)) return false;
        for (int k = 1; k < length; ++k) {
            const auto b = static_cast<uint8_t>(bytes[i + static_cast<size_t>(k)]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<size_t>(length);
    }
    return true;
}

SourceText decodeSourceText(std::string_view bytes) {
    SourceText out;
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    out.utf8 = isValidUtf8(bytes);
    if (out.utf8 && bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
    out.text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char ch = bytes[i];
        if (ch == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                out.crlf = true;
                ++i;
            }
            out.text += '\n';
        } else if (out.utf8 || static_cast<uint8_t>(ch) < 0x80) {
            out.text += ch;
        } else {
            // Latin-1 byte 0x80..0xFF as its two-byte UTF-8 form.
            const auto b = static_cast<uint8_t>(ch);
            out.text += static_cast<char>(0xC0 | (b >> 6));
            out.text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    // A final line end closes the last line; it does not open another.
    if (!out.text.empty() && out.text.back() == '\n') out.text.pop_back();
    return out;
}

}  // namespace mira::assembler
