#include "core/panel.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/normal_cpu.h"
#include "machine_rig.h"

namespace mira::core {
namespace {

using test::op::HLT;
using test::op::ISZ;
using test::op::JMP;
using test::op::TAD;

class RecordingPlayer : public SoundPlayer {
public:
    void play(SoundId id) override { played.push_back(id); }
    std::vector<SoundId> played;
};

class ScriptedHost : public PanelHost {
public:
    bool processEvents() override {
        ++yields;
        if (onYield) onYield();
        return true;
    }
    void closeMainWindow() override { ++closes; }
    std::function<void()> onYield;
    int yields = 0;
    int closes = 0;
};

int centreX(int i) { return kSwitchX0[i] + kSwitchWidth / 2; }
constexpr int kUpper = 198;
constexpr int kLower = 212;

class PanelTest : public ::testing::Test {
protected:
    PanelTest() {
        sounds.setPlayer(&player);
        panel.setHost(&host);
        m.attachTimers(clock);
    }

    void click(int i, int y) {
        panel.mouseDown(centreX(i), y);
        panel.mouseUp();
    }
    // Puts the panel in a given clock and run mode by clicking, as a user would.
    void setFast(bool fast) {
        if (m.fastClock() != fast) click(kSwitchSlowFast, fast ? kUpper : kLower);
    }
    void setContinuous(bool cont) {
        if (m.continuous() != cont) click(kSwitchSingleCont, cont ? kUpper : kLower);
    }
    // SR from the switches: state 0 is a 1 bit.
    void setSr(int value) {
        for (int i = 0; i < 8; ++i) {
            const bool bit = value & (1 << (7 - i));
            if (bit == (m.switches[i] != 0)) click(i, bit ? kLower : kUpper);
        }
        ASSERT_EQ(m.sr, value);
    }
    void load(std::initializer_list<int> words, int at = 0) {
        for (int w : words) m.memory[at++] = w;
    }

