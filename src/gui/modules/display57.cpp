#include "modules/display57.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>

#include "modules/display_art.h"

namespace mira::gui {

namespace {
constexpr int kLabelHeight = 15;
}  // namespace

Tdisp57FM::Tdisp57FM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleDisplayAlpha), env),
      display_(env.machine.bus, this) {
    setObjectName(QStringLiteral("disp57FM"));
    setFixedSize(displayart::kAlphaWidth, displayart::kAlphaHeight);
    dispImage = new ModulePicture(*this, this, "dispImage");
    dispImage->setGeometry(0, 0, displayart::kAlphaWidth, displayart::kAlphaHeight);
    devLabel = new QLabel(this);
    displayart::styleDeviceLabel(devLabel);
    devLabel->setGeometry(displayart::kAlphaLabelX, displayart::kAlphaLabelY,
                          displayart::kAlphaWidth - displayart::kAlphaLabelX - 12, kLabelHeight);
    displayart::roundWindowMask(this, 10);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    refreshLabel();
}

Tdisp57FM::~Tdisp57FM() { display_.setHost(nullptr); }

void Tdisp57FM::doInit() {
    display_.doInit();
    refreshLabel();
}

void Tdisp57FM::refreshLabel() { devLabel->setText(QString::fromStdString(display_.labelText())); }

void Tdisp57FM::redraw() { dispImage->requestRepaint(); }

void Tdisp57FM::paintPicture(QPainter& p) {
    const qreal dpr = dispImage->devicePixelRatioF();
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr))
        housing_ = displayart::makeAlphaHousing(dpr);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(dispImage->rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), housing_);
    // Every dot, lit or not, is painted each time: no separate clearing.
    displayart::paintAlphaDots(p, display_, glyphs_, dpr);
}

void Tdisp57FM::pictureContextMenu(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void Tdisp57FM::closeEvent(QCloseEvent* e) {
    display_.close();
    refreshLabel();
    e->accept();
}

std::string Tdisp57FM::GetScreenData() const {
    return std::to_string(x()) + "~" + std::to_string(y()) + "~";
}

void Tdisp57FM::PutScreenData(const std::string& state) { restorePosition(state); }

}  // namespace mira::gui
