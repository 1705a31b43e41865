#include "modules/key.h"
#include "artwork_font.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "core/field_list.h"
#include "modules/keypad_art.h"

namespace mira::gui {

namespace {
constexpr int kKeyW = 52, kKeyH = 44, kKeyX0 = 26, kKeyY0 = 36, kPitchX = 62, kPitchY = 54;
constexpr const char* kLampNames[6] = {"L", "D", "C", "B", "A", "F"};
}  // namespace

TkeyFM::TkeyFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleKeypad), env),
      pad_(env.machine.bus, this) {
    setObjectName(QStringLiteral("keyFM"));
    setFixedSize(kWidth, kHeight);
    keyImage = new ModulePicture(*this, this, "keyImage", ModulePicture::Transparent);
    keyImage->setGeometry(0, 0, kWidth, kHeight);
    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setAlignment(Qt::AlignCenter);
    devLabel->setGeometry(30, 10, kWidth - 60, 18);
    devLabel->setStyleSheet(QStringLiteral("color: #a8a8a8; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 12);
    devLabel->setFont(f);
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { pad_.doInit(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    drawLabel();
}

TkeyFM::~TkeyFM() {
    pad_.setHost(nullptr);
}

QWidget* TkeyFM::image() const {
    return keyImage;
}

QRect TkeyFM::keyRect(int tag) {
    // Keys are numbered along the rows; CTL takes the last place.
    return {kKeyX0 + (tag % 4) * kPitchX, kKeyY0 + (tag / 4) * kPitchY, kKeyW, kKeyH};
}

int TkeyFM::keyAt(QPoint pos) const {
    for (int tag = 0; tag <= kCtlKey; ++tag)
        if (keyRect(tag).contains(pos)) return tag;
    return -1;
}

bool TkeyFM::lampLit(int lamp) const {
    switch (lamp) {
        case 0: return pad_.ctrlDown();
        case 5: return pad_.flagLamp();
        default: return pad_.lamp(4 - lamp);  // D C B A are bits 3..0
    }
}

void TkeyFM::drawLamps() {
    keyImage->update();
}

void TkeyFM::drawLabel() {
    devLabel->setText(QString::fromStdString(pad_.labelText()));
}

void TkeyFM::paintKeypad(QPainter& p) {
    const qreal dpr = keyImage->devicePixelRatioF();
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr))
        housing_ = keyart::makeHousing(kWidth, kHeight, dpr, QString(), 0);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), housing_);
    for (int tag = 0; tag < devices::kKeypadKeyCount; ++tag) {
        const bool digit = tag % 4 != 3 && tag != 13 && tag != 14;
        keyart::drawKey(p, keyRect(tag), QString::fromLatin1(devices::kKeypadCaptions[tag]),
                        tag == downKey_,
                        digit ? keyart::KeyStyle::Digit : keyart::KeyStyle::Function, 17);
    }
    keyart::drawKey(p, keyRect(kCtlKey), QStringLiteral("CTL"), pad_.ctrlDown(),
                    keyart::KeyStyle::Control, 14);
    QFont f = artworkFont(ArtFace::Sans, 10);
    f.setBold(true);
    p.setFont(f);
    for (int lamp = 0; lamp < 6; ++lamp) {
        const QRect r = lampRect(lamp);
        keyart::drawLamp(p, r, lampLit(lamp), keyart::kAmber);
        p.setPen(QColor(0x9a, 0xa0, 0xa8));
        drawLettering(p, QRect(r.x() - 4, r.bottom() + 2, r.width() + 8, 12), Qt::AlignCenter,
                   QString::fromLatin1(kLampNames[lamp]));
    }
}

void TkeyFM::imageMouseDown(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int tag = keyAt(e->position().toPoint());
    if (tag == kCtlKey) {
        pad_.setCtrl(!pad_.ctrlDown());
        return;
    }
    if (tag >= 0) {
        downKey_ = tag;
        pad_.pressKey(tag);
        return;
    }
    dragPress(e);
}

void TkeyFM::imageMouseUp(QMouseEvent* e) {
    dragRelease(e);
    if (e->button() != Qt::LeftButton) return;
    if (downKey_ >= 0) {
        downKey_ = -1;
        keyImage->update();
    }
}

void TkeyFM::closeEvent(QCloseEvent* e) {
    downKey_ = -1;
    pad_.close();
    e->accept();
}

std::string TkeyFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).str();
}

void TkeyFM::PutScreenData(const std::string& text) {
    restorePosition(text);
}

}  // namespace mira::gui
