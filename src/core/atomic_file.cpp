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

// A file nobody may write was protected on purpose; root could write it anyway, so for
// root the permission bits decide alone.
bool readOnly(const std::filesystem::path& path, const struct stat& st) {
    if (::geteuid() == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return ::access(path.c_str(), W_OK) != 0 && errno == EACCES;
}

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// A hard-linked file is rewritten where it is: a rename would leave the other names on
// the old contents. This gives up atomicity for that one case.
bool writeInPlace(const std::filesystem::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
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
    if (existed && (!S_ISREG(old.st_mode) || readOnly(path, old))) return false;
    if (existed && old.st_nlink > 1) return writeInPlace(path, bytes);
    mode_t mode = existed ? (old.st_mode & 07777) : 0666;
    if (!existed) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    std::string tmpl = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    // Data files are small; flushing them keeps a crash right after a save harmless.
    if (ok && ::fsync(fd) != 0) ok = false;
    (void)::fchmod(fd, mode);
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmpl.c_str());
    if (ok) syncDirectory(path);
    return ok;
}

std::string saveFailureText(const std::string& failure, const std::filesystem::path& requested) {
    const std::filesystem::path path = resolvedTarget(requested);
    const std::string name = "\"" + requested.string() + "\"";
    std::string why = name + " could not be written";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) why = name + " is a folder";
        else if (!S_ISREG(st.st_mode)) why = name + " is a device, not a file";
        else if (readOnly(path, st)) why = name + " is read-only: it was kept as it was";
    } else {
        const auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) why = "the folder of " + name + " does not exist";
        else if (::access(folder.c_str(), W_OK) != 0) why = "the folder of " + name + " cannot be written";
    }
    return failure + "\r\r" + why + ".";
}

}  // namespace mira::core
