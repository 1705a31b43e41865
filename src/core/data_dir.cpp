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

std::filesystem::path dataDirectory(const std::filesystem::path& exeDir) {
    if (const char* env = std::getenv("MIRA8_DATA_DIR"); env && *env) {
        // A folder named but not made yet is made, so saves do not all fail quietly.
        std::error_code ec;
        std::filesystem::create_directories(env, ec);
        return env;
    }
    // An installed program (its files in ../share/mira8) never writes beside itself, not
    // even for root: /usr/bin would collect one user's settings and outlive the package.
    std::error_code ec;
    const bool installed =
        !exeDir.empty() && std::filesystem::is_directory(exeDir / ".." / "share" / "mira8", ec);
    if (!exeDir.empty() && !installed && ::access(exeDir.c_str(), W_OK) == 0) return exeDir;
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        base = std::filesystem::temp_directory_path();
    const auto dir = base / "mira8";
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::filesystem::path dataDirectory() { return dataDirectory(executableDirectory()); }

std::filesystem::path dataFile(std::string_view name) { return dataDirectory() / name; }

std::vector<std::filesystem::path> dataSearchPath(const std::filesystem::path& dataDir,
                                                  const std::filesystem::path& exeDir) {
    std::vector<std::filesystem::path> folders;
    auto add = [&](const std::filesystem::path& p) {
        if (p.empty()) return;
        auto normal = p.lexically_normal();
        if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
        for (const auto& f : folders)
            if (f.lexically_normal() == normal) return;
        folders.push_back(normal);
    };
    add(dataDir);
    add(exeDir);
    if (!exeDir.empty()) add(exeDir / ".." / "share" / "mira8");
    return folders;
}

std::vector<std::filesystem::path> dataSearchPath() {
    return dataSearchPath(dataDirectory(), executableDirectory());
}

std::filesystem::path findDataFile(std::string_view name,
                                   const std::vector<std::filesystem::path>& folders) {
    for (const auto& folder : folders) {
        std::error_code ec;
        const auto p = folder / name;
        if (std::filesystem::is_regular_file(p, ec)) return p;
    }
    return folders.empty() ? std::filesystem::path(name) : folders.front() / name;
}

std::filesystem::path findDataFile(std::string_view name) {
    return findDataFile(name, dataSearchPath());
}

}  // namespace mira::core
