// The module windows the main window owns for the whole run, one list of them built from
// the module catalogue: the Modules menu opens them, the settings file stores and restores
// them, a mode change closes them.
#pragma once

#include <QImage>
#include <memory>
#include <vector>

#include "core/machine.h"
#include "core/prompter.h"
#include "core/settings_file.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/module_catalogue.h"
#include "devices/slot_select.h"

class QWidget;

namespace mira::gui {

class ModuleWindow;
class TledFM;
class TdecledFM;

class ModuleWindows {
  public:
    static constexpr const char* kTubeError =
        "ERROR: Failed to load image data\r\rNixie displays not available";

    ModuleWindows(QWidget* mainWindow, core::Machine& machine, core::TimerFactory& timers,
                  core::Prompter& prompter, core::SoundEffects& sounds);
    ~ModuleWindows();
    ModuleWindows(const ModuleWindows&) = delete;
    ModuleWindows& operator=(const ModuleWindows&) = delete;

    // Start-up: the shared strip of Nixie tubes; without it Nixies are unavailable.
    void buildTubeStrip();
    bool nixieAvailable() const { return !tubeStrip_.isNull(); }

    TledFM& ledFM() { return *ledFM_; }
    TdecledFM& decledFM() { return *decledFM_; }
    // The window of a catalogue entry; null while that module has no window.
    ModuleWindow* window(const devices::ModuleKind& kind) const;
    ModuleWindow* windowOfType(int type) const;
    // The window of a given class, for tests and the main window's own calls.
    template <class W>
    W* find() const {
        for (const auto& w : windows_)
            if (auto* found = dynamic_cast<W*>(w.get())) return found;
        return nullptr;
    }

    // A Modules menu item (by its catalogue entry).
    void open(const devices::ModuleKind& kind);

    // Settings: every window's PutScreenData, then reopening from line 020.
    void PutScreenData(const core::SettingsFile& settings);
    // True when `step` is one of these windows (then it has been reopened).
    bool reopen(const core::ReopenStep& step);
    // Questions the windows put before the settings are written (unsaved rolls and tapes).
    void beforeSettingsSave();
    void GetScreenData(core::SettingsFile& settings) const;

    void fastRunStarting();
    // Closes every open module window (a change of operating mode).
    void closeAll();
    // Hides them without unbinding, when the application ends.
    void hideAll();

  private:
    void add(std::unique_ptr<ModuleWindow> w);

    QWidget* main_;
    core::Prompter& prompter_;
    QImage tubeStrip_;
    std::unique_ptr<devices::SlotChooser> chooser_;
    // Children of the main window, deleted here before the machine goes.
    std::vector<std::unique_ptr<ModuleWindow>> windows_;
    TledFM* ledFM_ = nullptr;
    TdecledFM* decledFM_ = nullptr;
};

}  // namespace mira::gui
