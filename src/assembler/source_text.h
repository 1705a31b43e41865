// A source file's bytes as the editor shows them: UTF-8 when they are valid UTF-8, else
// each byte a Latin-1 character; CR LF, CR and LF all end a line.
#pragma once

#include <string>
#include <string_view>

namespace mira::assembler {

struct SourceText {
    std::string text;    // UTF-8 with LF line ends; a final line end is dropped
    bool utf8 = true;    // the bytes were UTF-8 (a save writes them back that way)
    bool crlf = false;   // the bytes held CR LF (a save keeps that line end)
};

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// A UTF-8 byte order mark at the start is dropped, as the editor's decoder does.
SourceText decodeSourceText(std::string_view bytes);

}  // namespace mira::assembler
