#include "link_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "link/board_records.h"

namespace mira::gui {

namespace {

void centre(QDialog* d) {
    d->setFixedSize(d->size());
    d->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

}  // namespace

// ---- ThardOptsFM ----

ThardOptsFM::ThardOptsFM(int options, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("MIRA_8 Hardware Options"));
    resize(360, 280);

    auto* modeBox = new QGroupBox(QStringLiteral("Operating Mode"), this);
    modeBox->setGeometry(12, 10, 160, 80);
    normRB = new QRadioButton(QStringLiteral("Normal"), modeBox);
    normRB->setObjectName("normRB");
    normRB->setGeometry(12, 24, 140, 22);
    wifRB = new QRadioButton(QStringLiteral("WIF"), modeBox);
    wifRB->setObjectName("wifRB");
    wifRB->setGeometry(12, 48, 140, 22);

    auto* resetBox = new QGroupBox(QStringLiteral("Output device reset cycle"), this);
    resetBox->setGeometry(184, 10, 164, 80);
    T1RB = new QRadioButton(QStringLiteral("T1"), resetBox);
    T1RB->setObjectName("T1RB");
    T1RB->setGeometry(12, 24, 140, 22);
    T13RB = new QRadioButton(QStringLiteral("T13"), resetBox);
    T13RB->setObjectName("T13RB");
    T13RB->setGeometry(12, 48, 140, 22);

    auto* slowLabel = new QLabel(QStringLiteral("Slow speed cycle time"), this);
    slowLabel->setGeometry(12, 102, 160, 22);
    slowCB = new QComboBox(this);
    slowCB->setObjectName("slowCB");
    for (const auto& t : link::cycleTimeTexts()) slowCB->addItem(QString::fromStdString(t));
    slowCB->setGeometry(184, 100, 164, 26);

    zpmCB = new QCheckBox(QStringLiteral("Zero Page Mode"), this);
    zpmCB->setObjectName("zpmCB");
    zpmCB->setGeometry(12, 136, 330, 22);
    slowExDpCB = new QCheckBox(QStringLiteral("Slow Examine/Deposit Mode"), this);
    slowExDpCB->setObjectName("slowExDpCB");
    slowExDpCB->setGeometry(12, 162, 330, 22);
    rst0CB = new QCheckBox(QStringLiteral("Clear registers on reset"), this);
    rst0CB->setObjectName("rst0CB");
    rst0CB->setGeometry(12, 188, 330, 22);

    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName("okSB");
    okSB->setGeometry(172, 236, 84, 30);
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName("canSB");
    canSB->setGeometry(264, 236, 84, 30);
    connect(okSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);

    zpmCB->setChecked(!(options & link::kOptPageZeroOff));
    slowExDpCB->setChecked(!(options & link::kOptSlowExDepOff));
    slowCB->setCurrentIndex((options >> 4) & 3);
    (options & link::kOptResetSecond ? T13RB : T1RB)->setChecked(true);
    (options & link::kOptNormalMode ? normRB : wifRB)->setChecked(true);
    rst0CB->setChecked((options & link::kOptClearRegisters) != 0);
    connect(normRB, &QRadioButton::toggled, this, [this] { modeChanged(); });
    modeChanged();
    centre(this);
}

void ThardOptsFM::modeChanged() {
    const bool normal = normRB->isChecked();
    T1RB->setText(normal ? QStringLiteral("T1") : QStringLiteral("BO"));
    T13RB->setText(normal ? QStringLiteral("T13") : QStringLiteral("AO"));
    zpmCB->setEnabled(normal);
    slowExDpCB->setEnabled(normal);
}

int ThardOptsFM::GetData() const {
    return link::hardwareOptionsByte(normRB->isChecked(), zpmCB->isChecked(), slowExDpCB->isChecked(),
                                     slowCB->currentIndex(), T13RB->isChecked(), rst0CB->isChecked());
}

// ---- TpgmNameFM ----

TpgmNameFM::TpgmNameFM(core::Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    resize(320, 110);
    nmEdit = new QLineEdit(this);
    nmEdit->setObjectName("nmEdit");
    nmEdit->setMaxLength(link::kNameLength);
    nmEdit->setGeometry(12, 14, 296, 28);
    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName("okSB");
    okSB->setGeometry(132, 66, 84, 30);
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName("canSB");
    canSB->setGeometry(224, 66, 84, 30);
    connect(okSB, &QPushButton::clicked, this, [this] { okSBClick(); });
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);
    centre(this);
}

