// The module windows the main window owns for the whole run, how the Modules menu opens
// them (asking for a free slot), and their lines in the settings file.
#pragma once

#include <QImage>
#include <QObject>
#include <memory>

#include "core/machine.h"
#include "core/prompter.h"
#include "core/settings_file.h"
#include "core/timer.h"
#include "devices/slot_select.h"

class QWidget;

namespace mira::gui {

class TledFM;
class TdecledFM;
class LedWindow;

class ModuleWindows {
public:
    static constexpr const char* kTubeError =
        "ERROR: Failed to load image data\r\rNixie displays not available";

    ModuleWindows(QWidget* mainWindow, core::Machine& machine, core::TimerFactory& timers,
                  core::Prompter& prompter);
    ~ModuleWindows();
    ModuleWindows(const ModuleWindows&) = delete;
    ModuleWindows& operator=(const ModuleWindows&) = delete;

    // Start-up: the shared strip of Nixie tubes; without it Nixies are unavailable.
    void buildTubeStrip();
    bool nixieAvailable() const { return !tubeStrip_.isNull(); }

    TledFM& ledFM() { return *ledFM_; }
    TdecledFM& decledFM() { return *decledFM_; }

    // Modules menu items.
    void OctalLEDClick();
    void DecimalLEDClick();

    // Settings: every window's PutScreenData, then reopening from line 020.
    void PutScreenData(const core::SettingsFile& settings);
    // True when `step` is one of these windows (then it has been reopened).
    bool reopen(const core::ReopenStep& step);
    void GetScreenData(core::SettingsFile& settings) const;

    // Closes every open module window (a change of operating mode).
    void closeAll();
    // Hides them without unbinding, when the application ends.
    void hideAll();

private:
    void openOutputModule(LedWindow& w);

    QWidget* main_;
    core::Machine& m_;
    core::Prompter& prompter_;
    QImage tubeStrip_;
    std::unique_ptr<devices::SlotChooser> chooser_;
    // Children of the main window, deleted here before the machine goes.
    std::unique_ptr<TledFM> ledFM_;
    std::unique_ptr<TdecledFM> decledFM_;
};

}  // namespace mira::gui
