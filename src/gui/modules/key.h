// The Keypad window: sixteen keys and six lamps drawn on one picture, the key logic it
// owns, its popup menu and its place on the screen.
#pragma once

#include <QMenu>
#include <QRect>
#include <QWidget>
#include <array>

#include "devices/keypad.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QLabel;

namespace mira::gui {

class TkeyFM : public ModuleWindow, public devices::KeypadHost, public PictureOwner {
  public:
    static constexpr int kWidth = 290;
    static constexpr int kHeight = 303;
    static constexpr int kLampY = 260;
    static constexpr int kLampSize = 18;
    // onL, onD, onC, onB, onA, onF
    static constexpr std::array<int, 6> kLampX{45, 76, 105, 136, 165, 220};
    static constexpr int kCtlKey = 15;

    explicit TkeyFM(const ModuleEnv& env);
    ~TkeyFM() override;

    devices::Keypad& keypad() { return pad_; }
    // Where key `tag` (0..14, 15 = CTL) sits in the window.
    static QRect keyRect(int tag);
    static QRect lampRect(int lamp) { return {kLampX[lamp], kLampY, kLampSize, kLampSize}; }
    bool lampLit(int lamp) const;

    void PutDevice(int slot) { pad_.PutDevice(slot); }
    int GetDevice() const { return pad_.GetDevice(); }
    void doInit() { pad_.doInit(); }
    void doReset(int level) { pad_.doReset(level); }

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    // Bound without doInit the slot would offer a key nobody pressed.
    void initForReopen(int) override { doInit(); }

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const;

    // KeypadHost
    void drawLamps() override;
    void drawLabel() override;
    bool windowVisible() const override { return isVisible(); }

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void paintKeypad(QPainter& p);
    // PictureOwner
    void paintPicture(QPainter& p) override { paintKeypad(p); }
    void pictureMousePress(QMouseEvent* e) override { imageMouseDown(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { imageMouseUp(e); }
    void pictureContextMenu(QContextMenuEvent* e) override { PopupMenu1->popup(e->globalPos()); }
    void imageMouseDown(QMouseEvent* e);
    void imageMouseUp(QMouseEvent* e);
    int keyAt(QPoint pos) const;

    devices::Keypad pad_;
    ModulePicture* keyImage = nullptr;
    QLabel* devLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QImage housing_;
    int downKey_ = -1;  // the data key held under the mouse
};

}  // namespace mira::gui
