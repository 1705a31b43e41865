// Whole-file replacement that never leaves a half-written file behind, and never replaces
// a file the user protected.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mira::core {

// Writes `bytes` to a temporary file beside `path`, then renames it over `path`.
// Returns false (and leaves any old file untouched) when that is not possible, and when
// `path` is read-only: renaming needs only the folder's permission, so the file's own is
// checked first. A file with further hard links is written through in place instead, so
// that every name keeps seeing the saved contents.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// `failure` (the caller's message), then two CRs and why `path` could not be saved,
// naming it: read-only, a folder that cannot be written, or no such folder.
std::string saveFailureText(const std::string& failure, const std::filesystem::path& path);

}  // namespace mira::core
