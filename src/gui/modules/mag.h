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

class QLabel;
class QMenu;
class QToolButton;
class QDialog;

namespace mira::gui {

class TmagFM final : public QWidget, public devices::MagTapeHost {
public:
    static constexpr const char* kOpenTitle = "Open Magnetic Tape File";
    static constexpr const char* kSaveTitle = "Save Magnetic Tape File";
    static constexpr const char* kFilter = "Magnetic Tape Files (*.mtf);;All Files (*.*)";

    TmagFM(core::Machine& machine, core::TimerFactory& timers, core::SoundEffects& sounds,
           core::Prompter& prompter, QWidget* parent);
    ~TmagFM() override;

    devices::MagTape& mag() { return mag_; }

    void PutInDevice(int slot) { mag_.PutInDevice(slot); }
    void PutOutDevice(int slot) { mag_.PutOutDevice(slot); }
    int GetInDevice() const { return mag_.GetInDevice(); }
    int GetOutDevice() const { return mag_.GetOutDevice(); }
    void doInit();
    void doReset() { mag_.doReset(); }
    // Asks to save a changed tape before the state is written.
    std::string GetScreenData();
    void PutScreenData(const std::string& text);
    bool SaveModifiedTapeFile() { return mag_.SaveModifiedTapeFile(); }

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
    QSize screenSize() const;

    devices::MagTape mag_;
    core::Prompter& prompter_;
    QMenu* PopupMenu1 = nullptr;
    QLabel* devLabel = nullptr;
    QLabel* tapeLabel = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    bool dragging_ = false;
    QPoint dragOrigin_;
    QPoint windowOrigin_;
    qreal artDpr_ = 0;
    QImage body_, cassette_, keys_, digits_;
    std::array<QImage, 5> pressed_;
};

}  // namespace mira::gui
