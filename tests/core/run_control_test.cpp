// Starting, stopping, breakpoints, the fast loop's yields and requests, the animation tick,
// live and deferred redraws, the display throttle and the code trace.
#include <gtest/gtest.h>

#include <vector>

#include "machine_rig.h"

namespace mira::core::test {
namespace {

using namespace op;

class RecordingObserver final : public MachineObserver {
public:
    void lampsChanged(uint32_t groups) override { lampCalls.push_back(groups); }
    void itemsChanged(uint32_t items) override { itemCalls.push_back(items); }
    void memoryWordChanged(int address) override { words.push_back(address); }
    void allMemoryChanged() override { ++allMemory; }
    void selectSourceLine(int pc) override { selected.push_back(pc); }
    void runStopped() override { ++stops; }
    void ramByteChanged(int index) override { ram.push_back(index); }
    void eepromByteChanged(int index) override { eeprom.push_back(index); }
    std::vector<uint32_t> lampCalls, itemCalls;
    std::vector<int> words, selected, ram, eeprom;
    int allMemory = 0, stops = 0;
};

TEST(RunControl, BreakpointOnStartAddressDoesNotStopAtOnce) {
    Rig r;
    r.load({IAC, JMP(0)});
    r.m.breakpoints[0] = 1;
    r.start();
    auto res = r.run();
    EXPECT_EQ(res.reason, RunControl::HeadlessStop::Breakpoint);
    EXPECT_EQ(res.instructions, 2u) << "ran IAC and JMP, stopped before IAC again";
    EXPECT_EQ(r.m.ac, 1);
    EXPECT_EQ(r.m.pc, 0);
    EXPECT_EQ(r.m.lastBreakStop, 0);
    EXPECT_FALSE(r.m.run);

    r.start(r.m.pc);  // the next run executes the marked instruction and stops on the next pass
    res = r.run();
    EXPECT_EQ(res.reason, RunControl::HeadlessStop::Breakpoint);
    EXPECT_EQ(r.m.ac, 2);
}

TEST(RunControl, BreakpointStopsBeforeTheMarkedFetch) {
    Rig r;
    r.load({IAC, IAC, IAC, HLT});
    r.m.breakpoints[2] = 1;
    r.start();
    const auto res = r.run();
    EXPECT_EQ(res.reason, RunControl::HeadlessStop::Breakpoint);
    EXPECT_EQ(r.m.ac, 2);
    EXPECT_EQ(r.m.pc, 2);
    EXPECT_EQ(r.m.cycleState, kCycleIdle);
    EXPECT_EQ(r.m.t, 0);
    EXPECT_EQ(r.m.instructionCount, 2) << "the stopped fetch is not counted";
}

TEST(RunControl, BreakpointsIgnoredOrInSingleModeDoNotStop) {
    Rig r;
    r.load({IAC, IAC, HLT});
    r.m.breakpoints[1] = 1;
    r.m.options.ignoreBreakpoints = true;
    r.start();
    EXPECT_EQ(r.run().reason, RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(r.m.ac, 2);
    EXPECT_EQ(r.m.lastBreakStop, -1);

    Rig s;
    s.load({IAC, IAC, HLT});
    s.m.breakpoints[1] = 1;
    s.m.switches[kSwitchSingleCont] = 0;
    s.start();
    s.run();
    s.start(s.m.pc);
    const auto res = s.run();
    EXPECT_EQ(res.reason, RunControl::HeadlessStop::Stopped) << "single steps pass breakpoints";
    EXPECT_EQ(s.m.ac, 2);
}

TEST(RunControl, AutoSlowStepOnBreakThrowsSingleCont) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.m.options.autoSlowStepOnBreak = true;
    r.load({IAC, JMP(0)});
    r.m.breakpoints[1] = 1;
    r.start();
    r.run();
    EXPECT_EQ(r.m.switches[kSwitchSingleCont], 0);
    ASSERT_FALSE(obs.selected.empty());
    EXPECT_EQ(obs.selected.back(), 1) << "the editor shows the breakpoint's line";
}

TEST(RunControl, StopResetsCycleAndLamps) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.load({JMP(0)});
    r.start();
    r.rc.runHeadless(30, UINT64_MAX);
    r.rc.stop();
    EXPECT_FALSE(r.m.run);
    EXPECT_EQ(r.m.cycleState, kCycleIdle);
    EXPECT_EQ(r.m.t, 0);
    for (bool lamp : r.m.instructionLamps) EXPECT_FALSE(lamp);
    EXPECT_EQ(obs.stops, 1);
    EXPECT_EQ(obs.allMemory, 1) << "Normal mode redraws every memory row on stop";
}

TEST(RunControl, SlowStartEntersFetchAndRuns) {
    Rig r;
    r.m.switches[kSwitchSlowFast] = 0;
    r.m.liveDisplay = true;
    r.load({IAC, HLT});
    EXPECT_FALSE(r.rc.startRun()) << "slow: no fast-run request";
    EXPECT_EQ(r.rc.request, kRequestNone);
    EXPECT_TRUE(r.m.run);
    EXPECT_EQ(r.m.cycleState, kCycleFetch);
    EXPECT_FALSE(r.m.fastRun);
    int steps = 0;
    while (r.rc.step() == StepOutcome::Continue && steps < 1000) ++steps;
    EXPECT_EQ(steps + 1, 96);
    EXPECT_EQ(r.m.ac, 1);
}

TEST(RunControl, FastStartPlacesRequestAndRunsThroughIt) {
    Rig r;
    r.load({IAC, IAC, HLT});
    EXPECT_TRUE(r.rc.startRun());
    EXPECT_EQ(r.rc.request, kRequestRunFast);
    EXPECT_TRUE(r.m.fastRun);
    EXPECT_FALSE(r.m.run) << "RUN goes on when the request is carried out";
    EXPECT_EQ(r.rc.serviceRequest({}), RequestAction::None);
    EXPECT_EQ(r.m.ac, 2);
    EXPECT_FALSE(r.m.run);
    EXPECT_TRUE(r.rc.closingAllowed);
}

TEST(RunControl, StartRunDoesNothingWhileRunning) {
    Rig r;
    r.load({JMP(0)});
    r.start();
    r.rc.runHeadless(10, UINT64_MAX);
    const int t = r.m.t;
    EXPECT_FALSE(r.rc.startRun());
    EXPECT_EQ(r.m.t, t);
    EXPECT_EQ(r.rc.request, kRequestNone);
}

TEST(RunControl, FastLoopYieldsEveryFastRunSpeedClockStates) {
    Rig r;
    r.rc.forceClockEngine = true;  // the instruction engine yields at instruction ends
    r.m.fastRunSpeed = 150;
    r.load({JMP(0)});
    r.start();
    std::vector<uint64_t> yieldAt;
    uint64_t count0 = 0;
    r.rc.fastLoop([&] {
        // instruction count * 48 + T tells the clock states run so far for a JMP loop.
        const uint64_t states = static_cast<uint64_t>(r.m.instructionCount - 1) * 48 +
                                (r.m.cycleState == kCycleExecute ? 24 : 0) +
                                static_cast<uint64_t>(r.m.t);
        yieldAt.push_back(states - count0);
        count0 = states;
        if (yieldAt.size() == 4) r.rc.placeRequest(kRequestContinueSlow);
        return false;
    });
    ASSERT_EQ(yieldAt.size(), 4u);
    EXPECT_EQ(yieldAt[0], 149u) << "the counter reaches the speed before the 150th step";
    EXPECT_EQ(yieldAt[1], 150u);
    EXPECT_EQ(yieldAt[2], 150u);
    EXPECT_EQ(yieldAt[3], 150u);
}

TEST(RunControl, RequestsFromYieldAreReturned) {
    Rig r;
    r.load({JMP(0)});
    r.start();
    int yields = 0;
    const int req = r.rc.fastLoop([&] {
        if (++yields == 3) r.rc.placeRequest(kRequestClose);
        return false;
    });
    EXPECT_EQ(req, kRequestClose);
    EXPECT_EQ(r.rc.request, kRequestNone) << "the loop hands the request over";
    EXPECT_TRUE(r.m.run) << "a request does not stop the machine";
}

TEST(RunControl, ServiceRequestContinuesSlowOrCloses) {
    Rig r;
    r.load({JMP(0)});
    r.rc.startRun();
    int yields = 0;
    auto action = r.rc.serviceRequest([&] {
        if (++yields == 2) r.rc.placeRequest(kRequestContinueSlow);
        return false;
    });
    EXPECT_EQ(action, RequestAction::ContinueSlow);
    EXPECT_FALSE(r.m.fastRun);
    EXPECT_TRUE(r.m.run) << "the same run continues on the cycle timer";

    Rig c;
    c.load({JMP(0)});
    c.rc.startRun();
    action = c.rc.serviceRequest([&] {
        EXPECT_FALSE(c.rc.closingAllowed);
        c.rc.placeRequest(kRequestClose);
        return false;
    });
    EXPECT_EQ(action, RequestAction::Close);
    EXPECT_TRUE(c.rc.closingAllowed);
}

TEST(RunControl, SlowRunThrownToFastKeepsItsClockState) {
    Rig r;
    r.m.switches[kSwitchSlowFast] = 0;
    r.load({TAD(10), HLT});
    r.m.memory[10] = 5;
    r.rc.startRun();
    r.stepTo(kCycleExecute, 5);  // half way through TAD's shifts
    r.m.switches[kSwitchSlowFast] = 1;
    r.rc.placeRequest(kRequestRunFast);
    EXPECT_EQ(r.rc.serviceRequest({}), RequestAction::None);
    EXPECT_EQ(r.m.ac, 5) << "the same TAD finished, not a fetch at T5";
    EXPECT_EQ(r.m.pc, 2);
    EXPECT_EQ(r.m.instructionCount, 2);
}

TEST(RunControl, ServiceRequestInsideTheLoopLeavesRequestToTheLoop) {
    Rig r;
    r.load({JMP(0)});
    r.rc.startRun();
    int yields = 0;
    RequestAction nested = RequestAction::Close;
    const auto action = r.rc.serviceRequest([&] {
        if (++yields == 2) {
            r.rc.placeRequest(kRequestContinueSlow);
            nested = r.rc.serviceRequest({});
        }
        return false;
    });
    EXPECT_EQ(nested, RequestAction::None);
    EXPECT_EQ(action, RequestAction::ContinueSlow);
}

TEST(RunControl, HaltDuringFastLoopStopsAtInstructionEnd) {
    Rig r;
    r.load({IAC, JMP(0)});
    r.start();
    int yields = 0;
    const int req = r.rc.fastLoop([&] {
        if (++yields == 5) r.m.switches[kSwitchHalt] = 1;
        return true;
    });
    EXPECT_EQ(req, kRequestNone);
    EXPECT_FALSE(r.m.run);
    EXPECT_EQ(r.m.t, 0);
    EXPECT_EQ(r.m.cycleState, kCycleIdle);
}

TEST(RunControl, FastSingleStepRunsOneInstructionAtOnce) {
    Rig r;
    r.m.switches[kSwitchSingleCont] = 0;
    r.m.liveDisplay = true;
    r.load({IAC, IAC, HLT});
    r.rc.startRun();
    r.rc.serviceRequest({});
    EXPECT_EQ(r.m.ac, 1);
    EXPECT_EQ(r.m.pc, 1);
    EXPECT_FALSE(r.m.run);
}

TEST(RunControl, AnimationRunsOneInstructionPerTick) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.load({IAC, IAC, IAC, HLT});
    EXPECT_TRUE(r.rc.startAnimation());
    EXPECT_TRUE(r.rc.animationTick());
    EXPECT_EQ(r.m.ac, 1);
    EXPECT_EQ(r.m.t, 0);
    EXPECT_EQ(obs.selected.back(), 1) << "the editor follows every animated instruction";
    EXPECT_TRUE(r.rc.animationTick());
    EXPECT_EQ(r.m.ac, 2);
    EXPECT_TRUE(r.rc.animationTick());
    EXPECT_FALSE(r.rc.animationTick()) << "the halt stops the animation";
    EXPECT_FALSE(r.rc.animating);
    EXPECT_FALSE(r.m.run);
}

