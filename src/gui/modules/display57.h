// The two-line alpha display window `Tdisp57FM`: frameless, dragged by its picture, every
// dot painted from the display logic it owns, with a popup menu to reset and disconnect it.
#pragma once

#include <QImage>

#include "devices/alpha_display.h"
#include "modules/display_art.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QLabel;
class QMenu;

namespace mira::gui {

class Tdisp57FM final : public ModuleWindow,
                        public devices::AlphaDisplayHost,
                        public PictureOwner {
public:
    explicit Tdisp57FM(const ModuleEnv& env);
    ~Tdisp57FM() override;

    devices::AlphaDisplay& display() { return display_; }
    const devices::AlphaDisplay& display() const { return display_; }

    void PutDevice(int slot) { display_.PutDevice(slot); }
    int GetDevice() const { return display_.GetDevice(); }
    void doInit();
    void doReset() { doInit(); }

    // ModuleWindow. Every opening initialises the display, so its slot reads ready
    // whichever time the window is opened.
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& state) override;
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    void initForReopen(int) override { doInit(); }

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const { return dispImage; }

    // AlphaDisplayHost
    void redraw() override;
    bool windowVisible() const override { return isVisible(); }

    // PictureOwner
    void paintPicture(QPainter& p) override;
    void pictureMousePress(QMouseEvent* e) override { dragPress(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { dragRelease(e); }
    void pictureContextMenu(QContextMenuEvent* e) override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void refreshLabel();

    devices::AlphaDisplay display_;
    QImage housing_;
    displayart::AlphaGlyphs glyphs_;

    ModulePicture* dispImage = nullptr;
    QLabel* devLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
};

}  // namespace mira::gui
