// "Options": the options dialog, the change of operating mode that may follow it, and
// the hooks through which the views take part.
#include "assembler/edit.h"
#include "assembler/instruction_table.h"
#include "mira/mira.h"
#include "modules/module_windows.h"
#include "views/debug_views.h"
#include "views/opts.h"

namespace mira::gui {

namespace {
constexpr const char* kRunningRefusal = "Cannot access options while code is running";
constexpr const char* kModeChangeQuestion =
    "Changing the operational mode will clear memory\r\rContinue?";
constexpr const char* kNoTableLoaded = "ERROR: Failed to load file";
}  // namespace

OptionValues TmiraFM::currentOptions() const {
    OptionValues v;
    v.wif = m_.isWif();
    v.radix = m_.options.radix;
    v.fastRunSpeed = m_.fastRunSpeed;
    v.defaultFastRunSpeed = main_.defaultFastRunSpeed;
    v.outputResetSecond = m_.options.outputResetMode != 0;
    v.soundEffects = sounds_.enabled;
    v.clearMemory = m_.options.clearMemoryBeforeAssemble;
    v.clearRam = m_.options.clearRamBeforeAssemble;
    v.clearEeprom = m_.options.clearEepromBeforeAssemble;
    v.zeroPage = m_.options.zeroPageMode;
    v.slowDepositExamine = m_.options.slowDepositExamine;
    v.uploadAll = main_.uploadAll;
    v.autoSlowStep = m_.options.autoSlowStepOnBreak;
    return v;
}

void TmiraFM::applyOptions(const OptionValues& v) {
    m_.options.radix = v.radix;
    m_.fastRunSpeed = v.fastRunSpeed;
    main_.defaultFastRunSpeed = v.defaultFastRunSpeed;
    m_.options.outputResetMode = v.outputResetSecond ? 1 : 0;
    sounds_.enabled = v.soundEffects;
    m_.options.clearMemoryBeforeAssemble = v.clearMemory;
    m_.options.clearRamBeforeAssemble = v.clearRam;
    m_.options.clearEepromBeforeAssemble = v.clearEeprom;
    m_.options.zeroPageMode = v.zeroPage;
    m_.options.slowDepositExamine = v.slowDepositExamine;
    main_.uploadAll = v.uploadAll;
    m_.options.autoSlowStepOnBreak = v.autoSlowStep;
    m_.changed |= core::kChangeStatus;
}

void TmiraFM::OptionsClick() {
    if (m_.run) {
        prompter_->info(kRunningRefusal);
        return;
    }
    const core::OperatingMode before = m_.options.mode;
    OptionValues v = currentOptions();
    bool accepted = false;
    bool modeChanged = false;
    {
        ToptsFM optsFM(v, this);
        accepted = optsFM.exec() == QDialog::Accepted;
        modeChanged = optsFM.GetWIchange();
    }
    // A radix picked in the list stays, even when the dialog was cancelled.
    m_.options.radix = v.radix;
    if (!accepted) return;
    applyOptions(v);
    if (modeChanged) {
        if (prompter_->askYesNo(kModeChangeQuestion)) {
            ChangeMode(v.wif ? core::OperatingMode::Wif : core::OperatingMode::Normal);
        } else {
            m_.options.mode = before;
        }
    }
    ApplyMode();
}

void TmiraFM::ChangeMode(core::OperatingMode mode) {
    m_.options.mode = mode;
    // The message promises a clear memory: all of the new mode's words, not only as many
    // as the old mode had (old words may also be too wide for the new mode).
    m_.updateMemorySize();
    m_.initMemory(0);  // the memory view's grid follows through allMemoryChanged()
    m_.reset();
    rc_.request = core::kRequestNone;
    assembler_.discard();
}

void TmiraFM::ApplyMode() {
    if (LoadCompilerData() == 0) {
        // The mode is Normal again; without a table the emulator closes through request 1.
        prompter_->error(assembler::kCompilerDataFailed);
        rc_.placeRequest(core::kRequestClose);
        panel_.ChgModeTimer->start();
        prompter_->error(kNoTableLoaded);
        return;
    }
    // The display radix of the mode is current by itself: every view reads
    // options.radix[mode].
    SetMenuAvailability();
    SetAuxLamps();
    m_.updateMemorySize();
    SetInitCaptions();
    editFM_->doInit();
    // The memory, RAM and EEPROM views take the new mode and radix; in Normal mode the
    // RAM, EEPROM and stack views close.
    views_->optionsChanged();
    for (const auto& hook : optionsAppliedHooks_) hook();
    rc_.trace.clear();
    m_.observer().traceChanged();
    m_.stack.fill(0);
    m_.stackDepth = 0;
    m_.stackOverflow = false;
    m_.changed |= core::kChangeStack;
    modules_->closeAll();
    m_.computeSr();
    m_.changed |= core::kChangeSr | core::kChangeStatus;
    doLamps(core::kLampGroupsAll);
}

void TmiraFM::addOptionsAppliedHook(std::function<void()> hook) {
    optionsAppliedHooks_.push_back(std::move(hook));
}

}  // namespace mira::gui
