#include "views/opts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace mira::gui {

namespace {

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

const QStringList kNormalRadixes{QStringLiteral("DEC"), QStringLiteral("HEX"),
                                 QStringLiteral("737"), QStringLiteral("377")};
const QStringList kWifRadixes{QStringLiteral("DEC"), QStringLiteral("HEX")};

}  // namespace

int ToptsFM::validSpeed(int speed) {
    return speed >= kSpeedMin && speed <= kSpeedMax ? speed : kSpeedFallback;
}

ToptsFM::ToptsFM(OptionValues& values, QWidget* parent) : QDialog(parent), v_(values) {
    setObjectName(QStringLiteral("optsFM"));
    setWindowTitle(QStringLiteral("MIRA-8 Options"));
    setModal(true);

    auto* top = new QVBoxLayout(this);

    // Operating mode and the display radix of the mode the buttons show.
    auto* modeRow = new QHBoxLayout;
    auto* modeBox = new QGroupBox(QStringLiteral("Operating Mode"), this);
    auto* modeLayout = new QHBoxLayout(modeBox);
    OMnormRB = named(new QRadioButton(QStringLiteral("Normal"), modeBox), "OMnormRB");
    OMwifRB = named(new QRadioButton(QStringLiteral("WIF"), modeBox), "OMwifRB");
    modeLayout->addWidget(OMnormRB);
    modeLayout->addWidget(OMwifRB);
    auto* modeGroup = new QButtonGroup(this);
    modeGroup->addButton(OMnormRB);
    modeGroup->addButton(OMwifRB);
    auto* radixBox = new QGroupBox(QStringLiteral("Display Radix"), this);
    auto* radixLayout = new QHBoxLayout(radixBox);
    radixCB = named(new QComboBox(radixBox), "radixCB");
    radixLayout->addWidget(radixCB);
    modeRow->addWidget(modeBox, 2);
    modeRow->addWidget(radixBox, 1);
    top->addLayout(modeRow);

    // Fast run speed: clock states between two yields of the fast loop.
    auto* speedBox = new QGroupBox(QStringLiteral("Fast Run Speed"), this);
    auto* speedLayout = new QVBoxLayout(speedBox);
    auto* barRow = new QHBoxLayout;
    speedSB = named(new QScrollBar(Qt::Horizontal, speedBox), "speedSB");
    speedSB->setRange(kSpeedMin, kSpeedMax);
    speedSB->setSingleStep(10);
    speedSB->setPageStep(100);
    speedSB->setMinimumWidth(220);
    speedLabel = named(new QLabel(speedBox), "speedLabel");
    speedLabel->setMinimumWidth(QFontMetrics(speedLabel->font()).horizontalAdvance(QStringLiteral("0000")));
    speedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    barRow->addWidget(new QLabel(QStringLiteral("Slower"), speedBox));
    barRow->addWidget(speedSB, 1);
    barRow->addWidget(new QLabel(QStringLiteral("Faster"), speedBox));
    barRow->addWidget(speedLabel);
    speedLayout->addLayout(barRow);
    auto* speedButtons = new QHBoxLayout;
    SpeedButton1 = named(new QPushButton(QStringLiteral("Default"), speedBox), "SpeedButton1");
    SpeedButton2 = named(new QPushButton(QStringLiteral("Save Speed as Default"), speedBox),
                         "SpeedButton2");
    for (auto* b : {SpeedButton1, SpeedButton2}) b->setAutoDefault(false);
    speedButtons->addWidget(SpeedButton1);
    speedButtons->addWidget(SpeedButton2);
    speedButtons->addStretch(1);
    speedLayout->addLayout(speedButtons);
    top->addWidget(speedBox);

    // Output reset cycle and page zero mode.
    auto* cycleRow = new QHBoxLayout;
    auto* resetBox = new QGroupBox(QStringLiteral("Set Output Reset Flag on..."), this);
    auto* resetLayout = new QHBoxLayout(resetBox);
    T1RB = named(new QRadioButton(QStringLiteral("T1"), resetBox), "T1RB");
    T13RB = named(new QRadioButton(QStringLiteral("T13"), resetBox), "T13RB");
    resetLayout->addWidget(T1RB);
    resetLayout->addWidget(T13RB);
    auto* resetGroup = new QButtonGroup(this);
    resetGroup->addButton(T1RB);
    resetGroup->addButton(T13RB);
    PZgroup = named(new QGroupBox(QStringLiteral("Page Zero Mode"), this), "PZgroup");
    auto* pzLayout = new QHBoxLayout(PZgroup);
    PZonRB = named(new QRadioButton(QStringLiteral("ON"), PZgroup), "PZonRB");
    PZoffRB = named(new QRadioButton(QStringLiteral("OFF"), PZgroup), "PZoffRB");
    pzLayout->addWidget(PZonRB);
    pzLayout->addWidget(PZoffRB);
    auto* pzGroup = new QButtonGroup(this);
    pzGroup->addButton(PZonRB);
    pzGroup->addButton(PZoffRB);
    cycleRow->addWidget(resetBox, 1);
    cycleRow->addWidget(PZgroup, 1);
    top->addLayout(cycleRow);

    auto* checks = new QGroupBox(this);
    auto* checkLayout = new QVBoxLayout(checks);
    auto check = [&](const char* name, const char* text) {
        auto* c = named(new QCheckBox(QString::fromLatin1(text), checks), name);
        checkLayout->addWidget(c);
        return c;
    };
    soundCB = check("soundCB", "Sound Effects");
    allowCB = check("allowCB", "Allow Slow Examine/Deposit");
    autoBreakCB = check("autoBreakCB", "Auto slow step  on break");
    assemCB = check("assemCB", "Clear all memory before code assemble");
    ramassCB = check("ramassCB", "Clear all RAM before code assemble");
    eepassCB = check("eepassCB", "Clear all EEPROM before code assemble");
    uploadCB = check("uploadCB", "Upload only assembled code");
    top->addWidget(checks);

    auto* buttons = new QHBoxLayout;
    okSB = named(new QPushButton(QStringLiteral("OK"), this), "okSB");
    canSB = named(new QPushButton(QStringLiteral("Cancel"), this), "canSB");
    okSB->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(okSB);
    buttons->addWidget(canSB);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(OMnormRB, &QRadioButton::clicked, this, &ToptsFM::OMRBMouseUp);
    connect(OMwifRB, &QRadioButton::clicked, this, &ToptsFM::OMRBMouseUp);
    connect(radixCB, &QComboBox::currentIndexChanged, this, &ToptsFM::radixCBChange);
    connect(speedSB, &QScrollBar::valueChanged, this,
            [this](int value) { speedLabel->setText(QString::number(value)); });
    connect(SpeedButton1, &QPushButton::clicked, this,
            [this] { speedSB->setValue(defaultSpeed_); });
    connect(SpeedButton2, &QPushButton::clicked, this,
            [this] { defaultSpeed_ = speedSB->value(); });
    connect(okSB, &QPushButton::clicked, this, &ToptsFM::okSBClick);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);
}

