#include "run_control.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "history.h"
#include "instruction_engine.h"
#include "normal_cpu.h"
#include "signal_recorder.h"
#include "timer.h"
#include "wif_cpu.h"

namespace mira::core {

namespace {
// Items the memory view defers while the display is not live.
constexpr uint32_t kDeferredItems = kChangeStatus | kChangeMa | kChangePc | kChangeMb | kChangeAc |
                                    kChangeEeprom | kChangeIr | kChangeSlots | kChangeWifRegs |
                                    kChangeSerial | kChangeRam;
// Items that are shown as soon as the loop yields, throttle or not.
constexpr uint32_t kYieldItems = kChangeCount | kChangeSwitches | kChangeCycle | kChangeState;
constexpr uint32_t kRegisterItems = kChangePc | kChangeMa | kChangeMb | kChangeAc;
constexpr int kCycleStates = normal::kLastClockState + 1;
// The longest WIF instruction has 13 steps; a batch of this many always holds one whole.
constexpr int kWifBatchStates = 16;
constexpr int kBatchStates[2] = {kCycleStates, kWifBatchStates};
// The fast loop's answer when a yield attached or detached a recorder: the loop starts
// again in the other form.
constexpr int kRecorderChanged = 1 << 30;

// Records each clock state, and a whole Normal cycle or WIF instruction as one entry; a
// breakpoint stop ran no state.
struct RecordProbe {
    static constexpr bool kWholeCycles = true;
    SignalRecorder& recorder;
    void operator()(Machine& m, int t, int cycle, int result) const {
        if (result != kStepBreakpoint) recorder.sample(m, t, cycle);
    }
    bool wantsWholeCycles() const { return recorder.wantsWholeCycles(); }
    // The recorder writes a whole cycle's entry in place: nothing to carry.
    struct Pending {};
    Pending beforeWholeCycle(const Machine& m) const {
        recorder.beginWholeCycle(m);
        return {};
    }
    void wholeCycleRan(Pending) const { recorder.wholeCycleRan(); }
    SignalRecorder::DeviceLines deviceLines() const { return recorder.deviceLines(); }
    void ioCycleRan(Pending, const SignalRecorder::DeviceLines& lines) const { recorder.ioCycleRan(lines); }
    void beforeWifInstruction(const Machine& m) const { recorder.beginWifInstruction(m); }
    // A breakpoint ran no state of the instruction.
    void wifInstructionRan(int32_t word, int result) const {
        if (result != kStepBreakpoint)
            recorder.wifInstructionRan(word);
        else
            recorder.breakChain();
    }
};

template <bool kRecord>
auto makeProbe(SignalRecorder* recorder) {
    if constexpr (kRecord)
        return RecordProbe{*recorder};
    else
        return normal::NoProbe{};
}
}  // namespace

RunControl::RunControl(Machine& machine) : m_(machine) {}

// Whether the cycle (Normal) or instruction (WIF) about to run may call a module, the
// serial port or a timer: an IOT's execute cycle, a WIF group 3 instruction.
template <bool kWif>
static inline bool callsModules(const Machine& m) {
    if constexpr (kWif) {
        // Group 3: bits 11..10 of the word, the top bits of the opcode.
        const int group = m.t == 0 ? m.memory[m.pc & m.addressMask] >> 10 : m.wifOpcode >> 4;
        return (group & 3) == 3;
    } else {
        return m.cycleState == kCycleExecute && (m.ir >> 5) == normal::kOpIot;
    }
}

template <bool kWif>
static inline int cpuStep(Machine& m) {
    if constexpr (kWif)
        return wif::step(m);
    else
        return normal::step(m);
}

template <bool kWif, class Probe>
static inline int cpuStep(Machine& m, Probe& probe) {
    const int t = m.t, cycle = m.cycleState;
    const int r = cpuStep<kWif>(m);
    probe(m, t, cycle, r);
    return r;
}

// The rest of the current cycle (Normal) or instruction (WIF) without the loop's per-step
// bookkeeping; `states` gets the clock states run. Stops at the first result that is not
// "continue", so nothing a caller must see is skipped. The fast loop takes it inlined: as a
// call, recording cost a WIF run there 17 % of its rate instead of 9 %. The headless loop
// leaves the choice to the compiler: inlined there, it cost 17 % instead of 11 %.
template <bool kWif, class Probe>
[[gnu::always_inline]] static inline int cpuBatchInlined(Machine& m, int& states, Probe& probe) {
    if constexpr (kWif) {
        if constexpr (Probe::kWholeCycles) {
            // A whole instruction that talks to no module, port or timer is one entry.
            if (m.t == 0 && m.cycleState == kCycleExecute && !callsModules<true>(m) &&
                probe.wantsWholeCycles()) {
                const int32_t word = m.memory[m.pc & m.addressMask];
                probe.beforeWifInstruction(m);
                states = 0;
                const int r = wif::runWholeInstruction(m, states);
                probe.wifInstructionRan(word, r);
                return r;
            }
        }
        states = 0;
        int r = kStepContinue;
        while (r == kStepContinue && states < kWifBatchStates) {
            r = cpuStep<true>(m, probe);
            ++states;
        }
        return r;
    } else {
        return normal::runWholeCycle(m, states, probe);
    }
}

template <bool kWif, class Probe>
static inline int cpuBatch(Machine& m, int& states, Probe& probe) {
    return cpuBatchInlined<kWif>(m, states, probe);
}

void RunControl::publishLive() {
    m_.latchLamps(kLampGroupsAll);
    // Live display: every register change shows at once, including half-shifted values.
    m_.changed |= kRegisterItems;
    publish();
}

void RunControl::publish() {
    MachineObserver& o = m_.observer();
    if (m_.lampsDirty) {
        const uint32_t groups = m_.lampsDirty;
        m_.lampsDirty = 0;
        o.lampsChanged(groups);
    }
    if (m_.changed) {
        const uint32_t items = m_.changed;
        m_.changed = 0;
        o.itemsChanged(items);
    }
    for (int i = 0; i < m_.changedCount; ++i) o.memoryWordChanged(m_.changedList[i]);
    m_.clearChangedList();
    for (uint64_t bits = m_.ramChanged; bits; bits &= bits - 1)
        o.ramByteChanged(std::countr_zero(bits));
    m_.ramChanged = 0;
    for (uint32_t bits = m_.eepromChanged; bits; bits &= bits - 1)
        o.eepromByteChanged(std::countr_zero(bits));
    m_.eepromChanged = 0;
}

StepOutcome RunControl::step() {
    if (history_) history_->checkpoint();
    int r;
    if (recorder_) {
        RecordProbe probe{*recorder_};
        r = m_.isWif() ? cpuStep<true>(m_, probe) : cpuStep<false>(m_, probe);
    } else {
        r = m_.isWif() ? cpuStep<true>(m_) : cpuStep<false>(m_);
    }
    ++statesRun;
    bool stopped = false;
    if (r != kStepContinue)
        stopped = handleStepResult(r);
    else if (!m_.fastClock())
        m_.changed |= kChangeCycle;
    if (m_.liveDisplay) publishLive();
    if (history_) history_->settle();
    return stopped ? StepOutcome::Stopped : StepOutcome::Continue;
}

bool RunControl::handleStepResult(int result) {
    lastStepResult_ = result;
    switch (result) {
        case kStepInstructionEnd: endOfInstruction(false); return false;
        case kStepStop:
            // WIF: the end of every instruction ends an animation's tick, not the run.
            if (m_.isWif() && animating) {
                endOfInstruction(false);
                return false;
            }
            m_.changed |= kChangeCount;
            m_.bus.notifyRunStopped();
            stop();
            endOfInstruction(true);
            return true;
        case kStepBreakpoint:
            stop();
            m_.observer().selectSourceLine(m_.pc);
            if (m_.options.autoSlowStepOnBreak) {
                m_.switches[kSwitchSingleCont] = 0;
                m_.changed |= kChangeSwitches;
            }
            publish();
            return true;
        case kStepPanelCycleEnd:
            m_.observer().runStopped();
            m_.latchLamps(kLampGroupsAll);
            publish();
            return true;
        default: return false;
    }
}

void RunControl::endOfInstruction(bool stopping) {
    if (stopping || animating || !m_.fastRun) m_.observer().selectSourceLine(m_.pc);
    ++displayRefreshCounter;
    if (displayRefreshCounter > kThrottleLimits[throttleStep] || !m_.continuous() || stopping ||
        animating)
        flushDeferred(stopping);
    if (traceOn) {
        trace.add(m_.instructionAddress);
        m_.observer().traceChanged();
    }
    if (onInstructionEnd) onInstructionEnd();
}

void RunControl::flushDeferred(bool stopping) {
    if (stopping && m_.isWif())
        m_.changed |= kChangeStatus | kRegisterItems | kChangeEeprom | kChangeStack;
    publish();
    displayRefreshCounter = 0;
    throttleStep = (throttleStep + 1) % static_cast<int>(kThrottleLimits.size());
}

void RunControl::stop() {
    m_.run = false;
    animating = false;
    m_.setInstructionLampsOff();
    m_.cycleState = kCycleIdle;
    m_.t = 0;
    m_.changed |= kChangeStatus | kRegisterItems | kChangeSlots | kChangeCycle | kChangeCount |
                  kChangeState | kChangeRam | kChangeIr;
    m_.latchLamps(kLampGroupsAll);
    MachineObserver& o = m_.observer();
    o.runStopped();
    if (!m_.isWif()) o.allMemoryChanged();
    publish();
}

void RunControl::enterRunningCycle() {
    m_.cycleState = m_.isWif() ? kCycleExecute : kCycleFetch;
    m_.run = true;
}

bool RunControl::startRun() {
    if (m_.run) return false;
    m_.t = 0;
    m_.countRefreshCounter = 0;
    displayRefreshCounter = 0;
    m_.changed &= ~kDeferredItems;
    m_.changed |= kChangeCount;
    m_.clearChangedList();
    // A run started on a breakpoint executes that instruction and stops on the next pass.
    m_.lastBreakStop = m_.pc;
    if (m_.fastClock()) {
        m_.fastRun = m_.continuous();
        placeRequest(kRequestRunFast);
        publish();
        return true;
    }
    enterRunningCycle();
    m_.fastRun = false;
    m_.latchLamps(kChangeState);
    publish();
    return false;
}

bool RunControl::startAnimation() {
    if (animating) {
        m_.run = false;
        return false;
    }
    if (!m_.continuous() || !m_.fastClock() || m_.run) return false;
    m_.t = 0;
    m_.countRefreshCounter = 0;
    displayRefreshCounter = 0;
    m_.changed &= ~kDeferredItems;
    // As at the start of any run, the count display is redrawn.
    m_.changed |= kChangeCount;
    m_.clearChangedList();
    m_.lastBreakStop = m_.pc;
    enterRunningCycle();
    animating = true;
    m_.fastRun = true;
    m_.latchLamps(kChangeState);
    publish();
    return true;
}

bool RunControl::animationTick() {
    if (m_.run && !m_.switchOn(kSwitchHalt)) {
        for (;;) {
            lastStepResult_ = kStepContinue;
            if (step() == StepOutcome::Stopped) return false;
            if (lastStepResult_ == kStepInstructionEnd || lastStepResult_ == kStepStop) break;
            if (!m_.run) break;
        }
    }
    if (!m_.run || m_.switchOn(kSwitchHalt)) {
        stop();
        return false;
    }
    return true;
}

void RunControl::startContinuousFastRun() {
    m_.switches[kSwitchSingleCont] = 1;
    m_.switches[kSwitchSlowFast] = 1;
    m_.liveDisplay = false;
    m_.changed |= kChangeSwitches;
    startRun();
    request &= ~kRequestRunFast;
    beginFastRun();
}

void RunControl::beginFastRun() {
    closingAllowed = false;
    // A slow run thrown to FAST goes on from the clock state it is in; restarting the cycle
    // there would run the rest of an instruction as a fetch.
    if (!m_.run) enterRunningCycle();
    m_.latchLamps(kLampGroupsAll);
    publish();
}

RequestAction RunControl::serviceRequest(const YieldEvents& processEvents) {
    // Called again from inside the loop's own yield: the request is the loop's to return.
    if (inFastLoop_) return RequestAction::None;
    int req = request;
    request = kRequestNone;
    if (req == kRequestNone) return RequestAction::None;
    while (!(req & kRequestClose)) {
        if (req & kRequestRunFast) {
            beginFastRun();
            inFastLoop_ = true;
            req = fastLoop(processEvents);
            inFastLoop_ = false;
            closingAllowed = true;
            if (req == kRequestNone) return RequestAction::None;
        } else {
            if (req & kRequestContinueSlow) {
                m_.fastRun = false;
                return RequestAction::ContinueSlow;
            }
            return RequestAction::None;
        }
    }
    closingAllowed = true;
    return RequestAction::Close;
}

void RunControl::publishAtYield() {
    // Lamps and the few always-shown items go out at a yield; the rest waits for the
    // throttle.
    MachineObserver& o = m_.observer();
    if (m_.lampsDirty) {
        const uint32_t groups = m_.lampsDirty;
        m_.lampsDirty = 0;
        o.lampsChanged(groups);
    }
    if (const uint32_t now = m_.changed & kYieldItems) {
        m_.changed &= ~kYieldItems;
        o.itemsChanged(now);
    }
}

template <bool kWif, bool kRecord>
int RunControl::fastLoopImpl(const YieldEvents& processEvents) {
    Machine& m = m_;
    auto probe = makeProbe<kRecord>(recorder_);
    if constexpr (kRecord) recorder_->breakChain();
    int counter = 0;
    // The instruction engine yields every kInstructionYieldStates clock states, at an
    // instruction end; the clock-state engine every fast-run-speed states. What the
    // fast run speed sets for the user is how often the GUI services its events at those
    // yields (eventServiceIntervalNs). Whatever a yield changes (switches, live display,
    // animation) decides the engine of the next stretch.
    bool instructionEngine = engine() == Engine::Instruction;
    int period = instructionEngine ? kInstructionYieldStates : m.fastRunSpeed;
    for (;;) {
        if (++counter >= period) {
            counter = 0;
            publishAtYield();
            // Events let in may have changed the machine under a chain of recorded
            // instructions; a yield that let nothing in leaves the chain going.
            if (processEvents && processEvents() && recorder_) recorder_->breakChain();
            if (history_)
                history_->checkpoint(instructionEngine ? History::kInstructionYieldSpacing
                                                       : History::kClockStateYieldSpacing);
            if (request != kRequestNone) {
                const int r = request;
                request = kRequestNone;
                return r;
            }
            if ((recorder_ != nullptr) != kRecord) return kRecorderChanged;
            instructionEngine = engine() == Engine::Instruction;
            period = instructionEngine ? kInstructionYieldStates : m.fastRunSpeed;
        }
        if (instructionEngine) {
            uint64_t states = 0, instructions = 0;
            const auto left = static_cast<uint64_t>(period - counter);
            const int r = runStretch<kWif>(left, left, UINT64_MAX, nullptr, states, instructions);
            statesRun += states;
            if (r != kStepContinue) {
                counter += static_cast<int>(states) - 1;
                if (handleStepResult(r)) return kRequestNone;
                continue;
            }
            // Nothing ran. At an instruction boundary with too few states left before the
            // yield for the longest instruction, yield now: stepping clock state by clock
            // state up to it would cost more than the yield.
            const bool boundary = m.t == 0 && m.cycleState == (kWif ? kCycleExecute : kCycleFetch);
            if (boundary && period - counter < engine::kNormalDeferStates) {
                counter = period - 1;
                continue;
            }
        }
        // Whole cycles or instructions at once while no yield falls inside them. Recording
        // yields after the cycle or instruction instead, up to 23 states late: stepping to
        // the yield would record each state on its own, which costs a whole entry many
        // times over.
        if ((counter + kBatchStates[kWif] < period || (kRecord && m.t == 0)) &&
            !m.liveDisplay) {
            int states = 0;
            const int r = cpuBatchInlined<kWif>(m, states, probe);
            statesRun += static_cast<uint64_t>(states);
            counter += states - 1;
            if (r != kStepContinue && handleStepResult(r)) return kRequestNone;
            continue;
        }
        const int r = cpuStep<kWif>(m, probe);
        ++statesRun;
        if (r != kStepContinue && handleStepResult(r)) return kRequestNone;
        if (m.liveDisplay) publishLive();
    }
}

int RunControl::fastLoop(const YieldEvents& processEvents) {
    if (history_) history_->checkpoint();
    struct Settle {
        History* h;
        ~Settle() {
            if (h) h->settle();
        }
    } settle{history_};
    for (;;) {
        const bool wif = m_.isWif(), record = recorder_ != nullptr;
        const int r = wif ? (record ? fastLoopImpl<true, true>(processEvents)
                                    : fastLoopImpl<true, false>(processEvents))
                          : (record ? fastLoopImpl<false, true>(processEvents)
                                    : fastLoopImpl<false, false>(processEvents));
        if (r != kRecorderChanged) return r;
    }
}

bool RunControl::clockEngineRequested() {
    const char* e = std::getenv("MIRA8_ENGINE");
    return e && std::strcmp(e, "clock") == 0;
}

uint64_t RunControl::instructionsBeforeFlush() const {
    if (traceOn || onInstructionEnd) return 1;
    const int limit = kThrottleLimits[throttleStep];
    return displayRefreshCounter < limit ? static_cast<uint64_t>(limit - displayRefreshCounter + 1)
                                         : 1;
}

template <bool kWif>
int RunControl::runStretch(uint64_t maxStates, uint64_t limitStates, uint64_t maxInstructions,
                           VirtualClock* clock, uint64_t& states, uint64_t& instructions) {
    engine::Stretch s;
    s.maxStates = maxStates;
    s.limitStates = limitStates;
    s.clock = clock;
    s.maxInstructions = std::min(maxInstructions, instructionsBeforeFlush());
    const int r = kWif ? engine::runWif(m_, s) : engine::runNormal(m_, s);
    states = s.states;
    instructions = s.instructions;
    // Every instruction but the last ended plainly: only the throttle counter moves (the
    // stretch ends before the one that flushes). The caller handles the last one's end.
    if (s.instructions > 1) displayRefreshCounter += static_cast<int>(s.instructions - 1);
    return r;
}

template <bool kWif, bool kRecord>
RunControl::HeadlessResult RunControl::headlessImpl(uint64_t maxClockStates,
                                                    uint64_t maxInstructions, VirtualClock* clock) {
    Machine& m = m_;
    auto probe = makeProbe<kRecord>(recorder_);
    if constexpr (kRecord) recorder_->breakChain();
    HeadlessResult res;
    int64_t now = clock ? clock->nowMicros() : 0;
    auto finish = [&](HeadlessStop reason) {
        if (clock) clock->advanceTo(now);
        statesRun += res.clockStates;
        res.reason = reason;
        return res;
    };
    while (res.clockStates < maxClockStates) {
        // Asked at every boundary: a module's timer may have changed what watches the run.
        if (engine() == Engine::Instruction) {
            // Clock states up to the state limit and strictly before the next timer is due.
            const uint64_t limit = maxClockStates - res.clockStates;
            uint64_t budget = limit;
            if (clock) {
                const int64_t due = clock->nextDueMicros();
                budget = due <= now ? 0 : std::min<uint64_t>(budget, static_cast<uint64_t>(due - now - 1));
            }
            uint64_t states = 0, instructions = 0;
            const int r = runStretch<kWif>(budget, limit,
                                           maxInstructions - std::min(maxInstructions, res.instructions),
                                           clock, states, instructions);
            if (r != kStepContinue) {
                res.clockStates += states;
                res.instructions += instructions;
                now += static_cast<int64_t>(states);
                if (clock) clock->advanceTo(now);
                if (handleStepResult(r))
                    return finish(r == kStepBreakpoint ? HeadlessStop::Breakpoint
                                                       : HeadlessStop::Stopped);
                if (res.instructions >= maxInstructions) return finish(HeadlessStop::InstructionLimit);
                continue;
            }
            // Otherwise the clock-state code below runs this instruction.
        }
        int r;
        if (res.clockStates + kBatchStates[kWif] <= maxClockStates &&
            !(clock && (clock->anyDueBy(now + kBatchStates[kWif]) || callsModules<kWif>(m)))) {
            // No timer and no limit falls inside the batch, and nothing in it calls a module,
            // the serial port or a timer, which must hear of each clock state at its own
            // virtual time: run it at once.
            int states = 0;
            r = cpuBatch<kWif>(m, states, probe);
            res.clockStates += static_cast<uint64_t>(states);
            now += states;
        } else {
            r = cpuStep<kWif>(m, probe);
            ++res.clockStates;
            ++now;
        }
        // Virtual time: one clock state is 1 µs; timers fire between steps when due.
        if (clock) clock->advanceTo(now);
        if (r == kStepContinue) continue;
        if (r == kStepInstructionEnd || r == kStepStop) ++res.instructions;
        if (handleStepResult(r))
            return finish(r == kStepBreakpoint ? HeadlessStop::Breakpoint : HeadlessStop::Stopped);
        if (res.instructions >= maxInstructions) return finish(HeadlessStop::InstructionLimit);
    }
    return finish(HeadlessStop::StateLimit);
}

void RunControl::rerun(uint64_t maxStates, bool oneInstruction) {
    const uint64_t before = statesRun;
    runHeadless(maxStates, oneInstruction ? 1 : UINT64_MAX);
    if (statesRun == before) step();
    // A live display latches the lamps at every clock state; the last one is what shows.
    if (m_.liveDisplay) m_.latchLamps(kLampGroupsAll);
}

RunControl::HeadlessResult RunControl::runHeadless(uint64_t maxClockStates,
                                                   uint64_t maxInstructions, VirtualClock* clock) {
    if (recorder_)
        return m_.isWif() ? headlessImpl<true, true>(maxClockStates, maxInstructions, clock)
                          : headlessImpl<false, true>(maxClockStates, maxInstructions, clock);
    return m_.isWif() ? headlessImpl<true, false>(maxClockStates, maxInstructions, clock)
                      : headlessImpl<false, false>(maxClockStates, maxInstructions, clock);
}

}  // namespace mira::core
