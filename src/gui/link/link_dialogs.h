// The board link's three small modal dialogs: the hardware option byte (ThardOptsFM), the
// name of a program written into a slot (TpgmNameFM) and a check-box selection built
// from one text (TcbSelFM).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "core/prompter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mira::gui {

class ThardOptsFM final : public QDialog {
public:
    ThardOptsFM(int options, QWidget* parent = nullptr);
    int GetData() const;

    QComboBox* slowCB = nullptr;
    QRadioButton* T1RB = nullptr;
    QRadioButton* T13RB = nullptr;
    QRadioButton* wifRB = nullptr;
    QRadioButton* normRB = nullptr;
    QCheckBox* zpmCB = nullptr;
    QCheckBox* slowExDpCB = nullptr;
    QCheckBox* rst0CB = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;

private:
    void modeChanged();
};

class TpgmNameFM final : public QDialog {
public:
    TpgmNameFM(core::Prompter& prompter, QWidget* parent = nullptr);
    void putData(int number, const std::string& defaultName);
    std::string getName() const;

    QLineEdit* nmEdit = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;

private:
    void okSBClick();
    core::Prompter& prompter_;
};

class TcbSelFM final : public QDialog {
public:
    explicit TcbSelFM(QWidget* parent = nullptr);
    void SetMode(const std::string& text, int preset);
    // The sum of the checked boxes' values; -1 when cancelled.
    int GetSelected() const;

    QLabel* titleLabel = nullptr;
    std::vector<QCheckBox*> boxes;
    QPushButton* setSB = nullptr;
    QPushButton* clrSB = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;

private:
    std::vector<int> values_;
};

}  // namespace mira::gui
