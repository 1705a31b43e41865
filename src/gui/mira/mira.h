// The main window: the MIRA-8 front panel with its lamps and switches, the speed panel,
// the popup menu with every command, the settings file and the start-up and closing order.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "assembler/assembler.h"
#include "assembler/instruction_table.h"
#include "core/history.h"
#include "core/machine.h"
#include "core/machine_snapshot.h"
#include "core/observer.h"
#include "core/panel.h"
#include "core/prompter.h"
#include "core/run_control.h"
#include "core/settings_file.h"
#include "core/sound.h"
#include "mira/panel_art.h"
#include "qt_timer.h"

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QScrollBar;

namespace mira::gui {

class DrawnControls;
class TeditFM;
class TmiraFM;
class TserialFM;
class ModuleWindows;
struct OptionValues;
class DebugViews;
class TtimingFM;

// The panel picture `miraImage`: draws the panel, lit lamps and overlays from the window's
// latched state and hands mouse events to the window in panel coordinates.
class MiraImage final : public QWidget {
public:
    explicit MiraImage(TmiraFM& owner);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    TmiraFM& owner_;
};

// Lamps as last updated: the register rows come from the machine's lamp latch, the rest is
// copied here at each lamp group 16 update so that paint never reads a half-run cycle.
struct StateLamps {
    std::array<bool, core::kInstructionLampCount> instruction{};
    bool run = false, fetch = true, defer = false, exec = false;
};
struct AuxLamps {
    bool HRled = false, T1T13 = false, SlowED = false, PZon = false;
    bool wifLabels = false;
};

class TmiraFM final : public QWidget,
                      public core::MachineObserver,
                      public core::PanelHost {
public:
    // `prompter` and `sound` default to message boxes and silence.
    explicit TmiraFM(core::Prompter* prompter = nullptr, core::SoundPlayer* sound = nullptr,
                     QWidget* parent = nullptr);
    ~TmiraFM() override;

    core::Machine& machine() { return m_; }
    core::RunControl& runControl() { return rc_; }
    core::FrontPanel& panel() { return panel_; }
    core::Prompter& prompter() { return *prompter_; }
    // The main settings lines, for the windows that keep a line of their own there.
    core::MainSettings& mainSettings() { return main_; }
    // The assembler's last result and the instruction table of the current mode, shared by
    // the editor, the views and the disassembler.
    assembler::Assembler& assembler() { return assembler_; }
    const assembler::InstructionTable& instructionTable() const { return instructionTable_; }
    // Reads "cmplr.dat" for the current mode; returns the instruction table state (0 failed).
    int LoadCompilerData();
    TeditFM* editFM() const { return editFM_.get(); }
    TserialFM* serialFM() const { return serialFM_.get(); }
    // "Assembler": show the editor, or close it when visible.
    void AssemblerClick();
    ModuleWindows& modules() { return *modules_; }
    // The memory, RAM, EEPROM and stack views.
    DebugViews& views() { return *views_; }
    TtimingFM* timingFM() const { return timingFM_.get(); }
    // "Timing Diagram": show the window, or close it when visible.
    void TimingDiagramClick();
    const PanelArt& art() const { return *art_; }
    const StateLamps& stateLamps() const { return stateLamps_; }
    const AuxLamps& auxLamps() const { return aux_; }
    // Auxiliary lamp `row` (0..3, top first) as drawn: in WIF mode the lower two show PC
    // bits 9 and 8.
    bool auxLampLit(int row) const;
    // The panel's switches and lamps for the keyboard and a screen reader.
    DrawnControls* panelControls() const { return panelControls_; }
    bool switchPictureThrown(int i) const { return shownSwitches_.at(i); }
    QWidget* image() const;
    QMenu* popupMenu() const { return PopupMenu1; }

    // The application's name, set before any window. No display name: X11 would append it
    // to every window title, which must be the window's caption alone.
    static void nameApplication();

    // The first activation's work; runs once, from the first show.
    void FormActivate();
    bool activated() const { return activated_; }

    void SetPCfromSwitches();
    // Lamp update with a group mask (1 PC, 2 MA, 4 MB, 8 AC, 16 state; 31 all).
    void doLamps(uint32_t groups);
    // HRled, T1T13, SlowED, PZon and the WIF overlays from the options.
    void SetAuxLamps();
    void SetMenuAvailability();
    void SetInitCaptions();
    void setSpeedPanelShown(bool shown);

    // Settings file.
    void LoadSettings();
    void SaveSettings();

    // Menu commands.
    void InitMemory(int kind);
    void InitRam(int kind);
    void InitEeprom();
    void OptionsClick();
    void HelpClick();
    void AboutClick();
    void USBClick();
    void CodeTraceOnClick();
    void CodeTraceClearClick();
    void CodeTraceViewClick();
    // Stepping through the history (mira_history.cpp): back and forward one clock state or
    // one instruction, back to the last stop at a breakpoint.
    void StepBackClockState();
    void StepBackInstruction();
    void BackToBreakpoint();
    void StepForwardClockState();
    void StepForwardInstruction();
    core::History& history() { return history_; }

    // Options: the values the dialog edits, read from and written back to the
    // machine and the settings; ApplyMode is step 4, after every confirmed dialog.
    OptionValues currentOptions() const;
    void applyOptions(const OptionValues& v);
    void ApplyMode();
    // A confirmed change of operating mode, from the options dialog or an assembler query:
    // cleared memory of the new size and the machine reset; ApplyMode follows.
    void ChangeMode(core::OperatingMode mode);
    // Windows built elsewhere take part in ApplyMode through these hooks, run where the
    // views take over the new options (their doInit; in Normal mode the RAM, EEPROM and
    // stack views close).
    void addOptionsAppliedHook(std::function<void()> hook);

    // Code trace: a line as shown and saved (address, tab, source line), all of them, and
    // the trace file kept between runs while tracing is on.
    static constexpr const char* kTraceFileName = "dftrfl.dat";
    // Followed by the file's path.
    static constexpr const char* kEepromSaveError = "ERROR: The EEPROM values could not be saved to ";
    static constexpr const char* kTraceSaveError = "ERROR: The code trace could not be saved to ";
    std::string traceLine(int32_t address) const;
    std::vector<std::string> traceLines() const;
    void LoadTraceFile();
    // False when the file could not be written.
    bool SaveTraceFile();

    // "Save Machine State…" / "Load Machine State…": the whole machine with its open modules
    // and the serial port in a machine state file, the bytes mira8-cli reads and writes.
    static constexpr const char* kStateFilter = "MIRA-8 machine states (*.m8s)";
    static constexpr const char* kStateSaveError = "ERROR: The machine state could not be saved.";
    // Followed by the file's path, two CRs and why.
    static constexpr const char* kStateLoadError = "ERROR: The machine state could not be loaded from ";
    static constexpr const char* kStateLoadRunning = "Halt the machine before loading a machine state.";
    void SaveMachineStateClick();
    void LoadMachineStateClick();
    // False after the error message.
    bool saveMachineState(const std::string& path);
    bool loadMachineState(const std::string& path);
    // The parts of a machine state here: the machine, the run loop, the module windows that
    // are open and the basic serial port. History takes snapshots through these.
    const core::EmulatorParts& stateParts();
    // The file dialogs; tests replace them. An empty name cancels.
    std::function<QString()> chooseStateSaveFile;
    std::function<QString()> chooseStateLoadFile;

    // Help opens the document with this: the desktop's viewer unless a test replaces it.
    static bool openWithDesktop(const QString& path);
    std::function<bool(const QString& path)> openDocument = openWithDesktop;
    // The sound effects behind the "Sound Effects" option, for every window that plays.
    core::SoundEffects& sounds() { return sounds_; }

    // Panel mouse handling in picture coordinates (miraImageMouseDown etc.).
    void miraImageMouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    void miraImageMouseUp(Qt::MouseButton button);
    void miraImageMouseMove(QPoint globalPos);

    // The speed panel's scroll bars ended a scroll.
    void slowSBEndScroll();
    void animSBEndScroll();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    friend class MiraImage;

    // MachineObserver
    void lampsChanged(uint32_t groups) override;
    void itemsChanged(uint32_t items) override;
    void memoryWordChanged(int address) override;
    void allMemoryChanged() override;
    void slotChanged(int slot) override;
    void ramByteChanged(int index) override;
    void eepromByteChanged(int index) override;
    void selectSourceLine(int pc) override;
    // PanelHost
    bool processEvents() override;
    void closeMainWindow() override;
    void fastRunStarting() override;

    // Mode, module windows, then the state itself; empty or why not.
    // Opens and closes module windows as `snapshot` had them, then restores it through
    // `parts` (the state file's parts when null).
    std::string applyState(const std::vector<uint8_t>& snapshot,
                           const core::EmulatorParts* parts = nullptr);

    void buildSpeedPanel();
    void buildMenu();
    void syncSwitchPictures();
    void scheduleRepaint();
    void paintPanel(QPainter& p);
    QSize screenSize() const;
    void applyMainSettings();
    void collectMainSettings();
    void ensureArt();
    core::History::Hooks historyHooks();
    const core::EmulatorParts& historyParts();
    // Stops the run timers, rebuilds with `move` and redraws every window from the result.
    void historyMove(const std::function<bool()>& move);
    void redrawAll();
    std::string traceSource(int32_t address) const;

    QtTimerFactory timers_;
    core::Machine m_;
    core::RunControl rc_{m_};
    core::History history_{rc_.statesRun, historyHooks()};
    // Machine and module timers tick through the history; the panel's run timers do not.
    core::HistoryTimers historyTimers_{timers_, history_};
    core::SoundEffects sounds_;
    core::FrontPanel panel_{m_, rc_, timers_, sounds_};
    assembler::InstructionTable instructionTable_;
    assembler::Assembler assembler_;
    std::unique_ptr<core::Prompter> ownPrompter_;
    core::Prompter* prompter_;

    core::SettingsFile settings_;
    core::MainSettings main_;

    std::unique_ptr<PanelArt> art_;
    std::array<bool, core::kSwitchCount> shownSwitches_{};
    StateLamps stateLamps_;
    AuxLamps aux_;

    MiraImage* miraImage = nullptr;
    DrawnControls* panelControls_ = nullptr;
    QFrame* Panel1 = nullptr;
    QScrollBar* slowSB = nullptr;
    QScrollBar* animSB = nullptr;
    QPushButton* defaultSB = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QMenu* PopupMenu1 = nullptr;

    bool activated_ = false;
    bool dragging_ = false;
    QPoint dragOrigin_;
    QPoint windowOrigin_;

    // Repaints are held to the display rate; a fast run changes lamps far more often.
    QTimer frameTimer_;
    QElapsedTimer sinceRepaint_;
    // The fast loop's yield lets Qt look at its queue only every so often.
    QElapsedTimer sinceEvents_;
    int yieldsSinceClockRead_ = 0;
    bool repaintPending_ = false;

    std::vector<std::function<void()>> optionsAppliedHooks_;

    // The editor; it goes before the machine it looks at.
    std::unique_ptr<TeditFM> editFM_;

    // The module windows; after the machine, so they go first.
    std::unique_ptr<ModuleWindows> modules_;
    // The debug views; after the machine, so they go first.
    std::unique_ptr<DebugViews> views_;
    // The basic serial port of WIF mode; after the machine, which points at it.
    std::unique_ptr<TserialFM> serialFM_;
    // The timing diagram; after the run control it records through.
    std::unique_ptr<TtimingFM> timingFM_;
    std::unique_ptr<core::EmulatorParts> stateParts_;
    std::unique_ptr<core::EmulatorParts> historyParts_;
    core::History::Bytes historyBuffer_;
};

}  // namespace mira::gui
