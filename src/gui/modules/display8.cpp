#include "modules/display8.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>

#include "modules/display_art.h"

namespace mira::gui {

namespace {
constexpr int kLabelHeight = 15;
}  // namespace

Tdisp8FM::Tdisp8FM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleDisplay10), env),
      display_(env.machine.bus, this) {
    setObjectName(QStringLiteral("disp8FM"));
    setFixedSize(displayart::kTenWidth, displayart::kTenHeight);
    dispImage = new ModulePicture(*this, this, "dispImage");
    dispImage->setGeometry(0, 0, displayart::kTenWidth, displayart::kTenHeight);
    devLabel = new QLabel(this);
    displayart::styleDeviceLabel(devLabel);
    devLabel->setGeometry(displayart::kTenLabelX, displayart::kTenLabelY,
                          displayart::kTenWidth - displayart::kTenLabelX - 12, kLabelHeight);
    displayart::roundWindowMask(this, 10);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    refreshLabel();
}

Tdisp8FM::~Tdisp8FM() { display_.setHost(nullptr); }

void Tdisp8FM::doInit() {
    display_.doInit();
    refreshLabel();
}

void Tdisp8FM::refreshLabel() { devLabel->setText(QString::fromStdString(display_.labelText())); }

void Tdisp8FM::redraw() { dispImage->requestRepaint(); }

void Tdisp8FM::paintPicture(QPainter& p) {
    const qreal dpr = dispImage->devicePixelRatioF();
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr)) {
        housing_ = displayart::makeTenDigitHousing(dpr);
        maskImage = displayart::makeTenDigitMask(dpr);
    }
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(dispImage->rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), housing_);
    p.drawImage(QPoint(displayart::kTenMaskX, displayart::kTenMaskY), maskImage);
    displayart::paintTenDigitCells(p, display_);
}

void Tdisp8FM::pictureContextMenu(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void Tdisp8FM::closeEvent(QCloseEvent* e) {
    display_.close();
    refreshLabel();
    e->accept();
}

std::string Tdisp8FM::GetScreenData() const {
    return std::to_string(x()) + "~" + std::to_string(y()) + "~";
}

void Tdisp8FM::PutScreenData(const std::string& state) { restorePosition(state); }

}  // namespace mira::gui
