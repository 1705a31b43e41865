// Running the machine: the clock-state step with its stop handling, starting and stopping
// a run, the fast loop with its yield point and run-loop requests, the animation tick,
// live and deferred redraws with the display throttle, and the code trace. Qt-free: the
// application drives it from its timers, the CLI and benchmarks call it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "code_trace.h"
#include "machine.h"

namespace mira::core {

class VirtualClock;
class SignalRecorder;
class History;

// Run-loop requests (bits).
enum RunRequest : int {
    kRequestNone = 0,
    kRequestClose = 1,
    kRequestRunFast = 2,
    kRequestContinueSlow = 4,
};

enum class StepOutcome { Continue, Stopped };

// What the application must do after serviceRequest().
enum class RequestAction { None, ContinueSlow, Close };

// The run loop's yield point: lets the window system's events, a module's timers or a
// port in, and answers whether anything was let in (it may have changed the machine).
using YieldEvents = std::function<bool()>;

class RunControl {
public:
    explicit RunControl(Machine& machine);

    Machine& machine() { return m_; }

    // One clock state (Normal or WIF) with the stop rules of both modes.
    StepOutcome step();
    // RUN released: returns true when a fast run was requested (the caller services the
    // request from its mode-change timer); false when a slow run started (the caller starts
    // its cycle timer). Does nothing while running.
    bool startRun();
    void stop();
    // Animate button: start an animation (only with continuous, fast and nothing running).
    bool startAnimation();
    // One animation tick: steps to the end of one instruction. False when the run stopped.
    bool animationTick();
    // The mode-change timer's tick: carries out the pending request, running the fast loop
    // as long as it asks to; `processEvents` is the yield point.
    RequestAction serviceRequest(const YieldEvents& processEvents);
    // The fast loop: yields every fast-run-speed clock states; returns the pending request
    // found at a yield, or 0 when the run stopped.
    int fastLoop(const YieldEvents& processEvents);
    // A headless start as a release of RUN with FAST and SINGLE/CONT at continuous does,
    // its run-fast request carried out at once (the CLI, benchmarks, tests).
    void startContinuousFastRun();
    // Request 2's set-up before the fast loop: RUN on, closing refused, and a new run's
    // first cycle (a run already going keeps its cycle and clock state).
    void beginFastRun();
    bool inFastLoop() const { return inFastLoop_; }

    // Which code runs a fast or headless run. The instruction engine runs whole
    // instructions (instruction_engine.h) whenever nothing watches clock states: a fast,
    // continuous run with the display not live and no animation. The clock-state engine is
    // forced by `forceClockEngine`, which starts from the MIRA8_ENGINE environment variable
    // ("clock"), for tests and for comparing the two.
    enum class Engine { Instruction, ClockState };
    // Asked between every two batches of a headless run: kept inline, and the forced case
    // answered before the machine's fields are read.
    Engine engine() const {
        if (forceClockEngine || recorder_ || animating) return Engine::ClockState;
        const bool unwatched = m_.fastRun && !m_.liveDisplay && m_.fastClock() && m_.continuous();
        return unwatched ? Engine::Instruction : Engine::ClockState;
    }
    bool forceClockEngine = clockEngineRequested();
    static bool clockEngineRequested();
    // Clock states between two yields of the fast loop under the instruction engine. A
    // yield publishes the lamps and asks the clock whether the GUI is due; at the engine's
    // speed 2^18 states are a few tens of microseconds (Normal) to half a millisecond
    // (WIF), far inside the GUI's service interval, while 2^14 cost the fast run a tenth
    // of its speed in yields.
    static constexpr int kInstructionYieldStates = 1 << 18;

