#include "views/debug_views.h"

#include "core/run_control.h"
#include "views/eeprom.h"
#include "views/ram.h"
#include "views/stack.h"

namespace mira::gui {

namespace {
// Views repaint at most at a display's frame rate, however often a run reports.
constexpr int kFrameMs = 16;
}  // namespace

DebugViews::DebugViews(QWidget* owner, core::Machine& m, core::RunControl& rc,
                       core::Prompter& prompter, ViewSources sources,
                       std::filesystem::path eepromFile)
    : m_(m) {
    memFM = new TmemFM(m, rc, prompter, sources, owner);
    ramFM = new TramFM(m, sources, owner);
    eepFM = new TeepFM(m, sources, std::move(eepromFile), owner);
    stackFM = new TstackFM(m, owner);
    frame_.setSingleShot(true);
    frame_.setInterval(kFrameMs);
    connect(&frame_, &QTimer::timeout, this, &DebugViews::flush);
}

DebugViews::~DebugViews() {
    // The EEPROM window writes its file as it goes; the machine must still be there.
    delete stackFM;
    delete eepFM;
    delete ramFM;
    delete memFM;
}

void DebugViews::schedule() {
    if (!frame_.isActive()) frame_.start();
}

void DebugViews::itemsChanged(uint32_t items) {
    items_ |= items;
    schedule();
}

void DebugViews::memoryWordChanged(int address) {
    // The word is taken now, as the run reports it; its row repaints with the frame.
    memFM->memoryModel().takeWord(address);
    schedule();
}

void DebugViews::allMemoryChanged() {
    for (int a = 0; a <= m_.addressMask; ++a) memFM->memoryModel().takeWord(a);
    schedule();
}

void DebugViews::slotChanged(int slot) {
    if (slot >= 0 && slot < core::kSlotCount) slots_ |= 1u << slot;
    schedule();
}

void DebugViews::ramByteChanged(int index) {
    if (index >= 0 && index < core::kRamSize) ram_ |= uint64_t{1} << index;
    schedule();
}

void DebugViews::eepromByteChanged(int index) {
    if (index >= 0 && index < core::kEepromSize) eeprom_ |= 1u << index;
    schedule();
}

void DebugViews::fastClockSelected() {
    blankCycle_ = true;
    schedule();
}

void DebugViews::flush() {
    frame_.stop();
    const uint32_t items = items_;
    const uint32_t slots = slots_;
    const uint64_t ram = ram_;
    const uint32_t eeprom = eeprom_;
    const bool blankCycle = blankCycle_;
    blankCycle_ = false;
    items_ = slots_ = eeprom_ = 0;
    ram_ = 0;

    if (memFM->isVisible()) {
        if (items & core::kChangePc) memFM->UpdateData(0);
        if (items & core::kChangeMa) memFM->UpdateData(1);
        if (items & core::kChangeMb) memFM->UpdateData(2);
        if (items & core::kChangeAc) memFM->UpdateData(3);
        if (items & (core::kChangeExtControl | core::kChangeSr | core::kChangeSwitches))
            memFM->UpdateData(5);
        if (items & core::kChangeStatus) {
            memFM->UpdateStatus();
            memFM->UpdateT1T13();
            memFM->SetTracelabel();
            memFM->SetBreakMenu();
        }
        if (items & core::kChangeWifRegs) {
            memFM->UpdateStatus();
            memFM->UpdateROMaddr();
        }
        if (items & core::kChangeSerial) memFM->UpdateSerial();
        if (items & core::kChangeCount) memFM->UpdateInsCount();
        if ((items & core::kChangeCycle) || blankCycle) {
            // A fast run's clock state changes far too often to be worth showing.
            if ((m_.run || blankCycle) && m_.fastClock())
                memFM->BlankCycle();
            else
                memFM->UpdateCycle();
        }
        if (items & core::kChangeSlots) {
            memFM->UpdateIO(-1);
            memFM->UpdateIOflag(-1);
        } else {
            for (int k = 0; k < core::kSlotCount; ++k)
                if (slots & (1u << k)) {
                    memFM->UpdateIO(k);
                    memFM->UpdateIOflag(k);
                }
        }
    }
    // Memory rows were taken when reported; a hidden view catches up when shown.
    memFM->memoryModel().flushRepaint();

    if (ramFM->isVisible()) {
        if (items & core::kChangeRam)
            ramFM->UpdateRAM(-1);
        else
            for (int i = 0; i < core::kRamSize; ++i)
                if (ram & (uint64_t{1} << i)) ramFM->UpdateRAM(i);
    }
    if (eepFM->isVisible()) {
        if (items & core::kChangeEeprom) {
            eepFM->UpdateEEP(-1);
        } else {
            for (int i = 0; i < core::kEepromSize; ++i)
                if (eeprom & (1u << i)) eepFM->UpdateEEP(i);
        }
        // The pointer moves with EEPROM instructions, which report the EEPROM item.
        if (items & (core::kChangeEeprom | core::kChangeWifRegs) || eeprom) eepFM->InvalidateGrid();
    }
    if (stackFM->isVisible() && (items & core::kChangeStack)) stackFM->UpdateStack();
}

// --- menu ---

namespace {
void toggle(QWidget* w) {
    if (w->isVisible())
        w->close();
    else
        w->show();
}
}  // namespace

void DebugViews::ViewMemoryClick() { toggle(memFM); }
void DebugViews::ViewRAMClick() { toggle(ramFM); }
void DebugViews::ViewEEPROMClick() { toggle(eepFM); }
void DebugViews::ViewStackClick() {
    toggle(stackFM);
    if (stackFM->isVisible()) stackFM->UpdateStack();
}

// --- start-up and settings ---

void DebugViews::initialise() {
    memFM->doInit();
    memFM->UpdateCycle();
    ramFM->InitRAM();
    eepFM->InitEEP();
    stackFM->UpdateStack();
}

void DebugViews::optionsChanged() {
    memFM->doInitOpts();
    ramFM->doInitOpts();
    eepFM->doInitOpts();
    stackFM->UpdateStack();
    if (!m_.isWif()) {
        ramFM->close();
        eepFM->close();
        stackFM->close();
    }
}

void DebugViews::putScreenData(const core::SettingsFile& s, int screenWidth, int screenHeight) {
    memFM->PutScreenData(s.windowLine(core::kKeyMemoryView), screenWidth, screenHeight);
    ramFM->PutScreenData(s.windowLine(core::kKeyRamView), screenWidth, screenHeight);
    eepFM->PutScreenData(s.windowLine(core::kKeyEepromView), screenWidth, screenHeight);
    stackFM->PutScreenData(s.windowLine(core::kKeyStackView), screenWidth, screenHeight);
}

void DebugViews::getScreenData(core::SettingsFile& s) const {
    s.setWindowLine(core::kKeyMemoryView, memFM->GetScreenData());
    s.setWindowLine(core::kKeyRamView, ramFM->GetScreenData());
    s.setWindowLine(core::kKeyEepromView, eepFM->GetScreenData());
    s.setWindowLine(core::kKeyStackView, stackFM->GetScreenData());
    s.openWindows.setVisible(core::kOpenMemoryView, memFM->isVisible());
    s.openWindows.setVisible(core::kOpenRamView, ramFM->isVisible());
    s.openWindows.setVisible(core::kOpenEepromView, eepFM->isVisible());
    s.openWindows.setVisible(core::kOpenStackView, stackFM->isVisible());
}

void DebugViews::reopen(core::ReopenStep::Window window) {
    using W = core::ReopenStep::Window;
    switch (window) {
        case W::MemoryView: memFM->show(); break;
        // The WIF views have nothing to show in Normal mode, where their menu items are
        // disabled too.
        case W::RamView:
            if (m_.isWif()) ramFM->show();
            break;
        case W::EepromView:
            if (m_.isWif()) eepFM->show();
            break;
        case W::StackView:
            if (m_.isWif()) stackFM->show();
            break;
        default: break;
    }
}

}  // namespace mira::gui
