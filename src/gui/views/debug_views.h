// The debug views as the main window sees them: creates the memory, RAM, EEPROM and stack
// windows once, turns the machine's change reports into their update operations at
// display rate, and carries their settings lines and open state.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <filesystem>

#include "core/machine.h"
#include "core/prompter.h"
#include "core/settings_file.h"
#include "views/memory.h"

namespace mira::core {
class RunControl;
}

namespace mira::gui {

class TramFM;
class TeepFM;
class TstackFM;

class DebugViews final : public QObject {
public:
    // The windows are children of `owner` and die with this object, before the machine.
    DebugViews(QWidget* owner, core::Machine& m, core::RunControl& rc, core::Prompter& prompter,
               ViewSources sources, std::filesystem::path eepromFile);
    ~DebugViews() override;

    TmemFM* memFM = nullptr;
    TramFM* ramFM = nullptr;
    TeepFM* eepFM = nullptr;
    TstackFM* stackFM = nullptr;

    // --- the machine's reports; gathered and applied at the next frame ---
    void itemsChanged(uint32_t items);
    void memoryWordChanged(int address);
    void allMemoryChanged();
    void slotChanged(int slot);
    void ramByteChanged(int index);
    void eepromByteChanged(int index);
    // SLOW/FAST went to FAST: the cycle display blanks until a run or SLOW shows a cycle.
    void fastClockSelected();
    // Applies what was gathered now.
    void flush();

    // --- menu items: show, or close when visible ---
    void ViewMemoryClick();
    void ViewRAMClick();
    void ViewEEPROMClick();
    void ViewStackClick();

    // --- start-up, options, settings ---
    // The first activation's initialisation of the views.
    void initialise();
    // After an options change: views take the new mode and radix; the WIF views close in
    // Normal mode.
    void optionsChanged();
    void putScreenData(const core::SettingsFile& settings, int screenWidth, int screenHeight);
    void getScreenData(core::SettingsFile& settings) const;
    // Reopens one window of line 020 (the four debug views; others are ignored).
    void reopen(core::ReopenStep::Window window);

private:
    void schedule();

    core::Machine& m_;
    QTimer frame_;
    uint32_t items_ = 0;
    uint32_t slots_ = 0;
    uint64_t ram_ = 0;
    uint32_t eeprom_ = 0;
    bool blankCycle_ = false;
};

}  // namespace mira::gui
