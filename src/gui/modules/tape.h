// The paper tape reader TtapeFM and punch TtapewtFM: frameless windows that draw the tape
// their logic moves, with the feed button, the fault lamp and their popup menus.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/machine.h"
#include "core/panel.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/tape_punch.h"
#include "devices/tape_reader.h"
#include "views/tape_save.h"

class QMenu;
class QLabel;

namespace mira::gui {

// What both tape windows share: the frame picture, the feed button, dragging.
class PaperTapeWindow : public QWidget {
public:
    PaperTapeWindow(bool punch, QWidget* parent);

    QMenu* popupMenu() const { return PopupMenu1; }
    bool buttonPressed() const { return buttonDown_; }
    // The window's state line (Left, Top and the module's own fields).
    virtual std::string GetScreenData() const = 0;
    virtual void PutScreenData(const std::string& text) = 0;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

    virtual void buttonAction() = 0;
    // Rows above the head, the tape's rows, whether a tape is shown, the fault lamp.
    virtual int rowsPassed() const = 0;
    virtual const std::vector<int>& tapeRows() const = 0;
    virtual bool tapeShown() const = 0;
    virtual bool faultShown() const = 0;
    void restorePosition(const std::string& state);
    QSize screenSize() const;

    QMenu* PopupMenu1 = nullptr;

private:
    void ensureArt(qreal dpr);

    const bool punch_;
    bool buttonDown_ = false;
    bool dragging_ = false;
    QPoint dragOrigin_;
    QPoint windowOrigin_;
    qreal artDpr_ = 0;
    QImage body_, lead_, cover_, buttonPressed_;
};

class TtapeFM final : public PaperTapeWindow, public devices::TapeReaderHost {
public:
    static constexpr const char* kOpenTitle = "Open Paper Tape File";

    TtapeFM(core::Machine& machine, core::FrontPanel& panel, core::TimerFactory& timers,
            core::SoundEffects& sounds, core::Prompter& prompter, QWidget* parent);
    ~TtapeFM() override;

    devices::TapeReader& reader() { return reader_; }

    void PutDevice(int type) { reader_.PutDevice(type); }
    int GetDevice() const { return reader_.GetDevice(); }
    void doInit() { reader_.doInit(); }
    void doReset() { reader_.doReset(); }
    void StopTape() { reader_.StopTape(); }
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;

    // "Load Tape": the open dialog from the editor's file, then the load; a loaded tape
    // tells the main window, which forgets the breakpoints and the address table.
    void LoadTape1Click();
    // The open dialog's first name: the editor's file with ".ptp", else "*.ptp".
    static QString suggestedName(const QString& editorFile);

    std::function<QString()> editorFileName;
    std::function<void()> onTapeLoaded;
    std::function<void()> onMachineChanged;
    // Test seam: replaces the open dialog (empty = Cancel).
    std::function<QString(const QString& suggested)> chooseOpenFile;

    // TapeReaderHost
    void drawTape() override { update(); }
    void machineChanged() override {
        if (onMachineChanged) onMachineChanged();
    }
    bool windowVisible() const override { return isVisible(); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void buttonAction() override { reader_.buttonAction(); }
    int rowsPassed() const override { return reader_.position(); }
    const std::vector<int>& tapeRows() const override { return reader_.rows(); }
    bool tapeShown() const override { return reader_.hasTape(); }
    bool faultShown() const override { return reader_.faultLamp(); }

private:
    devices::TapeReader reader_;
    core::Prompter& prompter_;
};

class TtapewtFM final : public PaperTapeWindow, public devices::TapePunchHost {
public:
    TtapewtFM(core::Machine& machine, core::TimerFactory& timers, core::SoundEffects& sounds,
              core::Prompter& prompter, QWidget* parent);
    ~TtapewtFM() override;

    devices::TapePunch& punch() { return punch_; }

    void PutDevice(int slot) { punch_.PutDevice(slot); }
    int GetDevice() const { return punch_.GetDevice(); }
    void doInit();
    void doReset() { punch_.doReset(); }
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    QLabel* label() const { return devLabel; }

    // "Save Tape": the punched bytes through SaveTapeFile.
    void SaveTape1Click();

    std::function<QString()> editorFileName;
    // Whether sounds are heard (an audio output exists).
    std::function<bool()> audible;
    // Test seams for SaveTapeFile's dialogs.
    std::function<bool(int& from, int& to)> chooseRange;
    std::function<QString(const QString& suggested)> chooseFile;

    // TapePunchHost
    void drawTape() override { update(); }
    bool windowVisible() const override { return isVisible(); }
    bool soundAudible() const override { return audible && audible(); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void buttonAction() override { punch_.fitTape(); }
    int rowsPassed() const override { return punch_.punchPosition(); }
    const std::vector<int>& tapeRows() const override { return punch_.rows(); }
    bool tapeShown() const override { return punch_.tapeFitted(); }
    bool faultShown() const override { return punch_.faultLamp(); }

private:
    void refreshLabel();

    devices::TapePunch punch_;
    core::Prompter& prompter_;
    QLabel* devLabel = nullptr;
};

}  // namespace mira::gui
