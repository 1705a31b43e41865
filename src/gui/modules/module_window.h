// The base of every module window: a frameless window moved by dragging its picture, with
// a popup menu, a window-state line in the settings file and the calls the main window
// makes on every module (open from the Modules menu, reopen at start-up, close on a mode
// change, questions before the settings are written, the start of a fast run).
#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>
#include <string>

#include "core/machine.h"
#include "core/prompter.h"
#include "core/settings_file.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/module_catalogue.h"
#include "devices/slot_select.h"

class QMenu;
class QAction;
class QMouseEvent;

namespace mira::gui {

// What every module window is built with; owned by the main window for the whole run.
struct ModuleEnv {
    QWidget* mainWindow;
    core::Machine& machine;
    core::TimerFactory& timers;
    core::Prompter& prompter;
    core::SoundEffects& sounds;
    devices::SlotChooser& chooser;
};

class ModuleWindow : public QWidget {
  public:
    ModuleWindow(const devices::ModuleKind& kind, const ModuleEnv& env);
    ~ModuleWindow() override;

    const devices::ModuleKind& kind() const { return kind_; }

    // --- What ModuleWindows calls ---

    // Modules menu item. An open window comes to the front. Otherwise the default asks for a
    // slot of the kind's direction (Output / Input), then bindSlot, initFromMenu, show;
    // modules with other needs (tape reader, magnetic tape, switches) override it.
    virtual void openFromMenu();
    // Start-up reopen from line 020 (no slot question, no slot table check). The default
    // binds step.slot, calls initForReopen(step.initArg) and shows the window.
    virtual void reopen(const core::ReopenStep& step);
    // The window's own settings line (kind().stateKey).
    virtual std::string GetScreenData() const = 0;
    virtual void PutScreenData(const std::string& state) = 0;
    // Lines beyond the window state that the module keeps (KeyPad 2's key table).
    virtual void readSettings(const core::SettingsFile& /*settings*/) {}
    virtual void writeSettings(core::SettingsFile& /*settings*/) const {}
    // Line 020: the default writes the visible field and, for one-slot modules, the slot.
    virtual void writeOpenState(core::OpenWindows& open) const;
    // Before the settings file is written, while the window may still ask (save a changed
    // roll or tape). The default asks nothing.
    virtual void beforeSettingsSave() {}
    // A fast run is about to start (a visible tape reader stops).
    virtual void fastRunStarting() {}
    // A change of operating mode closes every module window.
    virtual void closeForModeChange() { close(); }

    // --- What the default open and reopen use ---
    virtual void bindSlot(int /*slot*/) {}
    // The slot the window holds, −1 when none.
    virtual int boundSlot() const { return -1; }
    virtual void initFromMenu() {}
    // initArg is −1 when the reopen order does not initialise the module.
    virtual void initForReopen(int /*initArg*/) {}

    // Drag helpers for the window's picture widget.
    void dragPress(QMouseEvent* e);
    void dragMove(QMouseEvent* e);
    void dragRelease(QMouseEvent* e);
    bool dragging() const { return dragging_; }

  protected:
    // A window without a mask of its own is cut to the outline of its picture when shown.
    void showEvent(QShowEvent* e) override;
    // Moves the window to the Left/Top of a window-state string, clamped as on restore.
    void restorePosition(const std::string& state);
    QSize screenSize() const;
    // Adds an item named `name` to `menu`, connected to `onClick`.
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption,
                         std::function<void()> onClick);
    // Asks for a free slot of `direction` with the kind's title; −1 when none or Cancel.
    int askForSlot(devices::SlotDirection direction);

    ModuleEnv env_;

  private:
    const devices::ModuleKind& kind_;
    bool dragging_ = false;
    QPoint dragOrigin_;
    QPoint windowOrigin_;
};

}  // namespace mira::gui