    // What the fast run speed (100 "Slower" .. 900 "Faster") sets for the user: the longest
    // a fast run goes on between two servicings of the GUI's events (mouse, keys, module
    // timers, repaints), 1 ms at 100 and 1 ms more per step of 10, up to 81 ms at 900 (11 ms
    // at the usual 200). The loop's own yields come far more often than any of these, so
    // counting clock states alone would make every setting look the same. A value outside
    // 100..900 counts as 200, as in the settings file.
    static constexpr int64_t eventServiceIntervalNs(int fastRunSpeed) {
        const int speed = fastRunSpeed < 100 || fastRunSpeed > 900 ? 200 : fastRunSpeed;
        return (speed / 10 - 9) * int64_t{1'000'000};
    }
    void placeRequest(int bits) { request |= bits; }

    // Headless running for the CLI and benchmarks: from the current state until the run
    // stops or a limit is reached. With a clock, virtual time advances 1 µs per clock state.
    enum class HeadlessStop { Stopped, Breakpoint, InstructionLimit, StateLimit };
    struct HeadlessResult {
        HeadlessStop reason = HeadlessStop::Stopped;
        uint64_t clockStates = 0;
        uint64_t instructions = 0;
    };
    HeadlessResult runHeadless(uint64_t maxClockStates, uint64_t maxInstructions,
                               VirtualClock* clock = nullptr);

    // The recorder that samples every clock state from now on (the timing diagram, a VCD
    // export); null for none. While one listens every run takes the clock-state engine;
    // without one the loops run code that has no sampling in it at all.
    void setRecorder(SignalRecorder* recorder) { recorder_ = recorder; }
    SignalRecorder* recorder() const { return recorder_; }

    // The history kept of this run, or null. It is told where each clock state begins and
    // ends in single steps, and at the fast loop's yields, never inside a stretch.
    void setHistory(History* history) { history_ = history; }
    History* history() const { return history_; }
    // Re-running for the history: up to `maxStates` clock states, ending where the run
    // stops and, with `oneInstruction`, at an instruction's end.
    void rerun(uint64_t maxStates, bool oneInstruction);
    // Clock states run so far, every engine counting the same way (a breakpoint test is
    // one); the history's clock.
    uint64_t statesRun = 0;

    // Sends pending lamp and item changes to the observer now.
    void publish();

    int request = kRequestNone;
    bool closingAllowed = true;
    bool animating = false;
    bool traceOn = false;
    CodeTrace trace;
    // Called at the end of every instruction (the CLI's --trace); empty normally.
    std::function<void()> onInstructionEnd;

    // Display throttle state, exposed for the views' tests.
    int displayRefreshCounter = 0;
    int throttleStep = 0;
    static constexpr std::array<int, 5> kThrottleLimits{55, 77, 88, 99, 111};

private:
    template <bool kWif, bool kRecord>
    int fastLoopImpl(const YieldEvents& processEvents);
    // Instructions the instruction engine may run before the next one whose end must go
    // through the full end-of-instruction handling (a throttle flush or a per-instruction
    // hook).
    uint64_t instructionsBeforeFlush() const;
    // A stretch of the instruction engine: `maxStates` before the next timer, `limitStates`
    // the run's own limit, `clock` a headless run's virtual clock; `states` and
    // `instructions` say what ran.
    template <bool kWif>
    int runStretch(uint64_t maxStates, uint64_t limitStates, uint64_t maxInstructions,
                   VirtualClock* clock, uint64_t& states, uint64_t& instructions);
    template <bool kWif, bool kRecord>
    HeadlessResult headlessImpl(uint64_t maxClockStates, uint64_t maxInstructions,
                                VirtualClock* clock);
    // Handles a non-continue step result; true when the run stopped.
    bool handleStepResult(int result);
    void endOfInstruction(bool stopping);
    void flushDeferred(bool stopping);
    void enterRunningCycle();
    void publishLive();
    void publishAtYield();

    Machine& m_;
    int lastStepResult_ = 0;
    bool inFastLoop_ = false;
    SignalRecorder* recorder_ = nullptr;
    History* history_ = nullptr;
};

}  // namespace mira::core
