#include "serial.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "core/field_list.h"
#include "core/machine_snapshot.h"

namespace mira::gui {

namespace {
constexpr int kWidth = 266;
constexpr int kHeight = 225;
const char* const kDelays[] = {"0", "1", "2", "5", "10"};
}  // namespace

TserialFM::TserialFM(core::TimerFactory& timers, QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(QStringLiteral("Serial Test Port"));
    setFixedSize(kWidth, kHeight);
    auto* serinTitle = new QLabel(QStringLiteral("SERIN"), this);
    serinTitle->setGeometry(16, 10, 100, 20);
    serinLabel = new QLabel(this);
    serinLabel->setObjectName("serinLabel");
    serinLabel->setGeometry(16, 32, 100, 28);
    serinLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    serinLabel->setAlignment(Qt::AlignCenter);
    auto* seroutTitle = new QLabel(QStringLiteral("SEROUT"), this);
    seroutTitle->setGeometry(140, 10, 110, 20);
    serCB = new QComboBox(this);
    serCB->setObjectName("serCB");
    serCB->setGeometry(140, 32, 110, 28);
    for (int i = 0; i < 256; ++i) serCB->addItem(QString::number(i));
    serRdyCB = new QCheckBox(QStringLiteral("Ready"), this);
    serRdyCB->setObjectName("serRdyCB");
    serRdyCB->setGeometry(140, 68, 110, 24);
    mirrorCB = new QCheckBox(QStringLiteral("Mirror"), this);
    mirrorCB->setObjectName("mirrorCB");
    mirrorCB->setGeometry(16, 104, 100, 24);
    mirDelLabel = new QLabel(QStringLiteral("Mirror Delay"), this);
    mirDelLabel->setGeometry(110, 106, 90, 20);
    mirDelCB = new QComboBox(this);
    mirDelCB->setObjectName("mirDelCB");
    mirDelCB->setGeometry(196, 102, 56, 28);
    for (const char* d : kDelays) mirDelCB->addItem(QString::fromLatin1(d));
    auto* accessTitle = new QLabel(QStringLiteral("Access:"), this);
    accessTitle->setGeometry(16, 146, 60, 20);
    accessLabel = new QLabel(QStringLiteral("OFF"), this);
    accessLabel->setObjectName("accessLabel");
    accessLabel->setGeometry(80, 146, 60, 20);
    canSB = new QPushButton(QStringLiteral("Disconnect"), this);
    canSB->setObjectName("canSB");
    canSB->setGeometry(146, 182, 106, 30);
    connect(canSB, &QPushButton::clicked, this, &QWidget::close);
    connect(mirrorCB, &QCheckBox::toggled, this, [this] { mirrorChanged(); });

    mirrorTimer = timers.createTimer(1000);
    mirrorTimer->setCallback([this] {
        mirrorTimer->stop();
        serRdyCB->setChecked(true);
    });
    serCB->setCurrentIndex(0);
    mirDelCB->setCurrentIndex(0);
    mirrorChanged();
    SetSerInLabel(0);
}

TserialFM::~TserialFM() = default;

void TserialFM::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (opened_) return;
    opened_ = true;
    serinLabel->setText(QString::number(received_));
    mirrorChanged();
}

void TserialFM::closeEvent(QCloseEvent* e) {
    mirrorTimer->stop();
    QWidget::closeEvent(e);
}

void TserialFM::hideEvent(QHideEvent* e) {
    mirrorTimer->stop();
    QWidget::hideEvent(e);
}

void TserialFM::mirrorChanged() {
    mirDelCB->setEnabled(mirrorCB->isChecked());
    mirDelLabel->setEnabled(mirrorCB->isChecked());
}

void TserialFM::SetSerInLabel(int value) {
    mirrorTimer->stop();
    received_ = value & 0xFF;
    serinLabel->setText(QString::number(received_));
    if (!mirrorCB->isChecked()) return;
    serCB->setCurrentIndex(received_);
    const int delay = mirDelCB->currentText().toInt();
    if (delay == 0) {
        serRdyCB->setChecked(true);
    } else {
        mirrorTimer->setInterval(delay * 1000);
        mirrorTimer->start();
    }
}

int TserialFM::GetSERIN() {
    if (!isVisible() || !serRdyCB->isChecked()) return -1;
    serRdyCB->setChecked(false);
    return serCB->currentIndex();
}

void TserialFM::saveState(core::SnapshotWriter& w) const {
    core::SerialPortState s;
    s.received = received_;
    if (serRdyCB->isChecked()) s.offered.push_back(serCB->currentIndex());
    s.mirror = mirrorCB->isChecked();
    s.mirrorDelayIndex = mirDelCB->currentIndex();
    s.mirrorDueUs = mirrorTimer->remainingMicros();
    s.save(w);
}

// A state from the CLI may offer more than one byte; the window offers the first.
void TserialFM::restoreState(core::SnapshotReader& r) {
    core::SerialPortState s;
    s.restore(r);
    received_ = s.received;
    serinLabel->setText(QString::number(received_));
    if (!s.offered.empty()) serCB->setCurrentIndex(s.offered.front());
    serRdyCB->setChecked(!s.offered.empty());
    mirrorCB->setChecked(s.mirror);
    mirDelCB->setCurrentIndex(s.mirrorDelayIndex);
    mirrorChanged();
    if (s.mirrorDueUs < 0) {
        mirrorTimer->stop();
    } else {
        mirrorTimer->setInterval(mirDelCB->currentText().toInt() * 1000);
        mirrorTimer->resumeIn(s.mirrorDueUs);
    }
}

void TserialFM::SetSerialAccess(bool on) { accessLabel->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF")); }

std::string TserialFM::GetScreenData() const { return std::to_string(x()) + "~" + std::to_string(y()) + "~"; }

void TserialFM::PutScreenData(const std::string& line, int screenWidth, int screenHeight) {
    const auto f = core::splitFields(line);
    if (f.size() < 2) return;
    int left = core::parseInt(f[0], 0), top = core::parseInt(f[1], 0);
    if (left < 0 || left > screenWidth - 40) left = 0;
    if (top < 0 || top > screenHeight - 40) top = 0;
    move(left, top);
}

}  // namespace mira::gui
