#include "field_list.h"

#include <charconv>

namespace mira::core {

namespace {
constexpr char kFieldEnd = '~';
constexpr int kScreenMargin = 40;  // a window must keep this much on screen to be reachable
}  // namespace

std::string fieldAt(std::string_view list, int n) {
    if (n < 0) return {};
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const size_t end = list.find(kFieldEnd, start);
        if (end == std::string_view::npos) return {};
        start = end + 1;
    }
    const size_t end = list.find(kFieldEnd, start);
    if (end == std::string_view::npos) return {};
    return std::string(list.substr(start, end - start));
}

std::vector<std::string> splitFields(std::string_view list) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = list.find(kFieldEnd, start);
        if (end == std::string_view::npos) break;
        fields.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

FieldListBuilder& FieldListBuilder::add(std::string_view text) {
    text_ += text;
    text_ += kFieldEnd;
    return *this;
}

FieldListBuilder& FieldListBuilder::add(int value) { return add(std::to_string(value)); }

FieldListBuilder& FieldListBuilder::addBool(bool value) { return add(formatBool(value)); }

std::string formatBool(bool value) { return value ? "-1" : "0"; }

bool parseBool(std::string_view text, bool fallback) {
    if (text == "-1") return true;
    if (text == "0") return false;
    return fallback;
}

int parseInt(std::string_view text, int fallback) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return fallback;
    return value;
}

int parseIntInRange(std::string_view text, int min, int max, int fallback) {
    const int v = parseInt(text, fallback);
    return (v < min || v > max) ? fallback : v;
}

WindowPosition clampWindowPosition(int left, int top, int screenWidth, int screenHeight) {
    WindowPosition p{left, top};
    if (p.left < 0 || p.left > screenWidth - kScreenMargin) p.left = 0;
    if (p.top < 0 || p.top > screenHeight - kScreenMargin) p.top = 0;
    return p;
}

WindowPosition windowPositionFromState(std::string_view state, int screenWidth, int screenHeight) {
    return clampWindowPosition(parseInt(fieldAt(state, 0), 0), parseInt(fieldAt(state, 1), 0),
                               screenWidth, screenHeight);
}

}  // namespace mira::core
