#include "panel.h"

#include <algorithm>

#include "normal_cpu.h"

namespace mira::core {

FrontPanel::FrontPanel(Machine& machine, RunControl& run, TimerFactory& timers,
                       SoundEffects& sounds)
    : m_(machine), rc_(run), sounds_(sounds) {
    cycleTimer = timers.createTimer(slowInterval(kSlowSBPosition));
    animTimer = timers.createTimer(animInterval(kAnimSBPosition));
    ChgModeTimer = timers.createTimer(kChgModeTimerMs);
    cycleTimer->setCallback([this] { cycleTimerTimer(); });
    animTimer->setCallback([this] { animTimerTimer(); });
    ChgModeTimer->setCallback([this] { ChgModeTimerTimer(); });
}

int FrontPanel::switchColumnAt(int x) {
    for (int i = 0; i < kSwitchCount; ++i)
        if (x > kSwitchX0[i] && x < kSwitchX0[i] + kSwitchWidth) return i;
    return -1;
}

FrontPanel::Press FrontPanel::mouseDown(int x, int y) {
    Press press;
    for (int i = 0; i < kSwitchCount; ++i) {
        if (x <= kSwitchX0[i] || x >= kSwitchX0[i] + kSwitchWidth) continue;
        // A paddle is pushed where it stands: the upper band of one at rest, the lower band
        // of one that is thrown.
        if (y >= kUpperBandTop && y <= kUpperBandBottom && !m_.switches[i]) {
            pressed_ = i;
            throwSwitch(i, true);
            press.switchIndex = i;
            return press;
        }
        if (y >= kLowerBandTop && y <= kLowerBandBottom && m_.switches[i]) {
            pressed_ = i;
            returnSwitch(i, true);
            press.switchIndex = i;
            return press;
        }
        pressed_ = -1;
    }
    press.dragStart = y < kDragBandHeight;
    return press;
}

void FrontPanel::mouseUp() {
    const int i = pressed_;
    pressed_ = -1;
    // Momentary switches spring back when the button is let go.
    if (isMomentarySwitch(i) && m_.switches[i]) returnSwitch(i, false);
    recomputeLiveDisplay();
}

void FrontPanel::recomputeLiveDisplay() { m_.liveDisplay = !m_.fastClock() || !m_.continuous(); }

void FrontPanel::setState(int i, bool thrown) {
    m_.setSwitch(i, thrown);
    m_.changed |= kChangeSwitches;
}

void FrontPanel::throwSwitch(int i, bool withSound) {
    if (i < 0 || i >= kSwitchCount || m_.switches[i]) return;
    setState(i, true);
    if (withSound) sounds_.play(SoundId::Swc);
    switchAction(i, true);
    rc_.publish();
}

void FrontPanel::returnSwitch(int i, bool withSound) {
    if (i < 0 || i >= kSwitchCount || !m_.switches[i]) return;
    setState(i, false);
    if (withSound) sounds_.play(SoundId::Swc);
    switchAction(i, false);
    rc_.publish();
}

void FrontPanel::switchAction(int i, bool thrown) {
    switch (i) {
        case kSwitchLoadAddress:
            thrown ? doLoadAddrDOWN() : doLoadAddrUP();
            // LOAD ADDRESS and DEPOSIT pull the LA and DEP lines low while held.
            m_.changed |= kChangeExtControl;
            break;
        case kSwitchDeposit:
            thrown ? StartDeposit() : doDepositUP();
            m_.changed |= kChangeExtControl;
            break;
        case kSwitchExamine:
            thrown ? StartExamine() : doDepositUP();
            break;
        case kSwitchRun:
            if (!thrown) doSwitchRUN();
            break;
        case kSwitchSingleCont:
            if (!thrown) singleSelected();
            break;
        case kSwitchSlowFast:
            thrown ? fastSelected() : slowSelected();
            break;
        default:
            // SR bits: SR was recomputed with the state; HALT is read by the running cycle.
            break;
    }
}

void FrontPanel::setSRSwitches(bool allOnes) {
    bool changed = false;
    for (int i = 0; i < 8; ++i) {
        // State 0 is a 1 bit.
        const bool wanted = !allOnes;
        if ((m_.switches[i] != 0) != wanted) {
            setState(i, wanted);
            changed = true;
        }
    }
    if (!changed) return;
    sounds_.play(SoundId::Swc);
    rc_.publish();
}

void FrontPanel::restoreSwitches(const std::array<bool, kSwitchCount>& thrown) {
    for (int i = 0; i < kSwitchCount; ++i) {
        // A momentary switch saved as held would stay held with no button to let go of it
        // (a stuck HALT stops every run), so those always come back at rest.
        if (thrown[i] && !isMomentarySwitch(i)) throwSwitch(i, false);
    }
    recomputeLiveDisplay();
}

void FrontPanel::showStateLamps() {
    m_.latchLamps(kChangeState);
    rc_.publish();
}

void FrontPanel::doLoadAddrDOWN() {
    if (m_.run) return;
    m_.pc = 0;
    if (m_.isWif()) {
        m_.ma = m_.mb = m_.ac = 0;
        m_.changed |= kChangeMa | kChangeMb | kChangeAc;
        m_.latchLamps(kChangeMa | kChangeMb | kChangeAc);
    }
    m_.serialAccess = false;
    m_.changed |= kChangePc | kChangeSerial;
    m_.latchLamps(kChangePc);
    m_.observer().selectSourceLine(m_.pc);
    rc_.publish();
}

void FrontPanel::doLoadAddrUP() {
    if (!m_.run) m_.SetPCfromSwitches();
    m_.stack.fill(0);
    m_.stackDepth = 0;
    m_.stackOverflow = false;
    m_.changed |= kChangeStack;
    rc_.publish();
}

void FrontPanel::runPanelCycleAtOnce() {
    // The cycle parks T at kPanelCycleDone when it ends; the bound only guards the loop.
    for (int i = 0; i <= normal::kPanelCycleDone && m_.t != normal::kPanelCycleDone; ++i)
        if (rc_.step() == StepOutcome::Stopped) break;
}

void FrontPanel::startPanelCycle(int fastCycle) {
    if (m_.run || m_.isWif()) return;
    m_.fastRun = false;
    m_.t = 0;
    m_.run = true;
    if (m_.fastClock()) {
        m_.cycleState = fastCycle;
        showStateLamps();
        runPanelCycleAtOnce();
        return;
    }
    // Without slow examine/deposit a slow DEPOSIT or EXAMINE runs the program at PC.
    m_.cycleState = m_.options.slowDepositExamine ? fastCycle : kCycleFetch;
    showStateLamps();
    cycleTimer->start();
}

void FrontPanel::StartDeposit() { startPanelCycle(kCycleDeposit); }

void FrontPanel::StartExamine() { startPanelCycle(kCycleExamine); }

void FrontPanel::doDepositUP() {
    if (!m_.run) showStateLamps();
}

void FrontPanel::doSwitchRUN() {
    if (m_.run) {
        // A run stepped back into stands still half-way; RUN lets it go on from there.
        if (runPaused()) {
            if (m_.fastClock()) {
                m_.fastRun = m_.continuous();
                rc_.placeRequest(kRequestRunFast);
                ChgModeTimer->start();
            } else {
                cycleTimer->start();
            }
        }
        return;
    }
    if (m_.fastClock()) host_->fastRunStarting();
    if (rc_.startRun())
        ChgModeTimer->start();
    else
        cycleTimer->start();
}

void FrontPanel::stateLoaded() {
    pause();
    recomputeLiveDisplay();
    if (!m_.run) return;
    if (m_.fastClock() && m_.continuous()) {
        host_->fastRunStarting();
        m_.fastRun = true;
        rc_.placeRequest(kRequestRunFast);
        ChgModeTimer->start();
    } else {
        m_.fastRun = false;
        cycleTimer->start();
    }
}

void FrontPanel::singleSelected() {
    if (rc_.animating) m_.run = false;  // the animation stops at its next tick
}

void FrontPanel::fastSelected() {
    m_.changed |= kChangeCycle;  // the cycle display blanks while the clock is fast
    if (m_.run && cycleTimer->isActive()) {
        cycleTimer->stop();
        m_.fastRun = true;
        rc_.placeRequest(kRequestRunFast);
        ChgModeTimer->start();
    }
}

void FrontPanel::slowSelected() {
    m_.changed |= kChangeCycle;
    if (rc_.animating) {
        m_.run = false;
        return;
    }
    if (m_.run) {
        // Whether the fast loop is running or only about to, it goes on slowly instead.
        rc_.request = (rc_.request & ~kRequestRunFast) | kRequestContinueSlow;
        if (!rc_.inFastLoop()) ChgModeTimer->start();
        return;
    }
    m_.fastRun = false;
    if (rc_.request & kRequestRunFast) {
        // RUN was released at FAST but the fast loop has not begun: start it slow instead,
        // or it would run flat out with a slow clock.
        rc_.request &= ~kRequestRunFast;
        m_.cycleState = m_.isWif() ? kCycleExecute : kCycleFetch;
        m_.run = true;
        showStateLamps();
        cycleTimer->start();
    }
}

void FrontPanel::SpeedButton1Click() {
    if (rc_.startAnimation()) animTimer->start();
}

void FrontPanel::setSlowPosition(int position) {
    slowPosition_ = std::clamp(position, kSlowSBMin, kSlowSBMax);
    cycleTimer->setInterval(slowInterval(slowPosition_));
}

void FrontPanel::setAnimPosition(int position) {
    animPosition_ = std::clamp(position, kAnimSBMin, kAnimSBMax);
    animTimer->setInterval(animInterval(animPosition_));
}

void FrontPanel::pause() {
    stopTimers();
    ChgModeTimer->stop();
    rc_.animating = false;
    rc_.request = kRequestNone;
}

bool FrontPanel::runPaused() const {
    return m_.run && !cycleTimer->isActive() && !animTimer->isActive() &&
           !ChgModeTimer->isActive() && !rc_.inFastLoop() && m_.cycleState != kCycleIdle;
}

void FrontPanel::stopTimers() {
    cycleTimer->stop();
    animTimer->stop();
}

void FrontPanel::cycleTimerTimer() {
    if (rc_.step() == StepOutcome::Stopped || !m_.run) cycleTimer->stop();
}

void FrontPanel::animTimerTimer() {
    if (!rc_.animationTick()) stopTimers();
}

void FrontPanel::ChgModeTimerTimer() {
    ChgModeTimer->stop();
    switch (rc_.serviceRequest([this] { return host_->processEvents(); })) {
        case RequestAction::ContinueSlow: cycleTimer->start(); break;
        case RequestAction::Close: host_->closeMainWindow(); break;
        case RequestAction::None:
            if (!m_.run) stopTimers();
            break;
    }
}

bool FrontPanel::closeAttempt() {
    if (!rc_.closingAllowed && m_.cycleState != kCycleIdle && !cycleTimer->isActive()) {
        rc_.placeRequest(kRequestClose);
        return false;
    }
    return true;
}

}  // namespace mira::core
