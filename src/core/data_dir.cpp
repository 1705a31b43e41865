#include "data_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace mira::core {

std::filesystem::path executableDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::filesystem::path dataDirectory() {
    if (const char* env = std::getenv("MIRA8_DATA_DIR"); env && *env) {
        // A folder named but not made yet is made, so saves do not all fail quietly.
        std::error_code ec;
        std::filesystem::create_directories(env, ec);
        return env;
    }
    const auto exeDir = executableDirectory();
    if (!exeDir.empty() && ::access(exeDir.c_str(), W_OK) == 0) return exeDir;
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        base = std::filesystem::temp_directory_path();
    const auto dir = base / "mira8";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::filesystem::path dataFile(std::string_view name) { return dataDirectory() / name; }

}  // namespace mira::core
