// The container every data file of the emulator is stored in: the payload's length in
// decimal, a CR, then the payload, each byte XORed with one fixed key. The payload is a
// list of text lines joined by CR LF. One character is one byte (Latin-1).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace mira::core {

inline constexpr uint8_t kScrambleKey = 0x6D;

enum class ContainerError {
    None,
    CannotOpen,     // the file does not exist or cannot be read
    NotAFile,       // a folder or a device
    NoHeaderEnd,    // no CR before the end of the file
    BadLength,      // the length is missing, negative or not a number
    ShortFile,      // fewer payload bytes than announced
    TooLarge,       // more bytes than any data file holds
    TooManyLines,   // more lines than the reader takes
};

struct ContainerRead {
    bool ok = false;
    ContainerError error = ContainerError::None;
    std::vector<std::string> lines;  // empty on failure
};

// The payload text of a line list, lines joined by CR LF.
std::string joinLines(const std::vector<std::string>& lines);
// Splits a payload at CR LF (a lone CR or LF also ends a line); an empty text is no lines.
std::vector<std::string> splitLines(std::string_view text);
// The lines of any text the emulator reads (sources, word files, container payloads), as
// a text editor shows them: LF, CR LF and CR each end a line, and a line end at the very
// end of the text starts no further line.
std::vector<std::string> textLines(std::string_view text);
// The last `count` of `textLines(text)`, keeping no more than that while splitting.
std::vector<std::string> lastTextLines(std::string_view text, size_t count);
// Calls `line` for each piece `splitLines` would make, without copying.
void forEachLine(std::string_view text, const std::function<void(std::string_view)>& line);

inline constexpr size_t kAllLines = std::numeric_limits<size_t>::max();

std::string encodeContainer(const std::vector<std::string>& lines);
// `keepLast` bounds the lines kept (the newest), for files only their end matters of;
// `maxLines` refuses a payload of more lines than its reader takes, found without
// splitting further (a file of nothing but line ends would otherwise fill the memory).
ContainerRead decodeContainer(std::string_view bytes, size_t keepLast = kAllLines, size_t maxLines = kAllLines);

ContainerRead readContainerFile(const std::filesystem::path& path, size_t keepLast = kAllLines,
                                size_t maxLines = kAllLines);
// Replaces the file whole (atomically); false when it cannot be written.
bool writeContainerFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

const char* containerErrorText(ContainerError e);

}  // namespace mira::core
