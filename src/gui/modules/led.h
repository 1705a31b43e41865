// The octal and decimal LED display windows: frameless, dragged by their picture, drawn
// from the display logic they own, with a popup menu and the options dialog.
#pragma once

#include <QImage>
#include <QMenu>
#include <QWidget>
#include <memory>

#include "devices/led_display.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QLabel;

namespace mira::gui {

class LedWindow : public ModuleWindow, public devices::LedDisplayHost, public PictureOwner {
public:
    LedWindow(devices::LedKind kind, const ModuleEnv& env);
    ~LedWindow() override;

    devices::LedDisplay& display() { return display_; }
    const devices::LedDisplay& display() const { return display_; }
    // The main window's shared strip of four empty tubes; null when Nixies are unavailable.
    void setTubeStrip(const QImage* strip);

    void PutDevice(int slot) { display_.PutDevice(slot); }
    int GetDevice() const { return display_.GetDevice(); }
    void doInit(bool enable) { display_.doInit(enable); }
    void doReset() { display_.doReset(); }

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    // From the menu and at reopen the display is enabled; a glyph failure closes the
    // window on the next tick, so it never shows.
    void openFromMenu() override;
    void reopen(const core::ReopenStep& step) override;

    // Popup menu commands.
    void Options1Click();
    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const;

    // LedDisplayHost
    bool loadGlyphs(bool led) override;
    void drawBackground() override;
    void drawDigits() override;
    void closeWindow() override { close(); }
    bool windowVisible() const override { return isVisible(); }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void paintDisplay(QPainter& p);
    // PictureOwner
    void paintPicture(QPainter& p) override { paintDisplay(p); }
    void pictureMousePress(QMouseEvent* e) override { dragPress(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { dragRelease(e); }
    void pictureContextMenu(QContextMenuEvent* e) override { PopupMenu1->popup(e->globalPos()); }
    void refreshLabel();
    void ensureArt(qreal dpr);

    const devices::LedKind kind_;
    devices::LedDisplay display_;
    const QImage* tubeStrip_ = nullptr;
    QImage glyphs_;
    bool glyphsLed_ = true;
    QImage housing_;
    qreal artDpr_ = 0;

    ModulePicture* displayImage = nullptr;
    QLabel* devLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
};

class TledFM final : public LedWindow {
public:
    explicit TledFM(const ModuleEnv& env);
};

class TdecledFM final : public LedWindow {
public:
    explicit TdecledFM(const ModuleEnv& env);
};

}  // namespace mira::gui
