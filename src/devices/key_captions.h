// The editing behind the "Keypad 2 Button Captions" dialog: a working copy of the key
// table, the entry being edited and its checks, the reset choices, and the rules for
// leaving the dialog.
#pragma once

#include <string>

#include "core/prompter.h"
#include "devices/keypad2.h"

namespace mira::devices {

inline constexpr const char* kKeypadResetTitle = "Keypad Reset~";
inline constexpr const char* kKeypadResetChoices =
    "Clear all text~Default text~0 all key indexes~Default key indexes~Default all~";
inline constexpr const char* kInvalidValue = "ERROR: Invalid value";
inline constexpr const char* kCannotCloseEditing = "Cannot close while editing data";

class KeyCaptionsEditor {
  public:
    enum class Reset { ClearText, DefaultText, ZeroIndexes, DefaultIndexes, DefaultAll };
    // Accepted: the table now holds the working copy (the keypad refreshes and marks its
    // data changed); Discarded: closed without changes.
    enum class Close { Accepted, Discarded, KeptOpen };

    KeyCaptionsEditor(core::Prompter& prompter, const KeyTable& table);

    const KeyTable& working() const { return working_; }
    bool hideBlank() const { return working_.hideBlank; }
    void setHideBlank(bool on) { working_.hideBlank = on; }
    bool fullDefault() const { return fullDefault_; }
    bool showValues() const { return showValues_; }
    void setShowValues(bool on) { showValues_ = on; }
    int selected() const { return selected_; }
    bool editing() const { return editing_; }
    // What a key shows: its caption, or its value in decimal.
    std::string keyText(int key) const;
    // The text of the edit box for the selected key.
    std::string selectedText() const;

    void selectKey(int key);
    // modSB: false when no key is selected.
    bool startEdit();
    // chgokSB / Enter: false (and still editing) when the text is refused.
    bool acceptEdit(const std::string& text);
    void cancelEdit();
    void applyReset(Reset choice);

    // okSB: the working copy becomes the table.
    Close accept(KeyTable& table);
    // canSB or the window's close box.
    Close cancel(KeyTable& table);

  private:
    core::Prompter& prompter_;
    KeyTable working_;
    bool fullDefault_ = false;
    bool showValues_ = false;
    int selected_ = -1;
    bool editing_ = false;
};

// Leading and trailing blanks and control characters removed.
std::string trimEntry(const std::string& text);

}  // namespace mira::devices