void TpgmNameFM::putData(int number, const std::string& defaultName) {
    setWindowTitle(QStringLiteral("Name: Program Number [%1]").arg(number));
    nmEdit->setText(QString::fromLatin1(defaultName.substr(0, link::kNameLength).c_str()));
}

void TpgmNameFM::okSBClick() {
    const auto check = link::checkProgramName(nmEdit->text().toLatin1().toStdString());
    nmEdit->setText(QString::fromLatin1(check.name.c_str()));
    if (!check.error.empty()) {
        prompter_.error(check.error);
        return;
    }
    accept();
}

std::string TpgmNameFM::getName() const { return nmEdit->text().toLatin1().toStdString(); }

// ---- TcbSelFM ----

TcbSelFM::TcbSelFM(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Selection..."));
    titleLabel = new QLabel(this);
    titleLabel->setObjectName("titleLabel");
    setSB = new QPushButton(QStringLiteral("Set all"), this);
    setSB->setObjectName("setSB");
    clrSB = new QPushButton(QStringLiteral("Clear all"), this);
    clrSB->setObjectName("clrSB");
    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName("okSB");
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName("canSB");
    connect(setSB, &QPushButton::clicked, this, [this] {
        for (auto* b : boxes) b->setChecked(true);
    });
    connect(clrSB, &QPushButton::clicked, this, [this] {
        for (auto* b : boxes) b->setChecked(false);
    });
    connect(okSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);
}

void TcbSelFM::SetMode(const std::string& text, int preset) {
    const auto sel = link::parseSelection(text);
    titleLabel->setText(QString::fromStdString(sel.title));
    const QFontMetrics fm(font());
    const int m = fm.horizontalAdvance(QStringLiteral("www"));
    const int th = fm.height();
    titleLabel->setGeometry(m, m, fm.horizontalAdvance(titleLabel->text()) + 4, th);
    int width = fm.horizontalAdvance(titleLabel->text()) + 3 * m;
    const int boxH = th + 6;
    int y = m + th * 3 / 2;
    for (const auto& item : sel.items) {
        if (item.value == 0) {
            y += th / 2;
            continue;
        }
        auto* b = new QCheckBox(QString::fromStdString(item.caption), this);
        b->setObjectName(QString::fromStdString(item.caption));
        const int w = b->sizeHint().width();
        b->setGeometry(m, y, w, boxH);
        b->setChecked(preset != 0 && item.value == preset);
        boxes.push_back(b);
        values_.push_back(item.value);
        width = std::max(width, w + 2 * m);
        y += boxH * 6 / 5;
    }
    const int buttonsW = 4 * 84 + 3 * 6;
    width = std::max(width, buttonsW + 2 * m);
    const int by = y + m;
    setSB->setGeometry(m, by, 84, 30);
    clrSB->setGeometry(m + 90, by, 84, 30);
    okSB->setGeometry(width - m - 84 - 90, by, 84, 30);
    canSB->setGeometry(width - m - 84, by, 84, 30);
    resize(width, by + 30 + m);
    setFixedSize(size());
}

int TcbSelFM::GetSelected() const {
    if (result() != QDialog::Accepted) return -1;
    int sum = 0;
    for (size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i]->isChecked()) sum += values_[i];
    return sum;
}

}  // namespace mira::gui
