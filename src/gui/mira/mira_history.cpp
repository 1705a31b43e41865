// Stepping back and forth through the machine's history.
#include "core/machine_snapshot.h"
#include "mira/mira.h"

namespace mira::gui {

const core::EmulatorParts& TmiraFM::historyParts() {
    if (!historyParts_) {
        // A machine state and the code trace, so that stepping back shows the trace too.
        historyParts_ = std::make_unique<core::EmulatorParts>(stateParts());
        historyParts_->hostParts.push_back({core::CodeTrace::kTag, &rc_.trace});
    }
    return *historyParts_;
}

core::History::Hooks TmiraFM::historyHooks() {
    core::History::Hooks h;
    h.capture = [this] {
        core::captureEmulator(historyParts(), historyBuffer_);
        return historyBuffer_;
    };
    h.restore = [this](const core::History::Bytes& b) {
        // A module window opened or closed since: the state's windows open first, and the
        // trace comes back with the rest.
        if (!core::restoreEmulator(historyParts(), b).empty()) applyState(b, &historyParts());
        panel_.recomputeLiveDisplay();
    };
    h.run = [this](uint64_t n, bool one) { rc_.rerun(n, one); };
    // Kept while a run can be followed: at SLOW, at SINGLE, animated, or with a breakpoint
    // to stop at. A fast run with none of these goes unrecorded and costs nothing.
    h.wanted = [this] {
        return !m_.fastClock() || !m_.continuous() || rc_.animating || m_.anyBreakpoint();
    };
    return h;
}

void TmiraFM::historyMove(const std::function<bool()>& move) {
    // A fast run is in the middle of its loop: HALT or its breakpoint stops it first.
    if (rc_.inFastLoop() || !history_.on()) return;
    panel_.pause();
    history_.seal();
    // Re-running draws nothing and records no signals; the windows are redrawn once from
    // the result.
    m_.setObserver(nullptr);
    core::SignalRecorder* recorder = rc_.recorder();
    rc_.setRecorder(nullptr);
    const bool moved = move();
    rc_.setRecorder(recorder);
    m_.setObserver(this);
    if (moved) redrawAll();
}

void TmiraFM::redrawAll() {
    m_.lampsDirty = core::kLampGroupsAll;
    m_.changed = (core::kChangeSwitches << 1) - 1;
    m_.ramChanged = ~uint64_t{0};
    m_.eepromChanged = ~uint32_t{0};
    allMemoryChanged();
    rc_.publish();
    doLamps(core::kLampGroupsAll);
    syncSwitchPictures();
    m_.observer().traceChanged();
    selectSourceLine(m_.pc);
}

void TmiraFM::StepBackClockState() {
    historyMove([this] { return history_.now() > 0 && history_.goTo(history_.now() - 1); });
}

void TmiraFM::StepBackInstruction() {
    historyMove([this] { return history_.goBackTo([this] { return m_.betweenInstructions(); }); });
}

void TmiraFM::BackToBreakpoint() {
    historyMove([this] {
        return history_.goBackTo(
            [this] { return m_.betweenInstructions() && m_.breakpoints[m_.pc] != 0; });
    });
}

void TmiraFM::StepForwardClockState() {
    historyMove([this] { return history_.inPast() && history_.goTo(history_.now() + 1); });
}

void TmiraFM::StepForwardInstruction() {
    historyMove(
        [this] { return history_.goForwardTo([this] { return m_.betweenInstructions(); }); });
}

}  // namespace mira::gui
