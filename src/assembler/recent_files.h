// The editor's recent-files list: at most five full paths, most recent first, kept in
// "m8str.dat" (the scrambled container, one "000"-prefixed path a line).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mira::assembler {

inline constexpr char kRecentFilesFileName[] = "m8str.dat";
inline constexpr int kRecentFilesMax = 5;

class RecentFiles {
public:
    using Exists = std::function<bool(const std::string&)>;

    // `exists` tells whether a path still names a file; the file system by default.
    explicit RecentFiles(Exists exists = {});

    const std::vector<std::string>& paths() const { return paths_; }
    bool empty() const { return paths_.empty(); }

    // Moves `path` to the top (paths compare without regard to case), then tidies.
    void add(const std::string& path);
    // Keeps at most five entries and drops those whose files are gone.
    void tidy();

    // The container's lines and back. Lines whose first three characters do not read as
    // 0 are skipped.
    void fromLines(const std::vector<std::string>& lines);
    std::vector<std::string> toLines() const;

    // Reads or writes the file; a missing or bad file gives an empty list.
    bool load(const std::filesystem::path& file);
    bool save(const std::filesystem::path& file) const;

    // The menu caption of an entry: the file name without folder and extension.
    static std::string caption(std::string_view path);

private:
    Exists exists_;
    std::vector<std::string> paths_;
};

bool samePathIgnoringCase(std::string_view a, std::string_view b);

}  // namespace mira::assembler
