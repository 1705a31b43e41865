// The external switches window `TswitFM`: eight data switches and two control switches
// drawn from the machine state, worked by the mouse; frameless, dragged by its top band.
#pragma once

#include <QImage>

#include "devices/external_switches.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QLabel;
class QMenu;

namespace mira::gui {

class TswitFM final : public ModuleWindow,
                      public devices::ExternalSwitchesHost,
                      public PictureOwner {
public:
    // The label names what the switches act on: they hold no device slot.
    static constexpr const char* kLabelText = "Switch Register Mask";

    explicit TswitFM(const ModuleEnv& env);
    ~TswitFM() override;

    devices::ExternalSwitches& switches() { return switches_; }

    void PutDevice(int type) { switches_.PutDevice(type); }
    int GetDevice() const { return switches_.GetDevice(); }
    void doInit(int mask);

    // ModuleWindow: the menu asks for the switch register first and binds no slot; line
    // 020 keeps the type and the mask.
    void openFromMenu() override;
    void reopen(const core::ReopenStep& step) override;
    void writeOpenState(core::OpenWindows& open) const override;
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& state) override;

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const { return swImage; }
    QLabel* triggerMarker() const { return tr1Img; }

    // ExternalSwitchesHost
    void redrawLevers() override;

    // PictureOwner
    void paintPicture(QPainter& p) override;
    void pictureMousePress(QMouseEvent* e) override;
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override;
    void pictureContextMenu(QContextMenuEvent* e) override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void placeTrigger();

    devices::ExternalSwitches switches_;
    QImage box_;
    QImage marker_;

    ModulePicture* swImage = nullptr;
    QLabel* devLabel = nullptr;
    QLabel* tr1Img = nullptr;
    QMenu* PopupMenu1 = nullptr;
};

}  // namespace mira::gui