TEST(RunControl, AnimationNeedsContinuousFastAndIdle) {
    Rig r;
    r.m.switches[kSwitchSingleCont] = 0;
    EXPECT_FALSE(r.rc.startAnimation());
    r.m.switches[kSwitchSingleCont] = 1;
    r.m.switches[kSwitchSlowFast] = 0;
    EXPECT_FALSE(r.rc.startAnimation());
    r.m.switches[kSwitchSlowFast] = 1;
    EXPECT_TRUE(r.rc.startAnimation());
    // Pressing Animate again ends the animation at its next tick.
    EXPECT_FALSE(r.rc.startAnimation());
    EXPECT_FALSE(r.m.run);
    EXPECT_FALSE(r.rc.animationTick());
    EXPECT_FALSE(r.rc.animating);
}

TEST(RunControl, ThrottleFlushesAtCyclingLimits) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.load({ISZ(10), JMP(0), JMP(0)});
    r.start();
    std::vector<int> flushedAfter;
    int instructions = 0;
    r.rc.onInstructionEnd = [&] {
        ++instructions;
        if (r.rc.displayRefreshCounter == 0) flushedAfter.push_back(instructions);
    };
    r.rc.runHeadless(UINT64_MAX, 56 + 78 + 89 + 100 + 112 + 56);
    // Each flush happens when the counter exceeds the limit: after 56, then 78 more, ...
    const std::vector<int> expected = {56, 56 + 78, 56 + 78 + 89, 56 + 78 + 89 + 100,
                                       56 + 78 + 89 + 100 + 112,
                                       56 + 78 + 89 + 100 + 112 + 56};
    EXPECT_EQ(flushedAfter, expected);
    ASSERT_FALSE(obs.words.empty());
    EXPECT_EQ(obs.words.front(), 10) << "the changed word is redrawn at the flush";
}

