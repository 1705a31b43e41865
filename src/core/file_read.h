// The one way the emulator reads a whole file it was given: data files, programs, word
// files, sources and module files. It refuses what is not a regular file (a folder, a
// device) with a clear reason instead of reading it as empty or throwing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace mira::core {

enum class FileReadError { None, NotFound, NotAFile, CannotRead, TooLarge };

struct FileRead {
    bool ok = false;
    FileReadError error = FileReadError::None;
    std::string bytes;
};

// Larger than any file of this machine (a million-character source is 1 MB).
inline constexpr uintmax_t kMaxReadBytes = 64u << 20;

FileRead readWholeFile(const std::filesystem::path& path, uintmax_t maxBytes = kMaxReadBytes);
// "the file does not exist", "it is a folder, not a file", …
const char* fileReadErrorText(FileReadError e);

}  // namespace mira::core
