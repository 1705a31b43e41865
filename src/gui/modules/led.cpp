#include "modules/led.h"
#include "artwork_font.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>

#include "core/field_list.h"
#include "modules/led_art.h"
#include "modules/led_opt.h"

namespace mira::gui {

namespace {
constexpr int kLabelTop = 136;
constexpr int kLabelHeight = 18;
}  // namespace

// --- LedWindow ---

LedWindow::LedWindow(devices::LedKind kind, const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(kind == devices::LedKind::Octal
                                                   ? core::kModuleOctalLed
                                                   : core::kModuleDecimalLed),
                   env),
      kind_(kind),
      display_(kind, env.machine.bus, env.timers, env.prompter, this) {
    const ledart::Geometry& g = ledart::geometryOf(kind);
    setFixedSize(g.width, g.height);
    displayImage = new ModulePicture(*this, this, "displayImage");
    displayImage->setGeometry(0, 0, g.width, g.height);
    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setAlignment(Qt::AlignCenter);
    devLabel->setGeometry(0, kLabelTop, g.width, kLabelHeight);
    devLabel->setStyleSheet(QStringLiteral("color: #a8a8a8; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 12);
    devLabel->setFont(f);
    // Clicks on the label move the window like clicks on the picture.
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    // Only the housing shows; the corners outside it belong to the desktop.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(1, 1, g.width - 2, g.height - 2), 17, 17);
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        setMask(QRegion(outline.toFillPolygon().toPolygon()));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* options = PopupMenu1->addAction(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("Options1"));
    connect(options, &QAction::triggered, this, &LedWindow::Options1Click);
    QAction* reset = PopupMenu1->addAction(QStringLiteral("Reset"));
    reset->setObjectName(QStringLiteral("Reset1"));
    connect(reset, &QAction::triggered, this, [this] { display_.doReset(); });
    QAction* disconnect = PopupMenu1->addAction(QStringLiteral("Disconnect"));
    disconnect->setObjectName(QStringLiteral("Close1"));
    connect(disconnect, &QAction::triggered, this, &QWidget::close);
    refreshLabel();
}

LedWindow::~LedWindow() { display_.setHost(nullptr); }

QWidget* LedWindow::image() const { return displayImage; }

void LedWindow::setTubeStrip(const QImage* strip) {
    tubeStrip_ = strip && !strip->isNull() ? strip : nullptr;
    display_.setNixieAvailable(tubeStrip_ != nullptr);
}

bool LedWindow::loadGlyphs(bool led) {
    const qreal dpr = devicePixelRatioF();
    QImage strip = led ? ledart::makeLedStrip(dpr) : ledart::makeNixieStrip(dpr);
    if (strip.isNull()) return false;
    glyphs_ = std::move(strip);
    glyphsLed_ = led;
    return true;
}

void LedWindow::ensureArt(qreal dpr) {
    if (housing_.isNull() || !qFuzzyCompare(artDpr_, dpr)) {
        housing_ = ledart::makeHousing(kind_, dpr);
        artDpr_ = dpr;
    }
    // A window moved to a screen of another density redraws its glyphs to match.
    if (glyphs_.isNull() || glyphsLed_ != display_.ledType() ||
        !qFuzzyCompare(glyphs_.devicePixelRatio(), dpr))
        loadGlyphs(display_.ledType());
}

void LedWindow::drawBackground() {
    refreshLabel();
    displayImage->update();
}

void LedWindow::drawDigits() { displayImage->update(); }

void LedWindow::refreshLabel() {
    devLabel->setText(QString::fromStdString(display_.labelText()));
}

void LedWindow::paintDisplay(QPainter& p) {
    const ledart::Geometry& g = ledart::geometryOf(kind_);
    ensureArt(displayImage->devicePixelRatioF());
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), housing_);
    const QRect win(QPoint(g.winLeft, g.winTop), QPoint(g.winRight - 1, g.winBottom - 1));
    p.fillRect(win, Qt::black);
    const bool led = glyphsLed_;
    if (!display_.ledType() && tubeStrip_) {
        const qreal sd = tubeStrip_->devicePixelRatio();
        p.drawImage(QRectF(g.tubeX, g.tubeY, g.tubeStripPart, ledart::kTubeStripHeight),
                    *tubeStrip_,
                    QRectF(0, 0, g.tubeStripPart * sd, ledart::kTubeStripHeight * sd));
    }
    if (glyphs_.isNull()) return;
    // Digits never spill onto the housing; the widest LED cell overhangs the window.
    p.setClipRect(win);
    const int glyphW = led ? ledart::kLedGlyphWidth : ledart::kNixieGlyphWidth;
    const int pitch = led ? ledart::kLedPitch : ledart::kNixiePitch;
    const int stripW = led ? ledart::kLedStripWidth : ledart::kNixieStripWidth;
    const int glyphH = led ? ledart::kLedStripHeight : ledart::kNixieStripHeight;
    const int x0 = led ? g.ledX0 : g.nixieX0;
    const int y0 = led ? ledart::kLedY0 : ledart::kNixieY0;
    const qreal gd = glyphs_.devicePixelRatio();
    const std::string cells = display_.cells();
    for (size_t k = 0; k < cells.size(); ++k) {
        const int sx = devices::glyphIndex(cells[k]) * glyphW;
        const int w = std::min(glyphW, stripW - sx);
        p.drawImage(QRectF(x0 + static_cast<int>(k) * pitch, y0, w, glyphH), glyphs_,
                    QRectF(sx * gd, 0, w * gd, glyphH * gd));
    }
}

void LedWindow::closeEvent(QCloseEvent* e) {
    display_.close();
    refreshLabel();
    e->accept();
}

std::string LedWindow::GetScreenData() const { return display_.stateString(x(), y()); }

void LedWindow::PutScreenData(const std::string& text) {
    restorePosition(text);
    display_.applyState(text);
}

void LedWindow::openFromMenu() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    const int slot = askForSlot(devices::SlotDirection::Output);
    if (slot < 0) return;
    PutDevice(slot);
    doInit(true);
    if (!display_.closePending()) show();
}

void LedWindow::reopen(const core::ReopenStep& step) {
    PutDevice(step.slot);
    doInit(true);
    if (!display_.closePending()) show();
}

void LedWindow::Options1Click() {
    TledOptFM dlg(this);
    dlg.PutData(display_.readyDelay(), display_.format(), display_.ledType(),
                kind_ == devices::LedKind::Octal, display_.nixieAvailable());
    display_.beginOptions();
    if (dlg.exec() == QDialog::Accepted) {
        if (!display_.acceptOptions(dlg.GetScroll(), dlg.GetMode(), dlg.GetDisplay())) return;
    }
    display_.endOptions();
}

TledFM::TledFM(const ModuleEnv& env) : LedWindow(devices::LedKind::Octal, env) {
    setObjectName(QStringLiteral("ledFM"));
    setWindowTitle(QStringLiteral("OCTAL LED Display"));
}

TdecledFM::TdecledFM(const ModuleEnv& env) : LedWindow(devices::LedKind::Decimal, env) {
    setObjectName(QStringLiteral("decledFM"));
    setWindowTitle(QStringLiteral("Decimal LED Display"));
}

}  // namespace mira::gui