    Machine m;
    RunControl rc{m};
    VirtualClock clock;
    SoundEffects sounds;
    RecordingPlayer player;
    ScriptedHost host;
    FrontPanel panel{m, rc, clock, sounds};
};

TEST_F(PanelTest, ColumnEdgesAreOutsideTheSwitch) {
    for (int i = 0; i < kSwitchCount; ++i) {
        EXPECT_EQ(FrontPanel::switchColumnAt(kSwitchX0[i]), -1) << i;
        EXPECT_EQ(FrontPanel::switchColumnAt(kSwitchX0[i] + kSwitchWidth), -1) << i;
        EXPECT_EQ(FrontPanel::switchColumnAt(kSwitchX0[i] + 1), i);
        EXPECT_EQ(FrontPanel::switchColumnAt(kSwitchX0[i] + kSwitchWidth - 1), i);
        const auto edge = panel.mouseDown(kSwitchX0[i], kUpper);
        EXPECT_EQ(edge.switchIndex, -1);
        EXPECT_EQ(m.switches[i], 0);
        panel.mouseUp();
    }
}

TEST_F(PanelTest, UpperBandThrowsARestingSwitchOnly) {
    EXPECT_EQ(panel.mouseDown(centreX(3), kLower).switchIndex, -1);  // at rest: lower does nothing
    EXPECT_EQ(m.switches[3], 0);
    EXPECT_EQ(panel.mouseDown(centreX(3), kUpperBandTop).switchIndex, 3);
    EXPECT_EQ(m.switches[3], 1);
    panel.mouseUp();
    EXPECT_EQ(panel.mouseDown(centreX(3), kUpperBandBottom).switchIndex, -1);  // thrown: upper does nothing
    EXPECT_EQ(m.switches[3], 1);
    EXPECT_EQ(panel.mouseDown(centreX(3), kLowerBandBottom).switchIndex, 3);
    EXPECT_EQ(m.switches[3], 0);
}

TEST_F(PanelTest, BandsEndAtTheirRows) {
    EXPECT_EQ(panel.mouseDown(centreX(0), kUpperBandTop - 1).switchIndex, -1);
    EXPECT_EQ(panel.mouseDown(centreX(0), kLowerBandTop).switchIndex, -1);
    EXPECT_EQ(panel.mouseDown(centreX(0), kUpperBandBottom).switchIndex, 0);
    EXPECT_EQ(panel.mouseDown(centreX(0), kLowerBandBottom + 1).switchIndex, -1);
    EXPECT_EQ(panel.mouseDown(centreX(0), kLowerBandTop).switchIndex, 0);
    EXPECT_EQ(m.switches[0], 0);
}

TEST_F(PanelTest, DragStartsOnlyAboveRow35OffTheSwitches) {
    EXPECT_TRUE(panel.mouseDown(10, 34).dragStart);
    EXPECT_FALSE(panel.mouseDown(10, 35).dragStart);
    EXPECT_FALSE(panel.mouseDown(centreX(0), kUpper).dragStart);
}

TEST_F(PanelTest, SrFollowsTheSwitchesAndBothMasks) {
    EXPECT_EQ(m.sr, 255);
    click(0, kUpper);
    EXPECT_EQ(m.sr, 127);
    m.setExternalMask1(15);
    EXPECT_EQ(m.sr, 15);
    panel.setSRSwitches(false);
    EXPECT_EQ(m.sr, 0);
    panel.setSRSwitches(true);
    m.setExternalMask1(255);
    EXPECT_EQ(m.sr, 255);
}

TEST_F(PanelTest, PressesClickAndReleasesAreSilent) {
    panel.mouseDown(centreX(kSwitchHalt), kUpper);
    EXPECT_EQ(player.played, std::vector<SoundId>{SoundId::Swc});
    panel.mouseUp();
    EXPECT_EQ(m.switches[kSwitchHalt], 0);
    EXPECT_EQ(player.played.size(), 1u);
    sounds.enabled = false;
    click(2, kUpper);
    EXPECT_EQ(player.played.size(), 1u);
}

TEST_F(PanelTest, SetSrSwitchesClicksOnceAndOnlyWhenSomethingMoves) {
    panel.setSRSwitches(true);  // already all 1
    EXPECT_TRUE(player.played.empty());
    panel.setSRSwitches(false);
    EXPECT_EQ(player.played.size(), 1u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m.switches[i], 1);
}

TEST_F(PanelTest, LoadAddressPassesThroughZeroAndLeavesPcAtSr) {
    setSr(0x5A);
    m.pc = 77;
    m.stackDepth = 2;
    m.stack = {1, 2, 3};
    panel.mouseDown(centreX(kSwitchLoadAddress), kUpper);
    EXPECT_EQ(m.pc, 0);
    EXPECT_EQ(m.lamps.pc, 0);
    panel.mouseUp();
    EXPECT_EQ(m.pc, 0x5A);
    EXPECT_EQ(m.lamps.pc, 0x5A);
    EXPECT_EQ(m.stackDepth, 0);
    EXPECT_EQ(m.stack[0], 0);
}

TEST_F(PanelTest, LoadAddressInWifClearsMaMbAc) {
    m.options.mode = OperatingMode::Wif;
    m.ma = m.mb = m.ac = 9;
    panel.mouseDown(centreX(kSwitchLoadAddress), kUpper);
    EXPECT_EQ(m.ma, 0);
    EXPECT_EQ(m.mb, 0);
    EXPECT_EQ(m.ac, 0);
    panel.mouseUp();
}

TEST_F(PanelTest, FastDepositStoresSrAndAdvancesPc) {
    setFast(true);
    m.pc = 10;
    setSr(0x3C);
    click(kSwitchDeposit, kUpper);
    EXPECT_EQ(m.memory[10], 0x3C);
    EXPECT_EQ(m.mb, 0x3C);
    EXPECT_EQ(m.pc, 11);
    EXPECT_FALSE(m.run);
    setSr(0x11);
    click(kSwitchDeposit, kUpper);
    EXPECT_EQ(m.memory[11], 0x11);
    EXPECT_EQ(m.pc, 12);
}

TEST_F(PanelTest, FastExamineReadsMemoryIntoMb) {
    setFast(true);
    m.memory[20] = 0xA7;
    m.pc = 20;
    click(kSwitchExamine, kUpper);
    EXPECT_EQ(m.mb, 0xA7);
    EXPECT_EQ(m.lamps.mb, 0xA7);
    EXPECT_EQ(m.pc, 21);
    EXPECT_EQ(m.memory[20], 0xA7);
}

TEST_F(PanelTest, SlowDepositWithSedRunsTheCycleOnTheCycleTimer) {
    m.options.slowDepositExamine = true;
    m.pc = 4;
    setSr(0x42);
    click(kSwitchDeposit, kUpper);
    EXPECT_TRUE(m.run);
    EXPECT_EQ(m.cycleState, kCycleDeposit);
    EXPECT_TRUE(panel.cycleTimer->isActive());
    EXPECT_EQ(m.memory[4], 0);
    clock.advance(slowInterval(kSlowSBPosition) * 24);
    EXPECT_EQ(m.memory[4], 0x42);
    EXPECT_EQ(m.pc, 5);
    EXPECT_FALSE(m.run);
    EXPECT_FALSE(panel.cycleTimer->isActive());
}

TEST_F(PanelTest, SlowExamineWithoutSedRunsTheProgramAtPc) {
    load({TAD(8), HLT});
    m.memory[8] = 6;
    click(kSwitchExamine, kUpper);
    EXPECT_EQ(m.cycleState, kCycleFetch);
    EXPECT_TRUE(m.run);
    clock.advance(slowInterval(kSlowSBPosition) * 48);
    EXPECT_EQ(m.ac, 6);  // single instruction: the run stops after TAD
    EXPECT_FALSE(m.run);
    EXPECT_EQ(m.pc, 1);
}

TEST_F(PanelTest, DepositDoesNothingWhileRunningOrInWif) {
    setFast(true);
    m.run = true;
    m.pc = 3;
    click(kSwitchDeposit, kUpper);
    EXPECT_EQ(m.pc, 3);
    m.run = false;
    m.options.mode = OperatingMode::Wif;
    click(kSwitchDeposit, kUpper);
    click(kSwitchExamine, kUpper);
    EXPECT_EQ(m.pc, 3);
    EXPECT_FALSE(m.run);
}

TEST_F(PanelTest, FastRunAtSingleExecutesOneInstruction) {
    setFast(true);
    load({TAD(8), TAD(8), HLT});
    m.memory[8] = 5;
    click(kSwitchRun, kUpper);
    EXPECT_TRUE(panel.ChgModeTimer->isActive());
    clock.advance(kChgModeTimerMs);
    EXPECT_EQ(m.ac, 5);
    EXPECT_EQ(m.pc, 1);
    EXPECT_FALSE(m.run);
    click(kSwitchRun, kUpper);
    clock.advance(kChgModeTimerMs);
    EXPECT_EQ(m.ac, 10);
    EXPECT_EQ(m.pc, 2);
}

TEST_F(PanelTest, SlowRunAtSingleStepsOneInstructionStateByState) {
    load({TAD(8), TAD(8)});
    m.memory[8] = 5;
    click(kSwitchRun, kUpper);
    EXPECT_TRUE(panel.cycleTimer->isActive());
    clock.advance(slowInterval(kSlowSBPosition) * 47);
    EXPECT_TRUE(m.run);  // the execute cycle's last clock state is still to come
    clock.advance(slowInterval(kSlowSBPosition));
    EXPECT_FALSE(m.run);
    EXPECT_EQ(m.ac, 5);
    EXPECT_EQ(m.pc, 1);
    EXPECT_FALSE(panel.cycleTimer->isActive());
}

TEST_F(PanelTest, HaltStopsAnEndlessFastLoopAtAnInstructionEnd) {
    setFast(true);
    setContinuous(true);
    load({JMP(0)});
    host.onYield = [&] {
        if (host.yields == 50) panel.mouseDown(centreX(kSwitchHalt), kUpper);
    };
    click(kSwitchRun, kUpper);
    clock.advance(kChgModeTimerMs);
    EXPECT_FALSE(m.run);
    EXPECT_EQ(m.cycleState, kCycleIdle);
    EXPECT_EQ(m.t, 0);
    EXPECT_EQ(m.pc, 0);
    EXPECT_GE(host.yields, 50);
    EXPECT_LE(host.yields, 51);
    EXPECT_FALSE(panel.inFastLoop());
    panel.mouseUp();
    EXPECT_EQ(m.switches[kSwitchHalt], 0);
}

TEST_F(PanelTest, CloseDuringAFastRunWaitsForTheYield) {
    setFast(true);
    setContinuous(true);
    load({JMP(0)});
    bool refused = false;
    host.onYield = [&] {
        if (host.yields == 3) refused = !panel.closeAttempt();
    };
    click(kSwitchRun, kUpper);
    EXPECT_TRUE(panel.closeAttempt());  // not running yet
    clock.advance(kChgModeTimerMs);
    EXPECT_TRUE(refused);
    EXPECT_EQ(host.closes, 1);
    EXPECT_EQ(host.yields, 3);  // the loop returned at the yield that saw the attempt
    EXPECT_TRUE(rc.closingAllowed);
}

TEST_F(PanelTest, FastThrownDuringASlowRunContinuesTheSameInstruction) {
    setContinuous(true);
    load({TAD(8), TAD(8), TAD(8), HLT});
    m.memory[8] = 7;
    click(kSwitchRun, kUpper);
    // Into the first TAD's execute cycle.
    clock.advance(slowInterval(kSlowSBPosition) * 30);
    ASSERT_EQ(m.cycleState, kCycleExecute);
    const int t = m.t;
    ASSERT_GT(t, 0);
    click(kSwitchSlowFast, kUpper);
    EXPECT_FALSE(panel.cycleTimer->isActive());
    EXPECT_EQ(m.t, t);
    clock.advance(kChgModeTimerMs);
    EXPECT_FALSE(m.run);
    EXPECT_EQ(m.ac, 21);
    EXPECT_EQ(m.pc, 4);
}

TEST_F(PanelTest, SlowThrownDuringAFastRunContinuesOnTheCycleTimer) {
    setFast(true);
    setContinuous(true);
    load({ISZ(8), JMP(0)});
    host.onYield = [&] {
        if (host.yields == 5) click(kSwitchSlowFast, kLower);
    };
    click(kSwitchRun, kUpper);
    clock.advance(kChgModeTimerMs);
    EXPECT_TRUE(m.run);
    EXPECT_TRUE(panel.cycleTimer->isActive());
    EXPECT_FALSE(m.fastRun);
    EXPECT_TRUE(m.liveDisplay);
    const int t = m.t;
    const int cycle = m.cycleState;
    clock.advance(slowInterval(kSlowSBPosition));
    EXPECT_TRUE(m.t == t + 1 || m.cycleState != cycle);
    click(kSwitchHalt, kUpper);
}

TEST_F(PanelTest, SlowBeforeAPendingFastStartRunsSlow) {
    setFast(true);
    setContinuous(true);
    load({JMP(0)});
    click(kSwitchRun, kUpper);
    click(kSwitchSlowFast, kLower);
    EXPECT_TRUE(m.run);
    EXPECT_TRUE(panel.cycleTimer->isActive());
    clock.advance(kChgModeTimerMs);
    EXPECT_EQ(host.yields, 0);  // no fast loop
    EXPECT_TRUE(m.run);
}

TEST_F(PanelTest, AnimationNeedsContinuousAndFast) {
    load({TAD(8), TAD(8), JMP(0)});
    m.memory[8] = 1;
    panel.SpeedButton1Click();
    EXPECT_FALSE(panel.animTimer->isActive());
    setFast(true);
    panel.SpeedButton1Click();
    EXPECT_FALSE(panel.animTimer->isActive());
    setContinuous(true);
    panel.SpeedButton1Click();
    ASSERT_TRUE(panel.animTimer->isActive());
    clock.advance(animInterval(kAnimSBPosition));
    EXPECT_EQ(m.ac, 1);
    EXPECT_EQ(m.pc, 1);
    clock.advance(animInterval(kAnimSBPosition));
    EXPECT_EQ(m.ac, 2);
    click(kSwitchSingleCont, kLower);  // single: the animation ends at its next tick
    clock.advance(animInterval(kAnimSBPosition));
    EXPECT_FALSE(m.run);
    EXPECT_FALSE(panel.animTimer->isActive());
    EXPECT_EQ(m.ac, 2);
}

TEST_F(PanelTest, SpeedPositionsGiveTheIntervals) {
    EXPECT_EQ(slowInterval(500), 275);
    EXPECT_EQ(slowInterval(kSlowSBDefault), 475);
    EXPECT_EQ(slowInterval(kSlowSBMin), 700);
    EXPECT_EQ(slowInterval(kSlowSBMax), 75);
    EXPECT_EQ(animInterval(500), 1200);
    panel.setSlowPosition(10);
    EXPECT_EQ(panel.slowPosition(), kSlowSBMin);
    EXPECT_EQ(panel.cycleTimer->interval(), 700);
    panel.setAnimPosition(9999);
    EXPECT_EQ(panel.animTimer->interval(), 1700 - kAnimSBMax);
}

TEST_F(PanelTest, ReleaseRecomputesLiveDisplay) {
    setFast(true);
    EXPECT_TRUE(m.liveDisplay);  // fast at single
    setContinuous(true);
    EXPECT_FALSE(m.liveDisplay);
    setFast(false);
    EXPECT_TRUE(m.liveDisplay);
}

TEST_F(PanelTest, RestoreThrowsTogglesButNeverHoldsAMomentarySwitch) {
    std::array<bool, kSwitchCount> saved{};
    saved[1] = true;
    saved[kSwitchHalt] = true;
    saved[kSwitchSlowFast] = true;
    panel.restoreSwitches(saved);
    EXPECT_EQ(m.switches[1], 1);
    EXPECT_EQ(m.switches[kSwitchHalt], 0);
    EXPECT_EQ(m.switches[kSwitchSlowFast], 1);
    EXPECT_EQ(m.sr, 0xBF);
    EXPECT_TRUE(player.played.empty());
}

}  // namespace
}  // namespace mira::core
