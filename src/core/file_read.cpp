#include "file_read.h"

#include <fstream>
#include <system_error>

namespace mira::core {

FileRead readWholeFile(const std::filesystem::path& path, uintmax_t maxBytes) {
    FileRead r;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        r.error = FileReadError::NotFound;
        return r;
    }
    if (!std::filesystem::is_regular_file(status)) {
        r.error = FileReadError::NotAFile;
        return r;
    }
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > maxBytes) {
        r.error = FileReadError::TooLarge;
        return r;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        r.error = FileReadError::CannotRead;
        return r;
    }
    // The size can lie (a file that grows, or one of /proc's): never read past the limit.
    char buf[1 << 16];
    while (in) {
        in.read(buf, sizeof buf);
        r.bytes.append(buf, static_cast<size_t>(in.gcount()));
        if (r.bytes.size() > maxBytes) {
            r.bytes.clear();
            r.error = FileReadError::TooLarge;
            return r;
        }
    }
    if (in.bad()) {
        r.bytes.clear();
        r.error = FileReadError::CannotRead;
        return r;
    }
    r.ok = true;
    return r;
}

const char* fileReadErrorText(FileReadError e) {
    switch (e) {
        case FileReadError::None: return "no error";
        case FileReadError::NotFound: return "the file does not exist";
        case FileReadError::NotAFile: return "it is a folder or device, not a file";
        case FileReadError::CannotRead: return "cannot read the file";
        case FileReadError::TooLarge: return "the file is too large";
    }
    return "unknown error";
}

}  // namespace mira::core
