// The melody player window `TplayFM`: a speaker that flashes as notes start, the MIDI
// status lamp, the device label, and a popup menu with the voices, the note delay dialog,
// Reset and Disconnect. The note logic and the MIDI output live in the player it owns.
#pragma once

#include <QMenu>
#include <QWidget>
#include <array>
#include <memory>

#include "devices/melody_player.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QAction;
class QLabel;

namespace mira::gui {

class TplayFM final : public ModuleWindow, public devices::MelodyPlayerHost, public PictureOwner {
public:
    explicit TplayFM(const ModuleEnv& env);
    ~TplayFM() override;

    devices::MelodyPlayer& player() { return player_; }
    // Replaces the host's MIDI output before the player first opens one (tests record).
    void setMidiOut(std::unique_ptr<devices::MidiOut> midi);

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& state) override;
    void bindSlot(int slot) override { player_.PutDevice(slot); }
    int boundSlot() const override { return player_.GetDevice(); }
    void initFromMenu() override { doInit(); }
    // The player is initialised on reopen too: it must open its MIDI output to play.
    void initForReopen(int) override { doInit(); }

    void doInit();
    // Popup menu commands.
    void Speed1Click();
    QMenu* popupMenu() const { return PopupMenu1; }
    QAction* voiceItem(int index) const { return voiceItems_[static_cast<size_t>(index)]; }
    QAction* outputItem() const { return outputItem_; }
    QLabel* label() const { return devLabel; }
    QWidget* image() const;
    // The text of the popup's first line: which output plays the notes.
    QString outputText() const;
    // The status window: the output on the first line, the note now sounding on the second.
    QLabel* statusLabel() const { return statusLabel_; }
    QString statusText() const;

    // MelodyPlayerHost
    void drawLamp() override;
    void drawFlash() override;
    void drawVoice() override;
    void drawLabel() override { refreshLabel(); }
    bool windowVisible() const override { return isVisible(); }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    // PictureOwner
    void paintPicture(QPainter& p) override;
    void pictureMousePress(QMouseEvent* e) override { dragPress(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { dragRelease(e); }
    void pictureContextMenu(QContextMenuEvent* e) override { PopupMenu1->popup(e->globalPos()); }
    void refreshLabel();
    void refreshStatus();
    void ensureMidiOut();

    std::unique_ptr<devices::MidiOut> midi_;
    devices::MelodyPlayer player_;

    ModulePicture* spkrImage = nullptr;
    QLabel* devLabel = nullptr;
    QLabel* statusLabel_ = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* outputItem_ = nullptr;
    std::array<QAction*, devices::melody::kVoices.size()> voiceItems_{};
};

}  // namespace mira::gui
