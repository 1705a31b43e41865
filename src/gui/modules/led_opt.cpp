#include "modules/led_opt.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace mira::gui {

namespace {
QRadioButton* radio(QWidget* parent, const char* name) {
    auto* rb = new QRadioButton(parent);
    rb->setObjectName(QString::fromLatin1(name));
    return rb;
}
}  // namespace

TledOptFM::TledOptFM(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ledOptFM"));
    setWindowTitle(QStringLiteral("LED Display Options"));

    auto* format = new QGroupBox(QStringLiteral("Display Format"), this);
    auto* formatCol = new QVBoxLayout(format);
    normRB = radio(format, "normRB");
    miraRB = radio(format, "miraRB");
    tcRB = radio(format, "tcRB");
    hexRB = radio(format, "hexRB");
    for (auto* rb : {normRB, miraRB, tcRB, hexRB}) formatCol->addWidget(rb);
    formatCol->addStretch();

    auto* type = new QGroupBox(QStringLiteral("Display Type"), this);
    auto* typeCol = new QVBoxLayout(type);
    ledRB = radio(type, "ledRB");
    ledRB->setText(QStringLiteral("LED"));
    nixieRB = radio(type, "nixieRB");
    nixieRB->setText(QStringLiteral("Nixie"));
    typeCol->addWidget(ledRB);
    typeCol->addWidget(nixieRB);
    typeCol->addStretch();

    auto* ready = new QGroupBox(QStringLiteral("Ready Delay (s)"), this);
    auto* readyRow = new QHBoxLayout(ready);
    readySB = new QScrollBar(Qt::Horizontal, ready);
    readySB->setObjectName(QStringLiteral("readySB"));
    readySB->setRange(kReadyMin, kReadyMax);
    readySB->setSingleStep(100);
    readySB->setPageStep(500);
    readySB->setMinimumWidth(180);
    readyLabel = new QLabel(ready);
    readyLabel->setObjectName(QStringLiteral("readyLabel"));
    readyLabel->setMinimumWidth(36);
    readyRow->addWidget(readySB, 1);
    readyRow->addWidget(readyLabel);
    connect(readySB, &QScrollBar::sliderReleased, this, &TledOptFM::readySBScroll);
    connect(readySB, &QScrollBar::actionTriggered, this, [this](int action) {
        // The value moves after this signal; the label reads it once the step is done.
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, &TledOptFM::readySBScroll);
    });

    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setToolTip(QStringLiteral("Accept"));
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName(QStringLiteral("canSB"));
    canSB->setToolTip(QStringLiteral("Cancel"));
    connect(okSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(format);
    top->addWidget(type);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okSB);
    buttons->addWidget(canSB);
    auto* col = new QVBoxLayout(this);
    col->addLayout(top);
    col->addWidget(ready);
    col->addLayout(buttons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TledOptFM::PutData(int readyDelay, int format, bool led, bool octal, bool nixieAvailable) {
    octal_ = octal;
    if (octal) {
        normRB->setText(QStringLiteral("377"));
        miraRB->setText(QStringLiteral("737"));
        tcRB->hide();
        hexRB->hide();
        (format == 1 ? miraRB : normRB)->setChecked(true);
    } else {
        normRB->setText(QStringLiteral("Leading Blank"));
        miraRB->setText(QStringLiteral("Leading Zero"));
        tcRB->setText(QStringLiteral("Signed Byte"));
        hexRB->setText(QStringLiteral("HEX"));
        tcRB->show();
        hexRB->show();
        QRadioButton* pick[] = {normRB, miraRB, tcRB};
        (format >= 0 && format <= 2 ? pick[format] : hexRB)->setChecked(true);
    }
    nixieRB->setEnabled(nixieAvailable);
    (led || !nixieAvailable ? ledRB : nixieRB)->setChecked(true);
    readySB->setValue(readyDelay >= kReadyMin && readyDelay <= kReadyMax ? readyDelay
                                                                          : kReadyMin);
    readySBScroll();
    // A fixed dialog in the middle of the screen.
    adjustSize();
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

int TledOptFM::GetMode() const {
    if (octal_) return normRB->isChecked() ? 0 : 1;
    if (normRB->isChecked()) return 0;
    if (miraRB->isChecked()) return 1;
    if (tcRB->isChecked()) return 2;
    return 3;
}

int TledOptFM::GetScroll() const { return readySB->value(); }

bool TledOptFM::GetDisplay() const { return ledRB->isChecked(); }

QString TledOptFM::readyText() const { return readyLabel->text(); }

void TledOptFM::readySBScroll() {
    readyLabel->setText(QString::number(readySB->value() / 1000.0, 'f', 1));
}

}  // namespace mira::gui
