// Whole-file replacement that never leaves a half-written file behind.
#pragma once

#include <filesystem>
#include <string_view>

namespace mira::core {

// Writes `bytes` to a temporary file beside `path`, then renames it over `path`.
// Returns false (and leaves any old file untouched) when that is not possible.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace mira::core
