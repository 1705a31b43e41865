#include "scrambled_file.h"

#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>

#include "atomic_file.h"
#include "file_read.h"

namespace mira::core {

namespace {

bool endsWithLineEnd(std::string_view text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

}  // namespace

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}

void forEachLine(std::string_view text, const std::function<void(std::string_view)>& line) {
    if (text.empty()) return;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch != '\r' && ch != '\n') continue;
        line(text.substr(start, i - start));
        if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    line(text.substr(start));
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    forEachLine(text, [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

std::vector<std::string> textLines(std::string_view text) {
    std::vector<std::string> lines = splitLines(text);
    if (endsWithLineEnd(text)) lines.pop_back();
    return lines;
}

std::vector<std::string> lastTextLines(std::string_view text, size_t count) {
    std::deque<std::string> ring;
    forEachLine(text, [&](std::string_view l) {
        ring.emplace_back(l);
        // One more than asked is kept so the empty piece after a final line end can go.
        if (ring.size() > count + 1) ring.pop_front();
    });
    if (endsWithLineEnd(text) && !ring.empty()) ring.pop_back();
    while (ring.size() > count) ring.pop_front();
    return {std::make_move_iterator(ring.begin()), std::make_move_iterator(ring.end())};
}

std::string encodeContainer(const std::vector<std::string>& lines) {
    std::string payload = joinLines(lines);
    // The reader drops a line end at the very end, so a last line that is empty keeps one.
    if (!lines.empty() && lines.back().empty()) payload += "\r\n";
    std::string stored = std::to_string(payload.size());
    stored += '\r';
    stored += payload;
    for (char& ch : stored) ch = static_cast<char>(static_cast<uint8_t>(ch) ^ kScrambleKey);
    return stored;
}

namespace {

// How many lines textLines(text) gives, counted without keeping any.
size_t textLineCount(std::string_view text) {
    size_t count = 0;
    forEachLine(text, [&](std::string_view) { ++count; });
    return endsWithLineEnd(text) ? count - 1 : count;
}

}  // namespace

ContainerRead decodeContainer(std::string_view bytes, size_t keepLast, size_t maxLines) {
    ContainerRead result;
    auto fail = [&](ContainerError e) {
        result.error = e;
        return result;
    };
    size_t pos = 0;
    std::string header;
    bool foundCr = false;
    while (pos < bytes.size()) {
        const char ch = static_cast<char>(static_cast<uint8_t>(bytes[pos++]) ^ kScrambleKey);
        if (ch == '\r') {
            foundCr = true;
            break;
        }
        header += ch;
        // A header longer than any real length means this is not one of our files.
        if (header.size() > 20) return fail(ContainerError::BadLength);
    }
    if (!foundCr) return fail(ContainerError::NoHeaderEnd);
    if (header.empty()) return fail(ContainerError::BadLength);
    uint64_t length = 0;
    for (char ch : header) {
        if (ch < '0' || ch > '9') return fail(ContainerError::BadLength);
        length = length * 10 + static_cast<uint64_t>(ch - '0');
        if (length > std::numeric_limits<uint32_t>::max()) return fail(ContainerError::BadLength);
    }
    if (bytes.size() - pos < length) return fail(ContainerError::ShortFile);
    std::string payload(bytes.substr(pos, length));
    for (char& ch : payload) ch = static_cast<char>(static_cast<uint8_t>(ch) ^ kScrambleKey);
    // Files written by text editors end their last line too.
    if (keepLast != kAllLines) {
        result.lines = lastTextLines(payload, keepLast);
    } else if (textLineCount(payload) > maxLines) {
        return fail(ContainerError::TooManyLines);
    } else {
        result.lines = textLines(payload);
    }
    result.ok = true;
    return result;
}

ContainerRead readContainerFile(const std::filesystem::path& path, size_t keepLast, size_t maxLines) {
    const FileRead file = readWholeFile(path);
    if (!file.ok) {
        ContainerRead r;
        r.error = file.error == FileReadError::NotAFile   ? ContainerError::NotAFile
                  : file.error == FileReadError::TooLarge ? ContainerError::TooLarge
                                                          : ContainerError::CannotOpen;
        return r;
    }
    return decodeContainer(file.bytes, keepLast, maxLines);
}

bool writeContainerFile(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    return writeFileAtomically(path, encodeContainer(lines));
}

const char* containerErrorText(ContainerError e) {
    switch (e) {
        case ContainerError::None: return "no error";
        case ContainerError::CannotOpen: return "cannot open the file";
        case ContainerError::NotAFile: return "it is a folder or device, not a file";
        case ContainerError::NoHeaderEnd: return "not a data file (no length header)";
        case ContainerError::BadLength: return "not a data file (bad length header)";
        case ContainerError::ShortFile: return "the file is shorter than its header says";
        case ContainerError::TooLarge: return "the file is too large";
        case ContainerError::TooManyLines: return "the file is too large: it holds more lines than it may";
    }
    return "unknown error";
}

}  // namespace mira::core
