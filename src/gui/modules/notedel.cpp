#include "modules/notedel.h"

#include <QGuiApplication>
#include <algorithm>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include "devices/melody_player.h"

namespace mira::gui {

namespace {
constexpr int kLargeStep = 10;
QString msText(int ms) { return QStringLiteral("%1 ms").arg(ms); }
}  // namespace

TnotdelFM::TnotdelFM(int noteDelay, QWidget* parent) : QDialog(parent) {
    using namespace devices::melody;
    setObjectName(QStringLiteral("notdelFM"));
    setWindowTitle(QStringLiteral("Note Delay Adjust"));
    setModal(true);

    speedSB = new QScrollBar(Qt::Horizontal, this);
    speedSB->setObjectName(QStringLiteral("speedSB"));
    speedSB->setRange(kMinNoteDelay, kMaxNoteDelay);
    speedSB->setPageStep(kLargeStep);
    speedSB->setSingleStep(1);
    speedSB->setMinimumWidth(260);
    speedSB->setValue(std::clamp(noteDelay, kMinNoteDelay, kMaxNoteDelay));

    auto* faster = new QLabel(QStringLiteral("Faster"), this);
    auto* slower = new QLabel(QStringLiteral("Slower"), this);
    valLabel = new QLabel(msText(speedSB->value()), this);
    valLabel->setObjectName(QStringLiteral("valLabel"));
    valLabel->setAlignment(Qt::AlignCenter);
    connect(speedSB, &QScrollBar::valueChanged, this, [this](int v) { valLabel->setText(msText(v)); });

    SpeedButton1 = new QPushButton(QStringLiteral("Default"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoDefault(false);
    connect(SpeedButton1, &QPushButton::clicked, this,
            [this] { speedSB->setValue(kDefaultNoteDelay); });
    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setToolTip(QStringLiteral("Accept"));
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName(QStringLiteral("canSB"));
    canSB->setToolTip(QStringLiteral("Cancel"));
    connect(okSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);

    auto* scale = new QHBoxLayout;
    scale->addWidget(faster);
    scale->addStretch();
    scale->addWidget(valLabel);
    scale->addStretch();
    scale->addWidget(slower);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SpeedButton1);
    buttons->addStretch();
    buttons->addWidget(okSB);
    buttons->addWidget(canSB);
    auto* all = new QVBoxLayout(this);
    all->addWidget(speedSB);
    all->addLayout(scale);
    all->addSpacing(6);
    all->addLayout(buttons);
    setFixedSize(sizeHint());

    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

int TnotdelFM::value() const { return speedSB->value(); }

}  // namespace mira::gui
