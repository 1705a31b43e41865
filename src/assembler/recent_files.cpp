#include "recent_files.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "core/field_list.h"
#include "core/scrambled_file.h"

namespace mira::assembler {

namespace {
constexpr std::string_view kLinePrefix = "000";
constexpr size_t kPrefixLength = 3;

// The three-digit field reads as a number; only 0 marks a path line.
bool prefixReadsZero(std::string_view line) {
    return line.size() >= kPrefixLength && core::parseInt(line.substr(0, kPrefixLength), -1) == 0;
}
}  // namespace

bool samePathIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

RecentFiles::RecentFiles(Exists exists) : exists_(std::move(exists)) {
    if (!exists_) {
        exists_ = [](const std::string& path) {
            std::error_code ec;
            return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
        };
    }
}

void RecentFiles::add(const std::string& path) {
    if (path.empty()) return;
    std::erase_if(paths_, [&](const std::string& p) { return samePathIgnoringCase(p, path); });
    paths_.insert(paths_.begin(), path);
    tidy();
}

void RecentFiles::tidy() {
    if (paths_.size() > kRecentFilesMax) paths_.resize(kRecentFilesMax);
    std::erase_if(paths_, [&](const std::string& p) { return p.empty() || !exists_(p); });
}

void RecentFiles::fromLines(const std::vector<std::string>& lines) {
    paths_.clear();
    for (const std::string& line : lines) {
        if (!prefixReadsZero(line)) continue;
        paths_.push_back(line.substr(kPrefixLength));
    }
    tidy();
}

std::vector<std::string> RecentFiles::toLines() const {
    std::vector<std::string> lines;
    lines.reserve(paths_.size());
    for (const std::string& p : paths_) lines.push_back(std::string(kLinePrefix) + p);
    return lines;
}

bool RecentFiles::load(const std::filesystem::path& file) {
    const core::ContainerRead read = core::readContainerFile(file);
    fromLines(read.lines);
    return read.ok;
}

bool RecentFiles::save(const std::filesystem::path& file) const {
    return core::writeContainerFile(file, toLines());
}

std::string RecentFiles::caption(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

}  // namespace mira::assembler
