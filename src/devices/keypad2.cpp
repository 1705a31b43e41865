#include "core/atomic_file.h"
#include "keypad2.h"

#include "core/field_list.h"
#include "core/scrambled_file.h"
#include "keypad.h"
#include "devices/module_state.h"

namespace mira::devices {

namespace {
constexpr int kKeyFileLineCount = 3;

int keyValue(std::string_view text) {
    const int v = core::parseInt(text, 0);
    return (v >= 0 && v <= 255) ? v : 0;
}

std::string captionsField(const KeyTable& t) {
    core::FieldListBuilder b;
    for (const std::string& c : t.captions) b.add(c);
    return b.str();
}

std::string valuesField(const KeyTable& t) {
    core::FieldListBuilder b;
    for (int v : t.values) b.add(v);
    return b.str();
}
}  // namespace

KeyTable KeyTable::defaults() {
    KeyTable t;
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        t.captions[i] = kKeypad2DefaultCaptions[i];
        t.values[i] = i;
    }
    return t;
}

std::array<std::string, 3> keyFileLines(const KeyTable& table) {
    return {captionsField(table), valuesField(table), core::formatBool(table.hideBlank)};
}

KeyTable keyTableFromLines(const std::string& captions, const std::string& values,
                           const std::string& hide) {
    KeyTable t;
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        t.captions[i] = core::fieldAt(captions, i);
        t.values[i] = keyValue(core::fieldAt(values, i));
    }
    t.hideBlank = core::parseBool(hide, false);
    return t;
}

KeyFileRead readKeyFile(const std::filesystem::path& path) {
    KeyFileRead r;
    core::ContainerRead c = core::readContainerFile(path, core::kAllLines, kKeyFileLineCount + 1);
    // A text that ends in a line break still holds three lines, as a string list reads it.
    if (c.ok && c.lines.size() == kKeyFileLineCount + 1 && c.lines.back().empty())
        c.lines.pop_back();
    if (!c.ok || c.lines.size() != kKeyFileLineCount) return r;
    r.table = keyTableFromLines(c.lines[0], c.lines[1], c.lines[2]);
    r.ok = true;
    return r;
}

bool writeKeyFile(const std::filesystem::path& path, const KeyTable& table) {
    const auto lines = keyFileLines(table);
    return core::writeContainerFile(path, {lines.begin(), lines.end()});
}

std::string keyFileLabel(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.substr(0, name.find('.'));
}

std::string keyTableLine(const KeyTable& table, const std::string& label) {
    return captionsField(table) + valuesField(table) +
           core::FieldListBuilder().addBool(table.hideBlank).add(label).str();
}

void applyKeyTableLine(const std::string& line, KeyTable& table, std::string& label) {
    if (line.empty()) return;
    const auto fields = core::splitFields(line);
    auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        table.captions[i] = field(static_cast<size_t>(i));
        table.values[i] = keyValue(field(static_cast<size_t>(kKeypad2KeyCount + i)));
    }
    table.hideBlank = core::parseBool(field(2 * kKeypad2KeyCount), false);
    label = field(2 * kKeypad2KeyCount + 1);
}

std::optional<int> keypad2KeyByName(const KeyTable& table, const std::string& name) {
    if (name.size() > 1 && name[0] == '#') {
        const int n = core::parseInt(name.substr(1), -1);
        const bool digits = name.find_first_not_of("0123456789", 1) == std::string::npos;
        if (digits && n >= 0 && n < kKeypad2KeyCount) return n;
        return std::nullopt;
    }
    if (name.empty()) return std::nullopt;
    for (int i = 0; i < kKeypad2KeyCount; ++i)
        if (table.captions[i] == name) return i;
    return std::nullopt;
}

Keypad2::Keypad2(core::DeviceBus& bus, KeyTable& table, core::Prompter& prompter, Keypad2Host* host)
    : bus_(bus), table_(table), prompter_(prompter), host_(host) {
    bus_.registerModule(*this);
}

Keypad2::~Keypad2() {
    bus_.unregisterModule(*this);
}

bool Keypad2::bound() const {
    return slot_ >= 0 && slot_ < core::kFirstOutputSlot && bus_.slots[slot_].device == this;
}

int Keypad2::GetDevice() const {
    return bound() ? slot_ : -1;
}

