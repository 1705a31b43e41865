// Where the emulator's own data files live: MIRA8_DATA_DIR when set, else the
// executable's directory when it is writable, else $XDG_DATA_HOME/mira8.
#pragma once

#include <filesystem>
#include <string_view>

namespace mira::core {

std::filesystem::path executableDirectory();
std::filesystem::path dataDirectory();
std::filesystem::path dataFile(std::string_view name);

}  // namespace mira::core
