#include "modules/butt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "modules/funcselect.h"
#include "modules/key2.h"

namespace mira::gui {

namespace {
constexpr int kPanelW = 303, kPanelH = 255, kSideX = 315, kSideW = 150;
}

TbuttFM::TbuttFM(devices::KeyTable& table, core::Prompter& prompter, QWidget* parent)
    : QDialog(parent), table_(table), editor_(prompter, table) {
    setObjectName(QStringLiteral("buttFM"));
    setWindowTitle(QStringLiteral("Keypad 2 Button Captions"));
    setFixedSize(kSideX + kSideW + 12, kPanelH + 12);

    buttsPanel = new QWidget(this);
    buttsPanel->setObjectName(QStringLiteral("buttsPanel"));
    buttsPanel->setGeometry(6, 6, kPanelW, kPanelH);
    // The keys stand where they stand on the keypad, a little wider for the values.
    for (int k = 0; k < devices::kKeypad2KeyCount; ++k) {
        auto* b = new QPushButton(buttsPanel);
        b->setObjectName(QStringLiteral("key%1").arg(k));
        b->setCheckable(true);
        b->setAutoExclusive(true);
        const QRect r = TkeypadFM::keyRect(k);
        b->setGeometry(r.x() - 6, r.y(), r.width() + 12, r.height());
        connect(b, &QPushButton::clicked, this, [this, k] {
            editor_.selectKey(k);
            showEditState();
        });
        keys_[static_cast<size_t>(k)] = b;
    }

    int y = 10;
    auto place = [&](QWidget* w, int h) {
        w->setGeometry(kSideX, y, kSideW, h);
        y += h + 6;
    };
    capRB = new QRadioButton(QStringLiteral("Caption"), this);
    capRB->setObjectName(QStringLiteral("capRB"));
    capRB->setChecked(true);
    place(capRB, 22);
    valRB = new QRadioButton(QStringLiteral("Value"), this);
    valRB->setObjectName(QStringLiteral("valRB"));
    place(valRB, 22);
    connect(valRB, &QRadioButton::toggled, this, [this](bool on) {
        editor_.setShowValues(on);
        showKeys();
        showEditState();
    });
    hideCB = new QCheckBox(QStringLiteral("Hide Blank keys"), this);
    hideCB->setObjectName(QStringLiteral("hideCB"));
    hideCB->setChecked(table.hideBlank);
    connect(hideCB, &QCheckBox::toggled, this, [this](bool on) { editor_.setHideBlank(on); });
    place(hideCB, 22);
    modSB = new QPushButton(QStringLiteral("Modify"), this);
    modSB->setObjectName(QStringLiteral("modSB"));
    modSB->setToolTip(QStringLiteral("Modify value"));
    connect(modSB, &QPushButton::clicked, this, &TbuttFM::modSBClick);
    place(modSB, 26);

    chgPanel = new QWidget(this);
    chgPanel->setObjectName(QStringLiteral("chgPanel"));
    place(chgPanel, 60);
    Edit1 = new QLineEdit(chgPanel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(devices::kKeyCaptionMax);
    Edit1->setGeometry(0, 0, kSideW, 26);
    connect(Edit1, &QLineEdit::returnPressed, this, &TbuttFM::chgokSBClick);
    chgokSB = new QPushButton(QStringLiteral("Accept"), chgPanel);
    chgokSB->setObjectName(QStringLiteral("chgokSB"));
    chgokSB->setToolTip(QStringLiteral("Accept change"));
    chgokSB->setGeometry(0, 32, kSideW / 2 - 3, 26);
    connect(chgokSB, &QPushButton::clicked, this, &TbuttFM::chgokSBClick);
    chgcanSB = new QPushButton(QStringLiteral("Undo"), chgPanel);
    chgcanSB->setObjectName(QStringLiteral("chgcanSB"));
    chgcanSB->setToolTip(QStringLiteral("Cancel change"));
    chgcanSB->setGeometry(kSideW / 2 + 3, 32, kSideW / 2 - 3, 26);
    connect(chgcanSB, &QPushButton::clicked, this, &TbuttFM::chgcanSBClick);

    defSB = new QPushButton(QStringLiteral("Defaults..."), this);
    defSB->setObjectName(QStringLiteral("defSB"));
    defSB->setToolTip(QStringLiteral("Set button defaults"));
    connect(defSB, &QPushButton::clicked, this, &TbuttFM::defSBClick);
    place(defSB, 26);

    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setToolTip(QStringLiteral("Accept"));
    okSB->setGeometry(kSideX, kPanelH - 26, kSideW / 2 - 3, 26);
    connect(okSB, &QPushButton::clicked, this, &TbuttFM::okSBClick);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName(QStringLiteral("canSB"));
    canSB->setToolTip(QStringLiteral("Cancel"));
    canSB->setGeometry(kSideX + kSideW / 2 + 3, kPanelH - 26, kSideW / 2 - 3, 26);
    connect(canSB, &QPushButton::clicked, this, &TbuttFM::reject);

    showKeys();
    showEditState();
}

void TbuttFM::showKeys() {
    for (int k = 0; k < devices::kKeypad2KeyCount; ++k)
        // One byte per character; "&" shown as itself, not as a mnemonic.
        keys_[static_cast<size_t>(k)]->setText(
            QString::fromLatin1(editor_.keyText(k))
                .replace(QLatin1Char('&'), QStringLiteral("&&")));
    if (valRB->isChecked() != editor_.showValues()) {
        const QSignalBlocker block(valRB);
        (editor_.showValues() ? valRB : capRB)->setChecked(true);
    }
}

void TbuttFM::showEditState() {
    const bool editing = editor_.editing();
    buttsPanel->setEnabled(!editing);
    chgPanel->setEnabled(editing);
    modSB->setEnabled(!editing && editor_.selected() >= 0);
    capRB->setEnabled(!editing);
    valRB->setEnabled(!editing);
    defSB->setEnabled(!editing);
    if (!editing) Edit1->setText(QString::fromLatin1(editor_.selectedText()));
}

void TbuttFM::modSBClick() {
    if (!editor_.startEdit()) return;
    showEditState();
    Edit1->setFocus();
    Edit1->selectAll();
}

void TbuttFM::chgokSBClick() {
    if (!editor_.editing()) return;
    if (!editor_.acceptEdit(Edit1->text().toLatin1().toStdString())) {
        Edit1->setFocus();
        Edit1->selectAll();
        return;
    }
    showKeys();
    showEditState();
}

void TbuttFM::chgcanSBClick() {
    editor_.cancelEdit();
    showEditState();
}

void TbuttFM::defSBClick() {
    TFuncSelFM dlg(this);
    dlg.SetMode(QString::fromLatin1(devices::kKeypadResetTitle) +
                    QString::fromLatin1(devices::kKeypadResetChoices),
                -1);
    if (dlg.exec() != QDialog::Accepted) return;
    const int choice = dlg.GetSelected();
    if (choice < 0 || choice > 4) return;
    editor_.applyReset(static_cast<devices::KeyCaptionsEditor::Reset>(choice));
    showKeys();
    showEditState();
}

void TbuttFM::okSBClick() {
    if (editor_.accept(table_) != devices::KeyCaptionsEditor::Close::Accepted) return;
    changed_ = true;
    QDialog::accept();
}

void TbuttFM::reject() {
    const auto result = editor_.cancel(table_);
    if (result == devices::KeyCaptionsEditor::Close::KeptOpen) return;
    changed_ = result == devices::KeyCaptionsEditor::Close::Accepted;
    QDialog::reject();
}

void TbuttFM::closeEvent(QCloseEvent* e) {
    // The close box goes the way of Cancel, questions included.
    e->ignore();
    reject();
}

}  // namespace mira::gui
