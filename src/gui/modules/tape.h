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
#include "modules/module_window.h"
#include "views/tape_save.h"

class QMenu;
class QLabel;

namespace mira::core {
class RunControl;
}

namespace mira::gui {

// What both tape windows share: the frame picture, the feed button, dragging.
class PaperTapeWindow : public ModuleWindow {
public:
    PaperTapeWindow(bool punch, const devices::ModuleKind& kind, const ModuleEnv& env);

    QMenu* popupMenu() const { return PopupMenu1; }
    bool buttonPressed() const { return buttonDown_; }

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

    QMenu* PopupMenu1 = nullptr;

private:
    void ensureArt(qreal dpr);

    const bool punch_;
    bool buttonDown_ = false;
    qreal artDpr_ = 0;
    QImage body_, lead_, cover_, buttonPressed_;
};

class TtapeFM final : public PaperTapeWindow, public devices::TapeReaderHost {
public:
    static constexpr const char* kOpenTitle = "Open Paper Tape File";

    explicit TtapeFM(const ModuleEnv& env);
    ~TtapeFM() override;

    devices::TapeReader& reader() { return reader_; }

    void PutDevice(int type) { reader_.PutDevice(type); }
    int GetDevice() const { return reader_.GetDevice(); }
    void doInit() { reader_.doInit(); }
    void doReset() { reader_.doReset(); }
    void StopTape() { reader_.StopTape(); }
    // ModuleWindow: the reader needs input slot 0 and asks about the switch register.
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void openFromMenu() override;
    void reopen(const core::ReopenStep& step) override;
    void writeOpenState(core::OpenWindows& open) const override;
    void fastRunStarting() override {
        if (isVisible()) StopTape();
    }

    // "Load Tape": the open dialog from the editor's file, then the load; a loaded tape
    // tells the main window, which forgets the breakpoints and the address table.
    void LoadTape1Click();
    // The open dialog's first name: the editor's file with ".ptp", else "*.ptp".
    static QString suggestedName(const QString& editorFile);

    // Test seam: replaces the open dialog (empty = Cancel).
    std::function<QString(const QString& suggested)> chooseOpenFile;

    // TapeReaderHost
    void drawTape() override { update(); }
    void machineChanged() override;
    bool windowVisible() const override { return isVisible(); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void buttonAction() override { reader_.buttonAction(); }
    int rowsPassed() const override { return reader_.position(); }
    const std::vector<int>& tapeRows() const override { return reader_.rows(); }
    bool tapeShown() const override { return reader_.hasTape(); }
    bool faultShown() const override { return reader_.faultLamp(); }

private:
    // The front panel whose LOAD ADDRESS and DEPOSIT the loader works: the main window's.
    core::FrontPanel& loaderPanel(const ModuleEnv& env);

    std::unique_ptr<core::RunControl> ownRun_;
    std::unique_ptr<core::FrontPanel> ownPanel_;
    devices::TapeReader reader_;
};

class TtapewtFM final : public PaperTapeWindow, public devices::TapePunchHost {
public:
    explicit TtapewtFM(const ModuleEnv& env);
    ~TtapewtFM() override;

    devices::TapePunch& punch() { return punch_; }

    void PutDevice(int slot) { punch_.PutDevice(slot); }
    int GetDevice() const { return punch_.GetDevice(); }
    void doInit();
    void doReset() { punch_.doReset(); }
    QLabel* label() const { return devLabel; }

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    // The reopen order does not initialise the punch, but its label and flag need it.
    void initForReopen(int) override { doInit(); }

    // "Save Tape": the punched bytes through SaveTapeFile.
    void SaveTape1Click();

    // Test seams for SaveTapeFile's dialogs.
    std::function<bool(int& from, int& to)> chooseRange;
    std::function<QString(const QString& suggested)> chooseFile;

    // TapePunchHost
    void drawTape() override { update(); }
    bool windowVisible() const override { return isVisible(); }

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
    QLabel* devLabel = nullptr;
};

}  // namespace mira::gui
