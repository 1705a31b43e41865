// Machine state files from the panel's menu.
#include <QFileDialog>
#include <algorithm>

#include "core/atomic_file.h"
#include "core/file_read.h"
#include "devices/module_catalogue.h"
#include "link/serial.h"
#include "mira/mira.h"
#include "modules/module_window.h"
#include "modules/module_windows.h"

namespace mira::gui {

const core::EmulatorParts& TmiraFM::stateParts() {
    if (!stateParts_) {
        stateParts_ = std::make_unique<core::EmulatorParts>(core::EmulatorParts{
            m_,
            &rc_,
            {{core::SerialPortState::kTag, serialFM_.get()}},
            [](int type) {
                const devices::ModuleKind* k = devices::moduleKindOfType(type);
                return k ? std::string(k->caption) : std::string();
            },
            // A module counts while its window is open.
            [](const core::Device& d) { return d.isVisible(); }});
    }
    return *stateParts_;
}

void TmiraFM::SaveMachineStateClick() {
    const QString file = chooseStateSaveFile
                             ? chooseStateSaveFile()
                             : QFileDialog::getSaveFileName(this, QStringLiteral("Save Machine State"),
                                                            QString(), QString::fromLatin1(kStateFilter));
    if (!file.isEmpty()) saveMachineState(file.toStdString());
}

void TmiraFM::LoadMachineStateClick() {
    if (m_.run) {
        prompter_->info(kStateLoadRunning);
        return;
    }
    const QString file = chooseStateLoadFile
                             ? chooseStateLoadFile()
                             : QFileDialog::getOpenFileName(this, QStringLiteral("Load Machine State"),
                                                            QString(), QString::fromLatin1(kStateFilter));
    if (!file.isEmpty()) loadMachineState(file.toStdString());
}

bool TmiraFM::saveMachineState(const std::string& path) {
    const std::string bytes = core::stateFileBytes(core::captureEmulator(stateParts()));
    if (core::writeFileAtomically(path, bytes)) return true;
    prompter_->error(core::saveFailureText(kStateSaveError, path));
    return false;
}

bool TmiraFM::loadMachineState(const std::string& path) {
    std::string why;
    const core::FileRead file = core::readWholeFile(path);
    core::StateFileRead state;
    if (!file.ok) {
        why = core::fileReadErrorText(file.error);
    } else {
        state = core::parseStateFile(file.bytes);
        why = state.error;
    }
    if (why.empty()) {
        // All or nothing: a state that fails on the way puts everything back as it was,
        // mode and module windows included.
        const std::vector<uint8_t> before = core::captureEmulator(stateParts());
        why = applyState(state.snapshot);
        if (!why.empty()) applyState(before);
    }
    if (!why.empty()) {
        prompter_->error(kStateLoadError + path + "\r\r" + why);
        return false;
    }
    return true;
}

std::string TmiraFM::applyState(const std::vector<uint8_t>& snapshot,
                                const core::EmulatorParts* parts) {
    core::SnapshotOutline outline;
    try {
        outline = core::snapshotOutline(snapshot);
    } catch (const core::SnapshotError& e) {
        return e.what();
    }
    if (outline.mode != m_.options.mode) {
        ChangeMode(outline.mode);
        ApplyMode();
    }
    // The module windows of the state open on their slots; the others close.
    for (const devices::ModuleKind& kind : devices::moduleKinds()) {
        if (kind.type == core::kModuleNone) continue;
        ModuleWindow* w = modules_->window(kind);
        if (!w || !m_.bus.module(kind.type)) continue;
        const bool wanted = std::find(outline.modules.begin(), outline.modules.end(), kind.type) !=
                            outline.modules.end();
        // A window open on other slots than the state's opens again on the state's.
        bool sameSlots = true;
        for (int slot = 0; slot < core::kSlotCount; ++slot)
            sameSlots &= (m_.bus.slots[slot].type == kind.type) == (outline.slotTypes[slot] == kind.type);
        if (w->isVisible() && (!wanted || !sameSlots)) w->close();
        if (!wanted || w->isVisible()) continue;
        core::ReopenStep step{kind.reopenAs};
        for (int slot = 0; slot < core::kSlotCount; ++slot) {
            if (outline.slotTypes[slot] != kind.type) continue;
            if (slot < core::kFirstOutputSlot && step.slot < 0)
                step.slot = slot;
            else if (kind.slots == devices::SlotUse::InputOutput)
                step.outputSlot = slot;
            else
                step.slot = slot;
        }
        w->reopen(step);
    }
    const std::string why = core::restoreEmulator(parts ? *parts : stateParts(), snapshot);
    if (!why.empty()) return why;
    SetAuxLamps();
    rc_.publish();
    miraImage->update();
    panel_.stateLoaded();
    return {};
}

}  // namespace mira::gui
