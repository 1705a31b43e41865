#include "view_text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "formatters.h"

namespace mira::assembler {

namespace {

std::string hex(int64_t value, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
    return buf;
}

// The label field takes 10 places and one blank, so that statements line up whether or
// not they carry a label.
constexpr size_t kLabelWidth = 10;

}  // namespace

std::string AddressText(int address, int radix, bool normalMode) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d ", address);
    std::string s = buf + FormatRadix(address, radix, false);
    if (normalMode && address % 16 == 0) s += " (" + std::to_string(address / 16) + ")";
    return s;
}

std::string ListingText(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (fields.size() < 4) {
        const size_t end = line.find('`', start);
        fields.emplace_back(line.substr(start, end == std::string_view::npos ? line.size() - start
                                                                             : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    fields.resize(4);
    std::string& label = fields[0];
    const bool plainLabel =
        label.empty() || (std::count(label.begin(), label.end(), ',') == 1 && label.back() == ',');
    if (plainLabel) {
        if (label.size() < kLabelWidth) label.append(kLabelWidth - label.size(), ' ');
    } else {
        label.insert(0, kLabelWidth + 1, ' ');
    }
    std::string text;
    for (const std::string& f : fields)
        if (!f.empty()) text += f + ' ';
    return text;
}

NumberForms MemoryNumberForms(int64_t value, bool normalMode) {
    NumberForms f;
    f.dec = std::to_string(value);
    if (normalMode) {
        f.splitOctal = FormatSplitOctal(value);
        f.octal = FormatOctal(value, 3);
        f.hex = hex(value, 2);
        f.bin = FormatBinary8(value);
    } else {
        f.hex = hex(value, 4);
    }
    return f;
}

NumberForms RegisterNumberForms(int64_t value, bool full) {
    NumberForms f;
    f.dec = std::to_string(value);
    f.hex = hex(value, 2);
    if (full) {
        f.splitOctal = FormatSplitOctal(value);
        f.octal = FormatOctal(value, 3);
        f.bin = FormatBinary8(value);
    }
    return f;
}

std::string ExtControlText(int externalControl, bool laHeld, bool depHeld, bool normalMode) {
    const int la = (externalControl & 2) && !laHeld ? 1 : 0;
    const int dep = (externalControl & 1) && !depHeld ? 1 : 0;
    return "LA = " + FormatLevel(la) + (normalMode ? " DEP = " : " TG1 = ") + FormatLevel(dep);
}

std::string IOFlagText(int inFlag, int outFlag) {
    return "IN = " + FormatLevel(inFlag) + " OUT = " + FormatLevel(outFlag);
}

std::string CarryText(bool c) { return c ? "C" : "c"; }
std::string ZeroText(bool z, bool normalMode) { return normalMode ? "-" : (z ? "Z" : "z"); }
std::string DecimalCarryText(bool dc, bool normalMode) {
    return normalMode ? "-" : (dc ? "DC" : "dc");
}
std::string BankText(bool bank, bool normalMode) { return normalMode ? "-" : (bank ? "1" : "0"); }
std::string SerialText(bool access, bool normalMode) {
    return normalMode ? "-" : (access ? "SER" : "ser");
}

std::string RomAddressText(int pointer, int radix, bool normalMode) {
    if (normalMode) return "-";
    return radix == kRadixHex ? "$" + hex(pointer, 3) : std::to_string(pointer);
}

std::string CycleText(int t) { return "Cycle: " + std::to_string(t); }

std::string ResetText(bool t13, bool normalMode) {
    if (normalMode) return std::string("Reset: ") + (t13 ? "T13" : "T1");
    return std::string("Reset: ") + (t13 ? "AO" : "BO");
}

std::string TraceText(bool on) { return std::string("Trace: ") + (on ? "On" : "Off"); }

std::string StackLabel(int index, int value, int radix) {
    const std::string v = radix == kRadixDec ? "D" + std::to_string(value) : "$" + hex(value, 4);
    return "[" + std::to_string(index) + "]: " + v;
}

std::string CellAddressText(int index, int radix) {
    return radix == kRadixDec || radix == kRadixHex ? FormatRadix(index, radix, false)
                                                    : std::to_string(index);
}

NumberForms CellNumberForms(int value) {
    NumberForms f;
    f.dec = std::to_string(value);
    f.hex = hex(value, 2);
    f.bin = FormatBinary8(value);
    return f;
}

}  // namespace mira::assembler
