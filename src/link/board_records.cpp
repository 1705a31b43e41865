#include "board_records.h"

namespace mira::link {

namespace {

std::string label(const std::string& text) {
    std::string s = text;
    s.resize(28, ' ');
    return s + "= ";
}

std::string padRight(std::string s, size_t width) {
    if (s.size() < width) s.resize(width, ' ');
    return s;
}

}  // namespace

const std::vector<std::string>& cycleTimeTexts() {
    static const std::vector<std::string> texts{"125mS", "250mS", "500mS  Default", "1 second"};
    return texts;
}

std::vector<std::string> optionLines(int options) {
    const bool normal = (options & kOptNormalMode) != 0;
    const bool second = (options & kOptResetSecond) != 0;
    std::vector<std::string> lines;
    lines.push_back(label("Operating Mode") + (normal ? "Normal" : "WIF"));
    lines.push_back(label("Page Zero Mode") + ((options & kOptPageZeroOff) ? "OFF" : "ON"));
    lines.push_back(label("Slow Deposit/Examine Mode") + ((options & kOptSlowExDepOff) ? "OFF" : "ON"));
    if (normal)
        lines.push_back(label("T1/T13 Reset Mode") + (second ? "T13" : "T1"));
    else
        lines.push_back(label("AO/BO Reset Mode") + (second ? "AO" : "BO"));
    lines.push_back(label("Slow Speed Cycle Time") + cycleTimeTexts()[static_cast<size_t>((options >> 4) & 3)]);
    lines.push_back(label("Clear registers on reset") + ((options & kOptClearRegisters) ? "ON" : "OFF"));
    return lines;
}

int memoryWriteOptions(int previous, const EmulatorOptions& o) {
    int b = previous & kOptCycleMask;
    if (o.normalMode) b |= kOptNormalMode;
    if (!o.zeroPageMode) b |= kOptPageZeroOff;
    if (!o.slowDepositExamine) b |= kOptSlowExDepOff;
    if (o.outputResetMode == 1) b |= kOptResetSecond;
    return b;
}

int recordFlags(const EmulatorOptions& o) {
    int f = 0;
    if (!o.zeroPageMode) f |= kRecPageZeroOff;
    if (!o.slowDepositExamine) f |= kRecSlowExDepOff;
    if (o.outputResetMode == 1) f |= kRecResetSecond;
    return f;
}

std::string makeRecord(int flags, const std::string& name) {
    std::string r(1, static_cast<char>(flags & 0xFF));
    r += name.substr(0, kNameLength);
    r.resize(kRecordSize, ' ');
    return r;
}

std::string directoryLine(int number, const std::string& record, bool wif) {
    const int flags = record.empty() ? 0xFF : static_cast<unsigned char>(record[0]);
    const bool empty = (flags & kRecEmpty) != 0;
    std::string name = record.size() > 1 ? record.substr(1, kNameLength) : std::string();
    bool printable = true;
    for (unsigned char ch : name)
        if (ch < 32 || ch > 126) printable = false;
    if (empty || !printable) name = "No Name";

    std::string num = std::to_string(number);
    if (num.size() < 2) num.insert(0, 2 - num.size(), ' ');
    std::string line = padRight(num, 4) + padRight(name, 25) + (empty ? "Empty " : "Valid ");
    if (wif) {
        line += "WIF --- --- ";
        line += (flags & kRecResetSecond) ? "AO" : "BO";
    } else {
        line += "MR8 ";
        line += padRight((flags & kRecPageZeroOff) ? "OFF" : "ON", 4);
        line += padRight((flags & kRecSlowExDepOff) ? "OFF" : "ON", 4);
        line += (flags & kRecResetSecond) ? "T13" : "T1";
    }
    return line;
}

NameCheck checkProgramName(const std::string& text) {
    NameCheck r;
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    for (size_t i = b; i < e; ++i) {
        if (text[i] == ' ' && !r.name.empty() && r.name.back() == ' ') continue;
        r.name += text[i];
    }
    if (static_cast<int>(r.name.size()) > kNameLength) {
        r.error = "ERROR: Too many characters - Max = " + std::to_string(kNameLength);
        return r;
    }
    for (char ch : r.name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c > 126) {
            r.error = std::string("ERROR: Invalid text character: ") + ch;
            return r;
        }
    }
    return r;
}

SelectionList parseSelection(const std::string& text) {
    SelectionList sel;
    std::vector<std::string> fields;
    std::string f;
    for (char ch : text) {
        if (ch == '~') {
            fields.push_back(f);
            f.clear();
        } else {
            f += ch;
        }
    }
    if (!f.empty()) fields.push_back(f);
    if (fields.empty()) return sel;
    sel.title = fields[0];
    constexpr size_t kFieldLimit = 20;
    int value = 1;
    for (size_t i = 1; i < fields.size() && i < kFieldLimit; ++i) {
        if (fields[i].empty()) break;
        if (fields[i] == "cmdBlank") {
            sel.items.push_back({});
            continue;
        }
        sel.items.push_back({fields[i], value});
        value <<= 1;
    }
    return sel;
}

int hardwareOptionsByte(bool normal, bool zeroPage, bool slowExDep, int cycleIndex, bool secondReset,
                        bool clearRegisters) {
    int b = 0;
    if (normal) b |= kOptNormalMode;
    if (!zeroPage) b |= kOptPageZeroOff;
    if (!slowExDep) b |= kOptSlowExDepOff;
    b |= (cycleIndex & 3) << 4;
    if (secondReset) b |= kOptResetSecond;
    if (clearRegisters) b |= kOptClearRegisters;
    return b;
}

}  // namespace mira::link
