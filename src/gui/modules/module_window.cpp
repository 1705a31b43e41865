#include "modules/module_window.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

#include "core/field_list.h"
#include "window_place.h"

namespace mira::gui {

ModuleWindow::ModuleWindow(const devices::ModuleKind& kind, const ModuleEnv& env)
    : QWidget(env.mainWindow, Qt::Window | Qt::FramelessWindowHint), env_(env), kind_(kind) {
    setWindowTitle(QString::fromLatin1(kind.caption));
    letDesktopShowThrough(this);
    placeOnShow(this);
}

ModuleWindow::~ModuleWindow() = default;

void ModuleWindow::openFromMenu() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    const auto direction = kind_.slots == devices::SlotUse::Input ? devices::SlotDirection::Input
                                                                  : devices::SlotDirection::Output;
    const int slot = askForSlot(direction);
    if (slot < 0) return;
    bindSlot(slot);
    initFromMenu();
    show();
}

void ModuleWindow::reopen(const core::ReopenStep& step) {
    bindSlot(step.slot);
    initForReopen(step.initArg);
    show();
}

void ModuleWindow::writeOpenState(core::OpenWindows& open) const {
    open.setVisible(kind_.openField, isVisible());
    if (kind_.slots == devices::SlotUse::Output || kind_.slots == devices::SlotUse::Input)
        open.setNumber(kind_.openField + 1, boundSlot());
}

int ModuleWindow::askForSlot(devices::SlotDirection direction) {
    return devices::askForSlot(env_.machine.bus, direction, devices::moduleSelectTitle(kind_.type),
                               env_.prompter, env_.chooser);
}

QSize ModuleWindow::screenSize() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}

void ModuleWindow::restorePosition(const std::string& state) {
    const QSize screen = screenSize();
    const core::WindowPosition at =
        core::windowPositionFromState(state, screen.width(), screen.height());
    move(at.left, at.top);
}

QAction* ModuleWindow::addMenuItem(QMenu* menu, const char* name, const QString& caption,
                                   std::function<void()> onClick) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [f = std::move(onClick)] { f(); });
    return a;
}

void ModuleWindow::dragPress(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    if (startWindowSystemMove(this)) return;
    dragging_ = true;
    dragOrigin_ = e->globalPosition().toPoint();
    windowOrigin_ = pos();
}

void ModuleWindow::dragMove(QMouseEvent* e) {
    if (!dragging_) return;
    const QSize screen = screenSize();
    const QPoint to = windowOrigin_ + (e->globalPosition().toPoint() - dragOrigin_);
    move(std::clamp(to.x(), 0, std::max(0, screen.width() - width())),
         std::clamp(to.y(), 0, std::max(0, screen.height() - height())));
}

void ModuleWindow::dragRelease(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragging_ = false;
}

void ModuleWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // Windows that shape themselves (round displays, printer, player) set their own mask.
    if (mask().isEmpty()) shapeToPicture(this);
}

}  // namespace mira::gui