TEST(RunControl, DeferredRedrawsWaitForTheFlush) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.load({ISZ(10), JMP(0), JMP(0)});
    r.start();
    obs.words.clear();
    r.rc.runHeadless(UINT64_MAX, 20);
    EXPECT_TRUE(obs.words.empty()) << "no view row is redrawn before the throttle flushes";
    EXPECT_EQ(r.m.changedCount, 1) << "but the word is listed once";
}

TEST(RunControl, LiveDisplayPublishesEveryStep) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.m.switches[kSwitchSlowFast] = 0;
    r.m.liveDisplay = true;
    r.load({DCA(10), HLT});
    r.m.ac = 5;
    r.rc.startRun();
    r.stepTo(kCycleExecute, 2);
    obs.words.clear();
    r.rc.step();
    ASSERT_EQ(obs.words.size(), 1u);
    EXPECT_EQ(obs.words[0], 10);
    EXPECT_EQ(r.m.lamps.ac, r.m.ac) << "lamps follow each half-shifted value";
}

TEST(RunControl, PublishListsChangedRamAndEepromBytesOnce) {
    Rig r;
    RecordingObserver obs;
    r.m.setObserver(&obs);
    r.m.ramChanged = (uint64_t{1} << 63) | (uint64_t{1} << 3);
    r.m.eepromChanged = 1u << 31;
    r.rc.publish();
    EXPECT_EQ(obs.ram, (std::vector<int>{3, 63}));
    EXPECT_EQ(obs.eeprom, std::vector<int>{31});
    r.rc.publish();
    EXPECT_EQ(obs.ram.size(), 2u) << "published bytes are cleared";
}

TEST(RunControl, CodeTraceRecordsExecutedAddresses) {
    Rig r;
    r.rc.traceOn = true;
    r.load({IAC, JMP(5)});
    r.load({HLT}, 5);
    r.start();
    r.run();
    ASSERT_EQ(r.rc.trace.size(), 3);
    EXPECT_EQ(r.rc.trace.addressAt(0), 0);
    EXPECT_EQ(r.rc.trace.addressAt(1), 1);
    EXPECT_EQ(r.rc.trace.addressAt(2), 5);
}

TEST(RunControl, CodeTraceKeepsTheLast500) {
    Rig r;
    r.rc.traceOn = true;
    r.load({ISZ(10), JMP(0), HLT});
    r.start();
    r.run();  // 255 passes of two instructions, then ISZ skips to HLT
    EXPECT_EQ(r.rc.trace.size(), CodeTrace::kCapacity);
    EXPECT_EQ(r.rc.trace.addressAt(CodeTrace::kCapacity - 1), 2) << "the halt is last";
    EXPECT_EQ(r.rc.trace.addressAt(CodeTrace::kCapacity - 2), 0);
}

}  // namespace
}  // namespace mira::core::test