std::string Keypad2::labelText() const {
    return inputDeviceLabel(GetDevice());
}

void Keypad2::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

bool Keypad2::keyVisible(int key) const {
    if (key < 0 || key >= kKeypad2KeyCount) return false;
    return !(table_.hideBlank && table_.captions[key].empty());
}

bool Keypad2::pressKey(int key) {
    if (key < 0 || key >= kKeypad2KeyCount || table_.captions[key].empty()) return false;
    keyData_ = table_.values[key];
    setFlag(0);
    return true;
}

void Keypad2::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
    setFlag(0);
}

void Keypad2::doInit() {
    keyData_ = 0;
    refresh();
    labels();
    doReset(1);
}

void Keypad2::doReset(int level) {
    setFlag(level);
}

void Keypad2::ExecReady(int level) {
    if (level != 0) return;
    doReset(1);
    if (taken_) taken_();
}

void Keypad2::close() {
    doReset(1);
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
    labels();
}

void Keypad2::PutFileName(const std::string& label) {
    label_ = label;
    labels();
}

bool Keypad2::loadFile(const std::filesystem::path& path) {
    // Read whole into a fresh table first, so a file that fails leaves nothing behind.
    const KeyFileRead r = readKeyFile(path);
    if (!r.ok) {
        prompter_.error(kKeyFileOpenError);
        return false;
    }
    table_ = r.table;
    label_ = keyFileLabel(path);
    changed_ = false;
    refresh();
    labels();
    return true;
}

bool Keypad2::saveFile(const std::filesystem::path& path) {
    if (!writeKeyFile(path, table_)) {
        prompter_.error(core::saveFailureText(kKeyFileSaveError, path));
        return false;
    }
    label_ = keyFileLabel(path);
    changed_ = false;
    labels();
    return true;
}

bool Keypad2::maySkipSaving(KeyFileDialogs& dialogs) {
    if (!changed_) return true;
    switch (prompter_.askYesNoCancel(kKeyDataChanged)) {
        case core::Answer::Yes:
            // Going on after a save that did not happen would lose the edited table.
            return Save1Click(dialogs);
        case core::Answer::No: return true;
        case core::Answer::Cancel: break;
    }
    return false;
}

bool Keypad2::Load1Click(KeyFileDialogs& dialogs) {
    if (!maySkipSaving(dialogs)) return false;
    const auto path = dialogs.openPath();
    return path && loadFile(*path);
}

bool Keypad2::Save1Click(KeyFileDialogs& dialogs) {
    const auto path = dialogs.savePath();
    return path && saveFile(*path);
}

void Keypad2::tableEdited(bool hideBlank, bool fullDefault) {
    table_.hideBlank = hideBlank;
    if (fullDefault) label_.clear();
    changed_ = true;
    refresh();
    labels();
}

namespace {
// Longer than any caption or file label a user can make, short enough to refuse garbage.
constexpr size_t kMaxStateText = 4096;

std::string readText(core::SnapshotReader& r) {
    std::string s = r.str();
    refuseIf(s.size() > kMaxStateText);
    return s;
}
}  // namespace

void Keypad2::saveState(core::SnapshotWriter& w) const {
    w.beginSection("KPD2", 1);
    w.i32(slot_);
    w.i32(keyData_);
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        w.str(table_.captions[static_cast<size_t>(i)]);
        w.u8(static_cast<uint8_t>(table_.values[static_cast<size_t>(i)]));
    }
    w.boolean(table_.hideBlank);
    w.str(label_);
    w.boolean(changed_);
    w.endSection();
}

void Keypad2::restoreState(core::SnapshotReader& r) {
    r.beginSection("KPD2", 1);
    const int slot = readSlot(r, core::kFirstOutputSlot - 1);
    const int data = r.i32In(0, 255);
    KeyTable table;
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        table.captions[static_cast<size_t>(i)] = readText(r);
        table.values[static_cast<size_t>(i)] = r.u8();
    }
    table.hideBlank = r.boolean();
    std::string label = readText(r);
    const bool changed = r.boolean();
    r.endSection();
    slot_ = slot;
    keyData_ = data;
    table_ = std::move(table);
    label_ = std::move(label);
    changed_ = changed;
    refresh();
    labels();
}

}  // namespace mira::devices