void ToptsFM::showEvent(QShowEvent* e) {
    if (!activated_) FormActivate();
    QDialog::showEvent(e);
}

void ToptsFM::FormActivate() {
    activated_ = true;
    (v_.wif ? OMwifRB : OMnormRB)->setChecked(true);
    speedSB->setValue(validSpeed(v_.fastRunSpeed));
    speedLabel->setText(QString::number(speedSB->value()));
    defaultSpeed_ = validSpeed(v_.defaultFastRunSpeed);
    (v_.outputResetSecond ? T13RB : T1RB)->setChecked(true);
    soundCB->setChecked(v_.soundEffects);
    assemCB->setChecked(v_.clearMemory);
    ramassCB->setChecked(v_.clearRam);
    eepassCB->setChecked(v_.clearEeprom);
    (v_.zeroPage ? PZonRB : PZoffRB)->setChecked(true);
    allowCB->setChecked(v_.slowDepositExamine);
    uploadCB->setChecked(!v_.uploadAll);
    autoBreakCB->setChecked(v_.autoSlowStep);
    OMRBMouseUp();
}

bool ToptsFM::shownWif() const { return OMwifRB->isChecked(); }

void ToptsFM::OMRBMouseUp() {
    const bool wif = shownWif();
    T1RB->setText(wif ? QStringLiteral("BO") : QStringLiteral("T1"));
    T13RB->setText(wif ? QStringLiteral("AO") : QStringLiteral("T13"));
    allowCB->setEnabled(!wif);
    PZgroup->setEnabled(!wif);
    ramassCB->setEnabled(wif);
    eepassCB->setEnabled(wif);
    // Refilling the list is not a choice of the user's: nothing is stored meanwhile.
    const QSignalBlocker quiet(radixCB);
    radixCB->clear();
    radixCB->addItems(wif ? kWifRadixes : kNormalRadixes);
    const int stored = v_.radix[wif ? 1 : 0];
    radixCB->setCurrentIndex(stored >= 0 && stored < radixCB->count() ? stored : 0);
}

void ToptsFM::radixCBChange(int index) {
    if (index >= 0) v_.radix[shownWif() ? 1 : 0] = index;
}

void ToptsFM::okSBClick() {
    const bool wif = shownWif();
    wiChange_ = wif != v_.wif;
    v_.wif = wif;
    v_.radix[wif ? 1 : 0] = std::max(0, radixCB->currentIndex());
    v_.fastRunSpeed = speedSB->value();
    v_.defaultFastRunSpeed = defaultSpeed_;
    v_.outputResetSecond = T13RB->isChecked();
    v_.soundEffects = soundCB->isChecked();
    v_.clearMemory = assemCB->isChecked();
    v_.clearRam = ramassCB->isChecked();
    v_.clearEeprom = eepassCB->isChecked();
    v_.zeroPage = PZonRB->isChecked();
    v_.slowDepositExamine = allowCB->isChecked();
    v_.uploadAll = !uploadCB->isChecked();
    v_.autoSlowStep = autoBreakCB->isChecked();
    accept();
}

}  // namespace mira::gui
