// Where the emulator's own data files live: MIRA8_DATA_DIR when set, else the
// executable's directory when it is writable and not an installed tree, else
// $XDG_DATA_HOME/mira8 (~/.local/share/mira8). Files the
// program ships (instruction tables, help document) are also found beside the
// executable and in an installed tree's share/mira8.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace mira::core {

std::filesystem::path executableDirectory();
// The folder user data is written to (made when missing), for a program in `exeDir`.
std::filesystem::path dataDirectory(const std::filesystem::path& exeDir);
std::filesystem::path dataDirectory();
std::filesystem::path dataFile(std::string_view name);

// The folders a shipped file is looked for in, in order: the data directory (so a copy
// of the user's own wins), the executable's directory (the build tree), and
// `exeDir`/../share/mira8 (an installed tree, wherever its prefix is). No duplicates.
std::vector<std::filesystem::path> dataSearchPath(const std::filesystem::path& dataDir,
                                                  const std::filesystem::path& exeDir);
std::vector<std::filesystem::path> dataSearchPath();

// The first existing `name` in `folders`; when there is none, the path in the first
// folder, so that messages name the place the user would put it.
std::filesystem::path findDataFile(std::string_view name,
                                   const std::vector<std::filesystem::path>& folders);
std::filesystem::path findDataFile(std::string_view name);

}  // namespace mira::core
