// The picture widget of a module window that draws itself: painting, mouse and the popup
// menu go to the window that owns it. A program may change the picture every few clock
// states of a fast run, so repaints are asked for freely and made at display rate.
#pragma once

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <optional>
#include <QWidget>

namespace mira::gui {

class PictureOwner {
public:
    virtual ~PictureOwner() = default;
    virtual void paintPicture(QPainter& p) = 0;
    virtual void pictureMousePress(QMouseEvent* e) = 0;
    virtual void pictureMouseMove(QMouseEvent* e) = 0;
    virtual void pictureMouseRelease(QMouseEvent* e) = 0;
    virtual void pictureContextMenu(QContextMenuEvent* e) = 0;
    // A tip for the place under the mouse (empty: none there); no value leaves tips to
    // the widget's own tool tip.
    virtual std::optional<QString> pictureToolTip(QPoint) const { return std::nullopt; }
};

class ModulePicture final : public QWidget {
public:
    // An opaque picture paints every pixel itself; elsewhere the window's background shows
    // where the picture leaves pixels transparent.
    enum Fill { Opaque, Transparent };

    ModulePicture(PictureOwner& owner, QWidget* parent, const char* name, Fill fill = Opaque)
        : QWidget(parent), owner_(owner) {
        setObjectName(QString::fromLatin1(name));
        if (fill == Opaque) setAttribute(Qt::WA_OpaquePaintEvent);
        frameTimer_.setSingleShot(true);
        QObject::connect(&frameTimer_, &QTimer::timeout, this, [this] { update(); });
        sinceRepaint_.start();
    }

    // At most one repaint per frame; asking again before it is made costs a test.
    void requestRepaint() {
        if (repaintPending_) return;
        repaintPending_ = true;
        const qint64 since = sinceRepaint_.elapsed();
        if (since >= kFrameMs)
            update();
        else
            frameTimer_.start(static_cast<int>(kFrameMs - since));
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(e);
            if (const auto tip = owner_.pictureToolTip(help->pos())) {
                if (tip->isEmpty())
                    QToolTip::hideText();
                else
                    QToolTip::showText(help->globalPos(), *tip, this);
                return true;
            }
        }
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        owner_.paintPicture(p);
        sinceRepaint_.restart();
        repaintPending_ = false;
    }
    void mousePressEvent(QMouseEvent* e) override { owner_.pictureMousePress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { owner_.pictureMouseMove(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { owner_.pictureMouseRelease(e); }
    void contextMenuEvent(QContextMenuEvent* e) override { owner_.pictureContextMenu(e); }

private:
    static constexpr int kFrameMs = 16;
    PictureOwner& owner_;
    QTimer frameTimer_;
    QElapsedTimer sinceRepaint_;
    bool repaintPending_ = false;
};

}  // namespace mira::gui
