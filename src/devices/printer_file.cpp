#include "printer_file.h"

#include "core/field_list.h"
#include "core/scrambled_file.h"

namespace mira::devices {

namespace {

constexpr char kFieldEnd = '~';

// Strict: digits only (one leading sign allowed), so " 5" or "5x" is not a code.
int parseCode(std::string_view field) {
    if (field.empty()) return -1;
    size_t i = (field[0] == '+' || field[0] == '-') ? 1 : 0;
    if (i == field.size()) return -1;
    long value = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9') return -1;
        value = value * 10 + (field[i] - '0');
        if (value > 1000) return -1;
    }
    if (field[0] == '-') value = -value;
    return (value >= 0 && value < kPrinterCodes) ? int(value) : -1;
}

// Fields of a line, with a trailing unterminated remainder as one more field.
std::vector<std::string_view> lineFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t end = line.find(kFieldEnd, start);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

}  // namespace

std::string rollLine(const LineCodes& codes) {
    core::FieldListBuilder b;
    for (int c : codes) b.add(c);
    return b.str();
}

LineCodes rollLineCodes(std::string_view line) {
    LineCodes codes;
    codes.fill(kSpaceCode);
    const auto fields = lineFields(line);
    for (size_t i = 0; i < fields.size() && i < codes.size(); ++i) {
        if (fields[i].empty()) break;
        const int c = parseCode(fields[i]);
        codes[i] = c < 0 ? kSpaceCode : c;
    }
    return codes;
}

std::string rollLineText(std::string_view line) {
    if (line.empty()) return {};
    std::string text;
    for (int c : rollLineCodes(line)) text += printerChar(c);
    return text;
}

bool rollLineValid(std::string_view line) {
    for (std::string_view f : lineFields(line)) {
        if (f.empty()) return true;
        if (parseCode(f) < 0) return false;
    }
    return true;
}

PrinterFileRead readPrinterFile(const std::filesystem::path& path) {
    PrinterFileRead r;
    core::ContainerRead c = core::readContainerFile(path);
    if (!c.ok) {
        r.error = kPrinterLoadError;
        return r;
    }
    for (const auto& line : c.lines) {
        if (!rollLineValid(line)) {
            r.error = kPrinterDataError;
            return r;
        }
    }
    r.ok = true;
    r.lines = std::move(c.lines);
    return r;
}

bool writePrinterFile(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    return core::writeContainerFile(path, lines);
}

}  // namespace mira::devices
