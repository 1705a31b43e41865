// The selection dialog: a title and a column of numbered radio choices, optionally a text
// box. Modules ask for their device slot with it; other dialogs offer their choices.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "devices/slot_select.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mira::gui {

class TFuncSelFM final : public QDialog {
public:
    explicit TFuncSelFM(QWidget* parent = nullptr);

    // "title~choice~choice~…"; "cmdBlank" leaves half a line of space; the list ends at the
    // first empty field. `initial` selects that choice (−1 none). OK stays disabled while
    // there are choices and none is selected: an OK that answers nothing would be lost.
    void SetMode(const QString& text, int initial);
    // The selected choice, −1 when none or when the dialog was not closed with OK.
    int GetSelected() const;
    void doDeselect(int n);
    void EnableInput(const QString& caption);
    QString GetInput() const;
    void FreeRadioButtons();

    int choiceCount() const { return static_cast<int>(choices_.size()); }
    QRadioButton* choice(int n) const { return choices_.at(n); }

private:
    void layoutControls();
    void enableOk();

    QLabel* titleLabel = nullptr;
    QLabel* inputLabel = nullptr;
    QLineEdit* inputEdit = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;
    // Exclusive even with one choice, so a click never takes the only choice back.
    QButtonGroup* group_ = nullptr;
    std::vector<QRadioButton*> choices_;
    std::vector<int> gapsBefore_;  // gaps above each choice
    int gapsAfter_ = 0;
    bool inputEnabled_ = false;
};

// The slot question of the Modules menu, shown with the selection dialog.
class FuncSelChooser final : public devices::SlotChooser {
public:
    explicit FuncSelChooser(QWidget* parent) : parent_(parent) {}
    int choose(const std::string& text, int initial) override;

private:
    QWidget* parent_;
};

}  // namespace mira::gui
