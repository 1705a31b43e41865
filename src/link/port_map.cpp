#include "port_map.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace mira::link {

namespace {

// Numeric suffix of a device name, for ordering ttyACM10 after ttyACM9.
long suffixNumber(const std::string& name, size_t prefixLength) {
    const std::string digits = name.substr(prefixLength);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::strtol(digits.c_str(), nullptr, 10);
}

}  // namespace

std::vector<std::string> buildPortList(const std::string& extra, const std::vector<std::string>& devices) {
    std::vector<std::string> list;
    size_t from = 0;
    while (from <= extra.size()) {
        const size_t to = std::min(extra.find(':', from), extra.size());
        const std::string p = extra.substr(from, to - from);
        if (!p.empty() && std::find(list.begin(), list.end(), p) == list.end()) list.push_back(p);
        from = to + 1;
    }
    for (const std::string prefix : {"ttyACM", "ttyUSB", "ttyS"}) {
        std::vector<std::pair<long, std::string>> group;
        for (const auto& d : devices)
            if (d.rfind(prefix, 0) == 0)
                if (const long n = suffixNumber(d, prefix.size()); n >= 0) group.emplace_back(n, d);
        std::sort(group.begin(), group.end());
        for (const auto& [n, d] : group) {
            const std::string path = "/dev/" + d;
            if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
        }
    }
    if (list.size() > static_cast<size_t>(kMaxPort)) list.resize(kMaxPort);
    return list;
}

std::vector<std::string> serialPortList() {
    const char* extra = std::getenv(kExtraPortsVariable);
    std::vector<std::string> devices;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/dev", ec)) devices.push_back(e.path().filename().string());
    return buildPortList(extra ? extra : "", devices);
}

std::optional<std::string> devicePathForPort(int n) {
    if (n < kMinPort || n > kMaxPort) return std::nullopt;
    const auto list = serialPortList();
    if (static_cast<size_t>(n) > list.size()) return std::nullopt;
    return list[static_cast<size_t>(n - 1)];
}

}  // namespace mira::link
