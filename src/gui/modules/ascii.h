// The ASCII keyboard window: while it has the focus, each released key (by its place on
// a US layout) with its modifiers becomes one code on the input slot; a green lamp shows
// the focus.
#pragma once

#include <QMenu>
#include <QWidget>
#include <optional>

#include "devices/ascii_keyboard.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QKeyEvent;
class QLabel;

namespace mira::gui {

// The key a key event means: from its X11/evdev scan code where the platform gives one,
// else from the Qt key (a shifted symbol names the key it is on).
std::optional<devices::AsciiKey> asciiKeyFromScanCode(quint32 scanCode);
std::optional<devices::AsciiKey> asciiKeyFromQtKey(int key);
std::optional<devices::AsciiKey> asciiKeyOf(const QKeyEvent& e);

class TasciiFM : public ModuleWindow, public devices::AsciiKeyboardHost, public PictureOwner {
  public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 103;
    static constexpr int kLampY = 5;
    static constexpr int kLampXActive = 280;
    static constexpr int kLampXInactive = 500;  // outside the window: hidden
    static constexpr int kLampSize = 16;

    explicit TasciiFM(const ModuleEnv& env);
    ~TasciiFM() override;

    devices::AsciiKeyboard& keyboard() { return kb_; }
    // Where the focus lamp stands now.
    QRect lampRect() const { return {lampX_, kLampY, kLampSize, kLampSize}; }

    void PutDevice(int slot) { kb_.PutDevice(slot); }
    int GetDevice() const { return kb_.GetDevice(); }
    void doInit();
    void doReset() { kb_.doReset(); }

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    void initForReopen(int) override { doInit(); }

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const;

    // AsciiKeyboardHost
    void drawLabel() override;
    bool windowVisible() const override { return isVisible(); }

  protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void paintKeyboard(QPainter& p);
    // PictureOwner
    void paintPicture(QPainter& p) override { paintKeyboard(p); }
    void pictureMousePress(QMouseEvent* e) override { imageMouseDown(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { dragRelease(e); }
    void pictureContextMenu(QContextMenuEvent* e) override { PopupMenu1->popup(e->globalPos()); }
    void placeLamp();
    void imageMouseDown(QMouseEvent* e);

    devices::AsciiKeyboard kb_;
    ModulePicture* Image1 = nullptr;
    QLabel* devLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QImage housing_;
    int lampX_ = kLampXInactive;
};

}  // namespace mira::gui
