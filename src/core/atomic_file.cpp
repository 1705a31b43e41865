#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace mira::core {

namespace {

// A symbolic link is kept: the file it points to is replaced, not the link.
std::filesystem::path resolvedTarget(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path target = path;
    for (int hops = 0; hops < 16 && std::filesystem::is_symlink(target, ec); ++hops) {
        const auto next = std::filesystem::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

// After the rename the directory entry itself must reach the disk too.
void syncDirectory(const std::filesystem::path& file) {
    const auto dir = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

bool writeFileAtomically(const std::filesystem::path& requested, std::string_view bytes) {
    const std::filesystem::path path = resolvedTarget(requested);
    // An existing file keeps its permissions; a new one gets the usual rw-r--r-- less umask.
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    mode_t mode = existed ? (old.st_mode & 07777) : 0666;
    if (!existed) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    std::string tmpl = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    const char* p = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // Data files are small; flushing them keeps a crash right after a save harmless.
    if (ok && ::fsync(fd) != 0) ok = false;
    (void)::fchmod(fd, mode);
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmpl.c_str());
    if (ok) syncDirectory(path);
    return ok;
}

}  // namespace mira::core
