#include "window_place.h"

#include <QApplication>
#include <QBitmap>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <vector>

#include "core/window_placement.h"

namespace mira::gui {

namespace {

QPointer<QWidget> gPanel;

bool nativeWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

// A window not yet mapped has no frame to measure; this is what a window manager's title
// bar and borders commonly add, so that the first placement already leaves it whole.
constexpr int kGuessedTitle = 28;
constexpr int kGuessedBorder = 4;

// The window's outer frame at its position (pos() is the frame's corner, as move() takes it).
core::PlaceRect outerRect(const QWidget* w) {
    QSize size = w->frameGeometry().size();
    if (size == w->size() && !(w->windowFlags() & Qt::FramelessWindowHint))
        size += QSize(2 * kGuessedBorder, kGuessedTitle + kGuessedBorder);
    return {w->x(), w->y(), size.width(), size.height()};
}

std::vector<core::PlaceRect> screenAreas() {
    std::vector<core::PlaceRect> areas;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect a = s->availableGeometry();
        areas.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    if (areas.empty()) areas.push_back({0, 0, 1024, 768});
    return areas;
}

class Placer final : public QObject {
  public:
    using QObject::QObject;
    std::vector<QPointer<QWidget>> managed;

    void place(QWidget* w) {
        const std::vector<core::PlaceRect> screens = screenAreas();
        const core::PlaceRect outer = outerRect(w);
        core::PlaceRect to;
        std::vector<core::PlaceRect> others;
        for (const QPointer<QWidget>& o : managed)
            if (o && o != w && o != gPanel && o->isVisible()) others.push_back(outerRect(o));
        // Never moved, or moved to the corner by a stored place that the clamp sent there.
        const bool unplaced = !w->testAttribute(Qt::WA_Moved) || w->pos() == QPoint(0, 0);
        if (unplaced && w == gPanel) {
            // The panel itself, with no place of its own, takes the screen's top-left corner
            // (where its settings line puts it by default), leaving room beside it.
            const core::PlaceRect& screen = core::screenFor(outer, screens);
            to = core::fitInto({screen.x, screen.y, outer.width, outer.height}, screen);
        } else if (unplaced && gPanel && gPanel->isVisible()) {
            to = core::placeBesidePanel(outerRect(gPanel), outer.width, outer.height, screens,
                                        others);
        } else {
            if (gPanel && gPanel != w && gPanel->isVisible()) others.push_back(outerRect(gPanel));
            to = core::restorePlace(outer, screens, others);
            if (to == outer) return;
        }
        // Before the first mapping the frame is not known, and move() alone puts the client
        // area where the frame belongs (the title bar above the screen): the window is also
        // told that the place is its frame's.
        w->move(to.x, to.y);
        if (QWindow* handle = w->windowHandle()) handle->setFramePosition(QPoint(to.x, to.y));
    }

    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && o->isWidgetType()) {
            auto* w = static_cast<QWidget*>(o);
            if (w->isWindow()) place(w);
        }
        return false;
    }
};

Placer* placer() {
    static QPointer<Placer> p;
    if (!p) p = new Placer(qApp);
    return p;
}

// Remembers, for each open modal window, who had the activation and the focus.
class FocusReturn final : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* o, QEvent* e) override {
        const QEvent::Type t = e->type();
        if ((t != QEvent::Show && t != QEvent::Hide) || !o->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(o);
        if (!w->isWindow()) return false;
        if (!w->isModal()) {
            // A window that opens (a module after its slot question) keeps the activation
            // it is given.
            if (t == QEvent::Show &&
                !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip))
                ++shown_;
            return false;
        }
        if (t == QEvent::Show) {
            QWidget* opener = QApplication::activeWindow();
            if (opener == w) return false;
            openers_.insert(w, {opener, QApplication::focusWidget()});
            return false;
        }
        const Opened was = openers_.take(w);
        if (!was.window) return false;
        // After the box has gone: the window manager may first hand the activation to the
        // box's parent, so the opener asks for it back once the hide has settled.
        const unsigned shownBefore = shown_;
        QTimer::singleShot(0, this, [this, was, shownBefore] {
            if (!was.window || !was.window->isVisible() || shown_ != shownBefore) return;
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != was.window) return;
            was.window->activateWindow();
            if (was.focus && was.focus->isVisible() && was.focus->window() == was.window)
                was.focus->setFocus(Qt::ActiveWindowFocusReason);
        });
        return false;
    }

  private:
    struct Opened {
        QPointer<QWidget> window;
        QPointer<QWidget> focus;
    };
    QHash<QObject*, Opened> openers_;
    unsigned shown_ = 0;
};

}  // namespace

void setPlacementPanel(QWidget* panel) {
    gPanel = panel;
}

void placeOnShow(QWidget* window) {
    Placer* p = placer();
    std::erase_if(p->managed, [](const QPointer<QWidget>& w) { return w.isNull(); });
    window->installEventFilter(p);
    p->managed.emplace_back(window);
}

bool startWindowSystemMove(QWidget* window) {
    QWindow* handle = window->windowHandle();
    return handle != nullptr && handle->startSystemMove();
}

void shapeToPicture(QWidget* window) {
    // Drawn at one device pixel per pixel: the mask is in the window's own coordinates.
    QImage picture(window->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    window->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    const QBitmap opaque = QBitmap::fromImage(picture.createAlphaMask());
    const QRegion shape(opaque);
    if (!shape.isEmpty() && shape != QRegion(window->rect())) window->setMask(shape);
}

void letDesktopShowThrough(QWidget* window) {
    // Weston draws what an XWayland window's buffer holds outside its X11 shape (black
    // corners); only an alpha channel keeps it clear. A plain X server keeps the mask alone,
    // and the pixels of today.
    const bool xwayland = QGuiApplication::platformName() == QLatin1String("xcb") &&
                          !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (nativeWayland() || xwayland) window->setAttribute(Qt::WA_TranslucentBackground);
}

bool windowSystemReportsPlaces() { return !nativeWayland(); }

void installFocusReturn() {
    static QPointer<FocusReturn> f;
    if (f) return;
    f = new FocusReturn(qApp);
    qApp->installEventFilter(f);
}

QWidget* openerWindow(QWidget* fallback) {
    QWidget* active = QApplication::activeWindow();
    return active ? active : fallback;
}

}  // namespace mira::gui
