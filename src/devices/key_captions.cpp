#include "key_captions.h"

#include <cctype>

namespace mira::devices {

std::string trimEntry(const std::string& text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

KeyCaptionsEditor::KeyCaptionsEditor(core::Prompter& prompter, const KeyTable& table)
    : prompter_(prompter), working_(table) {}

std::string KeyCaptionsEditor::keyText(int key) const {
    if (key < 0 || key >= kKeypad2KeyCount) return {};
    return showValues_ ? std::to_string(working_.values[key]) : working_.captions[key];
}

std::string KeyCaptionsEditor::selectedText() const {
    return keyText(selected_);
}

void KeyCaptionsEditor::selectKey(int key) {
    if (editing_ || key < 0 || key >= kKeypad2KeyCount) return;
    selected_ = key;
}

bool KeyCaptionsEditor::startEdit() {
    if (selected_ < 0) return false;
    editing_ = true;
    return true;
}

bool KeyCaptionsEditor::acceptEdit(const std::string& text) {
    if (!editing_) return false;
    std::string entry = trimEntry(text);
    if (entry.size() > static_cast<size_t>(kKeyCaptionMax)) entry.resize(kKeyCaptionMax);
    if (showValues_) {
        const bool digits = !entry.empty() && entry.size() <= 3 &&
                            entry.find_first_not_of("0123456789") == std::string::npos;
        const int v = digits ? std::stoi(entry) : -1;
        if (v < 0 || v > 255) {
            prompter_.error(kInvalidValue);
            return false;
        }
        working_.values[selected_] = v;
    } else {
        // "~" separates the fields of the files the table is stored in.
        const size_t bad = entry.find('~');
        if (bad != std::string::npos) {
            prompter_.error(std::string("Illegal character found [ ") + entry[bad] + " ]");
            return false;
        }
        working_.captions[selected_] = entry;
    }
    editing_ = false;
    return true;
}

void KeyCaptionsEditor::cancelEdit() {
    editing_ = false;
}

void KeyCaptionsEditor::applyReset(Reset choice) {
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        switch (choice) {
            case Reset::ClearText: working_.captions[i].clear(); break;
            case Reset::DefaultText: working_.captions[i] = kKeypad2DefaultCaptions[i]; break;
            case Reset::ZeroIndexes: working_.values[i] = 0; break;
            case Reset::DefaultIndexes: working_.values[i] = i; break;
            case Reset::DefaultAll:
                working_.captions[i] = kKeypad2DefaultCaptions[i];
                working_.values[i] = i;
                break;
        }
    }
    if (choice == Reset::DefaultAll) fullDefault_ = true;
    showValues_ = choice == Reset::ZeroIndexes;
}

KeyCaptionsEditor::Close KeyCaptionsEditor::accept(KeyTable& table) {
    if (editing_) {
        prompter_.info(kCannotCloseEditing);
        return Close::KeptOpen;
    }
    table = working_;
    return Close::Accepted;
}

KeyCaptionsEditor::Close KeyCaptionsEditor::cancel(KeyTable& table) {
    if (editing_) {
        prompter_.info(kCannotCloseEditing);
        return Close::KeptOpen;
    }
    if (working_.sameKeys(table)) return Close::Discarded;
    switch (prompter_.askYesNoCancel(kKeyDataChanged)) {
        case core::Answer::Yes:
            // Keeping the changes is the same as OK: the keypad must show them and know
            // they are unsaved, or a later Load would drop them without asking.
            table = working_;
            return Close::Accepted;
        case core::Answer::No: return Close::Discarded;
        case core::Answer::Cancel: break;
    }
    return Close::KeptOpen;
}

}  // namespace mira::devices
