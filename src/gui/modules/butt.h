// "Keypad 2 Button Captions": edits a working copy of the key table key by key, with
// the reset choices of the selection dialog, and hands it back on OK.
#pragma once

#include <QDialog>
#include <array>

#include "devices/key_captions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mira::gui {

class TbuttFM final : public QDialog {
  public:
    TbuttFM(devices::KeyTable& table, core::Prompter& prompter, QWidget* parent);

    // After exec(): the key table now holds the working copy.
    bool tableChanged() const { return changed_; }
    bool hideBlank() const { return editor_.hideBlank(); }
    bool fullDefault() const { return editor_.fullDefault(); }
    const devices::KeyCaptionsEditor& editor() const { return editor_; }
    QPushButton* key(int n) const { return keys_.at(static_cast<size_t>(n)); }

    void modSBClick();
    void chgokSBClick();
    void chgcanSBClick();
    void defSBClick();
    void okSBClick();

    void reject() override;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void showKeys();
    void showEditState();

    devices::KeyTable& table_;
    devices::KeyCaptionsEditor editor_;
    bool changed_ = false;
    std::array<QPushButton*, devices::kKeypad2KeyCount> keys_{};
    QWidget* buttsPanel = nullptr;
    QWidget* chgPanel = nullptr;
    QRadioButton* capRB = nullptr;
    QRadioButton* valRB = nullptr;
    QCheckBox* hideCB = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* modSB = nullptr;
    QPushButton* chgokSB = nullptr;
    QPushButton* chgcanSB = nullptr;
    QPushButton* defSB = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;
};

}  // namespace mira::gui
