// libFuzzer target over the editor's file-open step: any bytes become text in one of two
// encodings, with no CR left, and without CRs the text is the bytes themselves (UTF-8), or
// each byte as its Latin-1 character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "assembler/source_text.h"

using namespace mira;

namespace {
std::string latin1Bytes(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            const auto next = static_cast<uint8_t>(utf8[++i]);
            out += static_cast<char>(((b & 0x03) << 6) | (next & 0x3F));
        }
    }
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const assembler::SourceText source = assembler::decodeSourceText(bytes);
    if (!assembler::isValidUtf8(source.text)) std::abort();
    if (source.text.find('\r') != std::string::npos) std::abort();
    if (bytes.find('\r') == std::string_view::npos) {
        std::string_view expected = bytes;
        if (source.utf8 && expected.substr(0, 3) == "\xEF\xBB\xBF") expected.remove_prefix(3);
        if (!expected.empty() && expected.back() == '\n') expected.remove_suffix(1);
        const std::string back = source.utf8 ? source.text : latin1Bytes(source.text);
        if (back != expected) std::abort();
    }
    return 0;
}
