#include "tokenizer.h"

#include <cctype>

namespace mira::assembler {

namespace {

inline constexpr char kFieldSeparator = '`';

char upper(char ch) { return static_cast<char>(std::toupper(static_cast<unsigned char>(ch))); }

// Position (in an upper-cased token) of the character whose case is kept, or npos.
size_t literalCharPosition(const std::string& up, bool printer) {
    if (printer) return up.rfind("#P\"", 0) == 0 && up.size() >= 4 ? 3 : std::string::npos;
    return up.rfind("#\"", 0) == 0 && up.size() >= 3 ? 2 : std::string::npos;
}

}  // namespace

TokenizedLine tokenize(std::string_view line, Dialect dialect) {
    // A comment runs from the first "/" to the end, quotes or not.
    if (const size_t slash = line.find('/'); slash != std::string_view::npos) line = line.substr(0, slash);

    std::string text;
    text.reserve(line.size());
    std::vector<int> at;  // where each kept character stood, for error columns
    at.reserve(line.size());
    for (size_t k = 0; k < line.size(); ++k) {
        char ch = line[k];
        if (ch == '\t') ch = ' ';
        const int code = static_cast<unsigned char>(ch);
        if (code < 32 || code > 126) continue;
        text += ch;
        at.push_back(static_cast<int>(k));
    }

    const size_t firstQuote = text.find('"');
    const size_t lastQuote = text.rfind('"');
    const bool quoted = firstQuote != std::string::npos && lastQuote != firstQuote;

    TokenizedLine out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < text.size()) {
            // Between the first and the last quote blanks do not end the token.
            if (quoted && i >= firstQuote && i < lastQuote) {
                ++i;
                continue;
            }
            if (text[i] == ' ') break;
            ++i;
        }
        out.written.emplace_back(text.substr(start, i - start));
        out.columns.push_back(at[start]);
    }

    out.tokens.reserve(out.written.size());
    for (const auto& w : out.written) {
        std::string up;
        up.reserve(w.size());
        for (char ch : w) up += upper(ch);
        out.tokens.push_back(std::move(up));
    }

    // One literal character per line keeps its case: Normal prefers a printer literal,
    // then a character literal; WIF only the character literal.
    auto keepCase = [&](bool printer) {
        for (size_t t = 0; t < out.tokens.size(); ++t) {
            const size_t pos = literalCharPosition(out.tokens[t], printer);
            if (pos != std::string::npos) {
                out.tokens[t][pos] = out.written[t][pos];
                return true;
            }
        }
        return false;
    };
    if (dialect == Dialect::Normal) {
        if (!keepCase(true)) keepCase(false);
    } else {
        keepCase(false);
    }
    return out;
}

std::string joinFields(const std::vector<std::string>& fields) {
    std::string s;
    for (const auto& f : fields) {
        s += f;
        s += kFieldSeparator;
    }
    return s;
}

}  // namespace mira::assembler
