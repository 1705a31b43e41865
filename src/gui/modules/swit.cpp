#include "modules/swit.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>

#include "mira/mira.h"
#include "modules/display_art.h"
#include "modules/swit_art.h"

namespace mira::gui {

namespace {

constexpr int kLabelHeight = 15;

// The control switches work the main window's LOAD ADDRESS and DEPOSIT; the main window
// owns the panel those live on.
core::FrontPanel* panelOf(QWidget* main) {
    auto* mira = dynamic_cast<TmiraFM*>(main);
    return mira ? &mira->panel() : nullptr;
}
core::RunControl* runOf(QWidget* main) {
    auto* mira = dynamic_cast<TmiraFM*>(main);
    return mira ? &mira->runControl() : nullptr;
}

}  // namespace

TswitFM::TswitFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleExternalSwitches), env),
      switches_(env.machine, env.sounds, panelOf(env.mainWindow), runOf(env.mainWindow)) {
    setObjectName(QStringLiteral("switFM"));
    setFixedSize(switart::kWidth, switart::kHeight);
    swImage = new ModulePicture(*this, this, "swImage");
    swImage->setGeometry(0, 0, switart::kWidth, switart::kHeight);
    devLabel = new QLabel(QString::fromLatin1(kLabelText), this);
    displayart::styleDeviceLabel(devLabel);
    devLabel->setGeometry(switart::kLabelX, switart::kLabelY, 200, kLabelHeight);
    tr1Img = new QLabel(this);
    tr1Img->setObjectName(QStringLiteral("tr1Img"));
    tr1Img->setGeometry(switart::kTriggerX, switart::kTriggerY, switart::kTriggerWidth,
                        switart::kTriggerHeight);
    tr1Img->setAttribute(Qt::WA_TransparentForMouseEvents);
    tr1Img->hide();
    displayart::roundWindowMask(this, 8);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* set = PopupMenu1->addMenu(QStringLiteral("Set SW Switches"));
    set->setObjectName(QStringLiteral("SetSWSwitches1"));
    addMenuItem(set, "All11", QStringLiteral("All 1"), [this] { switches_.setAll(true); });
    addMenuItem(set, "All01", QStringLiteral("All 0"), [this] { switches_.setAll(false); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    switches_.setHost(this);
}

TswitFM::~TswitFM() { switches_.setHost(nullptr); }

void TswitFM::placeTrigger() {
    const qreal dpr = devicePixelRatioF();
    if (marker_.isNull() || !qFuzzyCompare(marker_.devicePixelRatio(), dpr)) {
        marker_ = switart::makeTriggerMarker(dpr);
        tr1Img->setPixmap(QPixmap::fromImage(marker_));
    }
    tr1Img->setVisible(switches_.showsTrigger());
    tr1Img->raise();
}

void TswitFM::doInit(int mask) {
    switches_.doInit(mask);
    placeTrigger();
    devLabel->setText(QString::fromLatin1(kLabelText));
}

void TswitFM::openFromMenu() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    if (!devices::confirmSwitchRegisterAllOnes(env_.machine.switches, env_.prompter)) return;
    PutDevice(core::kModuleExternalSwitches);
    doInit(devices::kExtRestMask);
    show();
}

void TswitFM::reopen(const core::ReopenStep& step) {
    PutDevice(core::kModuleExternalSwitches);
    doInit(step.initArg & 255);
    show();
}

void TswitFM::writeOpenState(core::OpenWindows& open) const {
    open.setVisible(core::kOpenExternalSwitches, isVisible());
    open.setNumber(core::kOpenExternalSwitchesType, GetDevice());
    open.setNumber(core::kOpenExternalMask1, switches_.mask());
}

std::string TswitFM::GetScreenData() const {
    return std::to_string(x()) + "~" + std::to_string(y()) + "~";
}

void TswitFM::PutScreenData(const std::string& state) {
    restorePosition(state);
    placeTrigger();
}

void TswitFM::redrawLevers() { swImage->requestRepaint(); }

void TswitFM::paintPicture(QPainter& p) {
    const qreal dpr = swImage->devicePixelRatioF();
    if (box_.isNull() || !qFuzzyCompare(box_.devicePixelRatio(), dpr))
        box_ = switart::makeSwitchBox(dpr);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(swImage->rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), box_);
    for (int i = 0; i < 8; ++i) switart::paintLever(p, i, switches_.dataBit(i));
    switart::paintLever(p, 8, !switches_.loadAddressPressed());
    switart::paintLever(p, 9, !switches_.depositPressed());
}

void TswitFM::pictureMousePress(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint at = e->position().toPoint();
    if (switches_.mouseDown(at.x(), at.y()).dragStart) dragPress(e);
}

void TswitFM::pictureMouseRelease(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    switches_.mouseUp();
    dragRelease(e);
}

void TswitFM::pictureContextMenu(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void TswitFM::closeEvent(QCloseEvent* e) {
    // SR no longer depends on the module; another module's input slot 0 stays bound.
    switches_.close();
    e->accept();
}

}  // namespace mira::gui
