// The window both command-driven displays share (`Tdisp8FM`, `Tdisp57FM`): frameless,
// dragged by its picture, drawn from the display logic it owns, with a popup menu to
// reset and disconnect it. Each display paints its own face.
#pragma once

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <string>

#include "devices/display_host.h"
#include "devices/module_catalogue.h"
#include "modules/display_art.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

namespace mira::gui {

struct DisplayWindowShape {
    const char* objectName;
    int moduleType;
    int width;
    int height;
    int labelX;
    int labelY;
};

template <class Display>
class DisplayWindow : public ModuleWindow, public devices::DisplayHost, public PictureOwner {
public:
    DisplayWindow(const ModuleEnv& env, const DisplayWindowShape& shape)
        : ModuleWindow(*devices::moduleKindOfType(shape.moduleType), env),
          display_(env.machine.bus, this) {
        constexpr int kLabelHeight = 15;
        setObjectName(QString::fromLatin1(shape.objectName));
        setFixedSize(shape.width, shape.height);
        dispImage = new ModulePicture(*this, this, "dispImage");
        dispImage->setGeometry(0, 0, shape.width, shape.height);
        devLabel = new QLabel(this);
        displayart::styleDeviceLabel(devLabel);
        devLabel->setGeometry(shape.labelX, shape.labelY, shape.width - shape.labelX - 12,
                              kLabelHeight);
        displayart::roundWindowMask(this, 10);

        PopupMenu1 = new QMenu(this);
        PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
        addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { doReset(); });
        addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
        refreshLabel();
    }
    ~DisplayWindow() override { display_.setHost(nullptr); }

    Display& display() { return display_; }
    const Display& display() const { return display_; }

    void PutDevice(int slot) { display_.PutDevice(slot); }
    int GetDevice() const { return display_.GetDevice(); }
    void doInit() {
        display_.doInit();
        refreshLabel();
    }
    void doReset() { doInit(); }

    // ModuleWindow. Every opening initialises the display, so its slot reads ready
    // whichever time the window is opened.
    std::string GetScreenData() const override {
        return std::to_string(x()) + "~" + std::to_string(y()) + "~";
    }
    void PutScreenData(const std::string& state) override { restorePosition(state); }
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    void initForReopen(int) override { doInit(); }

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const { return dispImage; }

    // DisplayHost
    // The label too: a restored state may hold another slot. QLabel ignores an unchanged
    // text, so a character costs no more than before.
    void redraw() override {
        refreshLabel();
        dispImage->requestRepaint();
    }
    bool windowVisible() const override { return isVisible(); }

    // PictureOwner: the housing is cleared to transparent for the rounded corners, then
    // the display paints its face.
    void paintPicture(QPainter& p) override {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(dispImage->rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paintFace(p, dispImage->devicePixelRatioF());
    }
    void pictureMousePress(QMouseEvent* e) override { dragPress(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { dragRelease(e); }
    void pictureContextMenu(QContextMenuEvent* e) override { PopupMenu1->popup(e->globalPos()); }

protected:
    virtual void paintFace(QPainter& p, qreal dpr) = 0;

    void closeEvent(QCloseEvent* e) override {
        display_.close();
        refreshLabel();
        e->accept();
    }

    Display display_;

private:
    void refreshLabel() { devLabel->setText(QString::fromStdString(display_.labelText())); }

    ModulePicture* dispImage = nullptr;
    QLabel* devLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
};

}  // namespace mira::gui
