// The cassette recorder TmagFM: a frameless window with the cassette, the reels, the key
// strip and the rolling counter, drawn from the recorder logic it owns; and its popup's
// tape commands with their file dialogs.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/machine.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/mag_tape.h"
#include "modules/module_window.h"

class QLabel;
class QMenu;
class QToolButton;
class QDialog;

namespace mira::gui {

class TmagFM final : public ModuleWindow, public devices::MagTapeHost {
public:
    static constexpr const char* kOpenTitle = "Open Magnetic Tape File";
    static constexpr const char* kSaveTitle = "Save Magnetic Tape File";
    static constexpr const char* kFilter = "Magnetic Tape Files (*.mtf);;All Files (*.*)";

    explicit TmagFM(const ModuleEnv& env);
    ~TmagFM() override;

    devices::MagTape& mag() { return mag_; }

    void PutInDevice(int slot) { mag_.PutInDevice(slot); }
    void PutOutDevice(int slot) { mag_.PutOutDevice(slot); }
    int GetInDevice() const { return mag_.GetInDevice(); }
    int GetOutDevice() const { return mag_.GetOutDevice(); }
    void doInit();
    void doReset() { mag_.doReset(); }
    bool SaveModifiedTapeFile() { return mag_.SaveModifiedTapeFile(); }

    // ModuleWindow: two slots, asked for one after the other.
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void openFromMenu() override;
    void reopen(const core::ReopenStep& step) override;
    void writeOpenState(core::OpenWindows& open) const override;
    void beforeSettingsSave() override { mag_.askSaveBeforeSettings(); }

    // Popup commands.
    void NewTape1Click() { mag_.NewTape(); }
    void LoadTape1Click();
    void SaveTape1Click() { mag_.SaveTape(); }
    void Erase1Click() { mag_.Erase(); }
    void EjectTape1Click() { mag_.EjectTape(); }
    void Playlist1Click();
    // "Disconnect": closes only when the tape's changes are dealt with.
    void Close1Click();

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QLabel* nameLabel() const { return tapeLabel; }
    QToolButton* resetCounterButton() const { return SpeedButton3; }

    // Test seams: replace the file dialogs (empty = Cancel) and the playlist dialog's run.
    std::function<QString(const QString& suggested)> chooseOpenFile;
    std::function<QString(const QString& suggested)> chooseSaveFile;
    std::function<void(QDialog& dialog)> runPlaylist;

    // MagTapeHost
    void drawRecorder() override;
    bool windowVisible() const override { return isVisible(); }
    std::string askSaveFile(const std::string& suggested) override;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void ensureArt(qreal dpr);
    void refreshLabels();

    devices::MagTape mag_;
    QMenu* PopupMenu1 = nullptr;
    QLabel* devLabel = nullptr;
    QLabel* tapeLabel = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    qreal artDpr_ = 0;
    QImage body_, cassette_, keys_, digits_;
    std::array<QImage, 5> pressed_;
};

}  // namespace mira::gui
