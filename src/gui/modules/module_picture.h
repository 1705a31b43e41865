// The picture widget of a module window that draws itself: painting, mouse and the popup
// menu go to the window that owns it.
#pragma once

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
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
};

class ModulePicture final : public QWidget {
public:
    ModulePicture(PictureOwner& owner, QWidget* parent, const char* name)
        : QWidget(parent), owner_(owner) {
        setObjectName(QString::fromLatin1(name));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        owner_.paintPicture(p);
    }
    void mousePressEvent(QMouseEvent* e) override { owner_.pictureMousePress(e); }
    void mouseMoveEvent(QMouseEvent* e) override { owner_.pictureMouseMove(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { owner_.pictureMouseRelease(e); }
    void contextMenuEvent(QContextMenuEvent* e) override { owner_.pictureContextMenu(e); }

private:
    PictureOwner& owner_;
};

}  // namespace mira::gui
