#include "views/addr.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace mira::gui {

namespace {
constexpr int kWidth = 232;
constexpr int kHeight = 120;
}  // namespace

TaddrFM::TaddrFM(core::Prompter* prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setObjectName(QStringLiteral("addrFM"));
    setWindowTitle(QStringLiteral("Memory Address Range"));
    auto* grid = new QGridLayout(this);
    fromCB = new QComboBox(this);
    fromCB->setObjectName(QStringLiteral("fromCB"));
    toCB = new QComboBox(this);
    toCB->setObjectName(QStringLiteral("toCB"));
    grid->addWidget(new QLabel(QStringLiteral("From Address"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("To Address"), this), 0, 1);
    grid->addWidget(fromCB, 1, 0);
    grid->addWidget(toCB, 1, 1);
    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName(QStringLiteral("canSB"));
    grid->addWidget(okSB, 2, 0);
    grid->addWidget(canSB, 2, 1);
    connect(okSB, &QPushButton::clicked, this, &TaddrFM::okSBClick);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(kWidth, kHeight);
    fillLists();
}

void TaddrFM::fillLists() {
    if (fromCB->count() > 0) return;
    for (int i = 0; i <= kLastAddress; ++i) {
        fromCB->addItem(QString::number(i));
        toCB->addItem(QString::number(i));
    }
}

void TaddrFM::SetLimits(int from, int to) {
    from_ = from;
    to_ = to;
    fromCB->setCurrentIndex(from_ >= 0 && from_ <= kLastAddress ? from_ : 0);
    toCB->setCurrentIndex(to_ >= 0 && to_ <= kLastAddress ? to_ : kLastAddress);
}

void TaddrFM::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    SetLimits(from_, to_);
}

int TaddrFM::GetFrom() const { return fromCB->currentIndex(); }
int TaddrFM::GetTo() const { return toCB->currentIndex(); }

void TaddrFM::okSBClick() {
    if (GetTo() < GetFrom()) {
        if (prompter_)
            prompter_->error(kRangeReversed);
        else
            QMessageBox::critical(this, windowTitle(), QString::fromLatin1(kRangeReversed));
        return;
    }
    accept();
}

}  // namespace mira::gui
