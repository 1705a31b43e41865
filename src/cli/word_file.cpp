#include "word_file.h"

#include <charconv>
#include <cstdio>

namespace mira::cli {

std::optional<int64_t> parseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'o' || text[1] == 'O')) {
        base = 8;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

WordFileResult parseWordFile(std::string_view text, int memorySize, int32_t maxWord) {
    WordFileResult r;
    int line = 1;
    int64_t address = 0;
    size_t i = 0;
    auto fail = [&](std::string message) {
        r.ok = false;
        r.errorLine = line;
        r.error = std::move(message);
        r.words.clear();
        return r;
    };
    while (i < text.size()) {
        const char ch = text[i];
        // LF, CR LF and CR each end a line, as in every text the emulator reads.
        if (ch == '\n' || ch == '\r') {
            ++line;
            ++i;
            if (ch == '\r' && i < text.size() && text[i] == '\n') ++i;
            continue;
        }
        if (ch == ' ' || ch == '\t') {
            ++i;
            continue;
        }
        if (ch == '#') {
            while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
            continue;
        }
        const size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' &&
               text[i] != '\n' && text[i] != '#')
            ++i;
        const std::string_view token = text.substr(start, i - start);
        if (token[0] == '@') {
            const auto n = parseNumber(token.substr(1));
            if (!n) return fail("bad address '" + std::string(token) + "'");
            if (*n < 0 || *n >= memorySize)
                return fail("address " + std::to_string(*n) + " is past the memory (size " +
                            std::to_string(memorySize) + ")");
            address = *n;
            continue;
        }
        const auto n = parseNumber(token);
        if (!n) return fail("bad word '" + std::string(token) + "'");
        if (*n < 0 || *n > maxWord)
            return fail("word " + std::string(token) + " does not fit in " +
                        (maxWord > 255 ? "16" : "8") + " bits");
        if (address >= memorySize)
            return fail("address " + std::to_string(address) + " is past the memory (size " +
                        std::to_string(memorySize) + ")");
        r.words.push_back({static_cast<int>(address), static_cast<int32_t>(*n)});
        ++address;
    }
    r.ok = true;
    return r;
}

std::string formatWordFile(const std::vector<WordFileEntry>& words, bool hex16) {
    std::string out;
    int expected = 0;
    char buf[32];
    int onLine = 0;
    for (const auto& w : words) {
        if (w.address != expected) {
            if (onLine) out += '\n';
            out += "@" + std::to_string(w.address) + "\n";
            onLine = 0;
        }
        std::snprintf(buf, sizeof buf, hex16 ? "0x%04X" : "0x%02X", static_cast<unsigned>(w.word));
        if (onLine) out += ' ';
        out += buf;
        if (++onLine == 8) {
            out += '\n';
            onLine = 0;
        }
        expected = w.address + 1;
    }
    if (onLine) out += '\n';
    return out;
}

}  // namespace mira::cli
