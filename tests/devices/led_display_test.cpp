// The LED display module: busy period on virtual time, the flag through the bus, reset,
// the glyph failure path, options and the window state string, and real IOT instructions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/field_list.h"
#include "core/machine_rig.h"
#include "core/timer.h"
#include "devices/led_display.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;

class RecordingPrompter final : public core::Prompter {
public:
    void info(const std::string& t) override { messages.push_back(t); }
    void error(const std::string& t) override { messages.push_back(t); }
    bool askYesNo(const std::string& t) override {
        messages.push_back(t);
        return true;
    }
    core::Answer askYesNoCancel(const std::string& t) override {
        messages.push_back(t);
        return core::Answer::Yes;
    }
    std::vector<std::string> messages;
};

class FakeHost final : public LedDisplayHost {
public:
    explicit FakeHost(core::VirtualClock& clock) : clock_(clock) {}
    bool loadGlyphs(bool led) override {
        loads.push_back(led);
        return led ? ledLoads : nixieLoads;
    }
    void drawBackground() override { ++backgrounds; }
    void drawDigits() override {
        if (display) shown.push_back({display->cells(), clock_.nowMs()});
    }
    void closeWindow() override { ++closes; }
    bool windowVisible() const override { return visible; }

    struct Shown {
        std::string cells;
        int64_t atMs;
    };
    core::VirtualClock& clock_;
    LedDisplay* display = nullptr;
    std::vector<bool> loads;
    std::vector<Shown> shown;
    bool ledLoads = true, nixieLoads = true, visible = true;
    int backgrounds = 0, closes = 0;
};

struct DisplayRig {
    Rig rig;
    core::VirtualClock clock;
    RecordingPrompter prompter;
    FakeHost host{clock};
    LedDisplay led;

    explicit DisplayRig(LedKind kind = LedKind::Octal)
        : led(kind, rig.m.bus, clock, prompter, &host) {
        host.display = &led;
    }
    int flag(int slot) const { return rig.m.bus.slots[slot].flag; }
    void open(int slot) {
        led.PutDevice(slot);
        led.doInit(true);
    }
};

TEST(LedDisplay, PutDeviceBindsSlotWithModuleType) {
    DisplayRig r;
    r.led.PutDevice(3);
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleOctalLed);
    EXPECT_EQ(r.led.GetDevice(), 3);
    DisplayRig d(LedKind::Decimal);
    d.led.PutDevice(2);
    EXPECT_EQ(d.rig.m.bus.slots[2].type, core::kModuleDecimalLed);
    EXPECT_EQ(d.led.labelText(), "Output Device 0  (LB)");
}

TEST(LedDisplay, UnboundDisplayReportsNoSlot) {
    DisplayRig r;
    EXPECT_EQ(r.led.GetDevice(), -1);
    EXPECT_EQ(r.led.labelText(), "No Device Set (377)");
}

TEST(LedDisplay, InitResetsAndIsBusyForOneReadyDelay) {
    DisplayRig r;
    r.open(2);
    EXPECT_EQ(r.led.value(), 0);
    EXPECT_EQ(r.host.loads, std::vector<bool>{true});
    EXPECT_EQ(r.host.backgrounds, 1);
    EXPECT_EQ(r.flag(2), 1);
    r.clock.advance(1999);
    EXPECT_EQ(r.flag(2), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(2), 0);
}

TEST(LedDisplay, InitWithoutEnableLeavesTimerOff) {
    DisplayRig r;
    r.led.PutDevice(2);
    r.led.doInit(false);
    EXPECT_FALSE(r.led.delayTimer().isActive());
    r.clock.advance(10000);
    EXPECT_EQ(r.flag(2), 1);
}

TEST(LedDisplay, SecondPulseWithinDelayRestartsFullDelay) {
    DisplayRig r;
    r.open(2);
    r.clock.advance(2000);
    ASSERT_EQ(r.flag(2), 0);
    r.led.ExecResetFlag(0);
    r.led.ExecResetFlag(1);
    EXPECT_EQ(r.flag(2), 1);
    r.clock.advance(1500);
    r.led.ExecResetFlag(0);
    r.clock.advance(1999);
    EXPECT_EQ(r.flag(2), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(2), 0);
}

TEST(LedDisplay, LevelOneIsIgnored) {
    DisplayRig r;
    r.open(3);
    r.clock.advance(2000);
    r.led.ExecResetFlag(1);
    EXPECT_EQ(r.flag(3), 0);
}

TEST(LedDisplay, TimerKeepsRefreshingReady) {
    DisplayRig r;
    r.open(2);
    r.clock.advance(2000);
    r.rig.m.bus.slots[2].flag = 1;  // anything else writing the flag is overwritten
    r.clock.advance(2000);
    EXPECT_EQ(r.flag(2), 0);
    EXPECT_TRUE(r.led.delayTimer().isActive());
}

TEST(LedDisplay, OutputDoesNotTouchFlag) {
    DisplayRig r;
    r.open(2);
    r.clock.advance(2000);
    r.rig.m.bus.slots[2].output = 0x41;
    r.rig.m.bus.notifyOutput(2);
    EXPECT_EQ(r.led.value(), 0x41);
    EXPECT_EQ(r.led.cells(), "101");
    EXPECT_EQ(r.flag(2), 0);
}

TEST(LedDisplay, ResetShowsZeroAndStartsBusy) {
    DisplayRig r;
    r.open(2);
    r.rig.m.bus.slots[2].output = 200;
    r.led.UpdateDisplay();
    r.clock.advance(2500);
    r.led.doReset();
    EXPECT_EQ(r.led.value(), 0);
    EXPECT_EQ(r.flag(2), 1);
    EXPECT_EQ(r.host.shown.back().cells, "   ");
}

TEST(LedDisplay, ResetDevicesReachesVisibleOctalOnlyNotDecimal) {
    Rig rig;
    core::VirtualClock clock;
    RecordingPrompter prompter;
    FakeHost octHost(clock), decHost(clock);
    LedDisplay oct(LedKind::Octal, rig.m.bus, clock, prompter, &octHost);
    LedDisplay dec(LedKind::Decimal, rig.m.bus, clock, prompter, &decHost);
    oct.PutDevice(2);
    oct.doInit(true);
    dec.PutDevice(3);
    dec.doInit(true);
    clock.advance(2000);
    rig.m.bus.slots[2].output = 7;
    rig.m.bus.notifyOutput(2);
    rig.m.bus.slots[3].output = 7;
    rig.m.bus.notifyOutput(3);
    rig.m.bus.ResetDevices();
    EXPECT_EQ(oct.value(), 0);
    EXPECT_EQ(rig.m.bus.slots[2].flag, 1);
    EXPECT_EQ(dec.value(), 7);
    EXPECT_EQ(rig.m.bus.slots[3].flag, 0);
    octHost.visible = false;
    clock.advance(2000);
    rig.m.bus.slots[2].output = 9;
    rig.m.bus.notifyOutput(2);
    rig.m.bus.ResetDevices();
    EXPECT_EQ(oct.value(), 9);
}

TEST(LedDisplay, CloseFreesSlotAndNoLongerDrivesFlag) {
    DisplayRig r;
    r.open(3);
    r.clock.advance(2000);
    r.led.close();
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleNone);
    EXPECT_EQ(r.flag(3), 1);
    EXPECT_FALSE(r.led.delayTimer().isActive());
    r.clock.advance(10000);
    EXPECT_EQ(r.flag(3), 1);
    EXPECT_EQ(r.led.GetDevice(), -1);
}

// A machine reset frees every slot while the window stays open; the display must not keep
// making a free slot look ready, or a skip IOT on it would skip.
TEST(LedDisplay, MachineResetUnbindsAndFlagOfFreeSlotStaysOne) {
    DisplayRig r;
    r.open(2);
    r.rig.m.reset();
    EXPECT_EQ(r.led.GetDevice(), -1);
    r.clock.advance(5000);
    EXPECT_EQ(r.flag(2), 1);
    EXPECT_EQ(r.led.labelText(), "No Device Set (377)");
}

TEST(LedDisplay, NixieFallsBackToLedWhenUnavailable) {
    DisplayRig r;
    r.led.applyState("0~0~0~2000~0~");
    EXPECT_FALSE(r.led.ledType());
    r.led.setNixieAvailable(false);
    r.open(2);
    EXPECT_TRUE(r.led.ledType());
    EXPECT_EQ(r.host.loads, std::vector<bool>{true});
}

TEST(LedDisplay, GlyphLoadFailureShowsMessageAndClosesOnNextTick) {
    DisplayRig r;
    r.host.ledLoads = false;
    r.open(2);
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"ERROR: Failed to load image data"});
    EXPECT_TRUE(r.led.closePending());
    EXPECT_EQ(r.host.backgrounds, 0);
    r.clock.advance(99);
    EXPECT_EQ(r.host.closes, 0);
    r.clock.advance(1);
    EXPECT_EQ(r.host.closes, 1);
    EXPECT_FALSE(r.led.closePending());
    EXPECT_FALSE(r.led.delayTimer().isActive());
    // The short close interval does not survive into the next opening.
    EXPECT_EQ(r.led.delayTimer().interval(), 2000);
}

TEST(LedDisplay, OptionsAcceptedChangeDelayFormatAndType) {
    DisplayRig r;
    r.open(2);
    r.led.beginOptions();
    EXPECT_FALSE(r.led.delayTimer().isActive());
    r.clock.advance(5000);
    EXPECT_EQ(r.flag(2), 1);  // the flag holds while the dialog is open
    ASSERT_TRUE(r.led.acceptOptions(5000, kOctal737, false));
    r.led.endOptions();
    EXPECT_EQ(r.led.readyDelay(), 5000);
    EXPECT_EQ(r.led.format(), kOctal737);
    EXPECT_FALSE(r.led.ledType());
    EXPECT_EQ(r.led.labelText(), "Output Device 0 (737)");
    r.clock.advance(4999);
    EXPECT_EQ(r.flag(2), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(2), 0);
}

TEST(LedDisplay, OptionsWithFailingGlyphsKeepValuesAndClose) {
    DisplayRig r;
    r.open(2);
    r.host.nixieLoads = false;
    r.led.beginOptions();
    EXPECT_FALSE(r.led.acceptOptions(9000, kOctal737, false));
    EXPECT_EQ(r.led.readyDelay(), 2000);
    EXPECT_EQ(r.led.format(), kOctal377);
    EXPECT_TRUE(r.led.ledType());
    r.clock.advance(100);
    EXPECT_EQ(r.host.closes, 1);
}

TEST(LedDisplay, StateStringRoundTrip) {
    DisplayRig r;
    r.led.applyState("10~20~1~7000~0~");
    EXPECT_EQ(r.led.format(), 1);
    EXPECT_EQ(r.led.readyDelay(), 7000);
    EXPECT_EQ(r.led.delayTimer().interval(), 7000);
    EXPECT_FALSE(r.led.ledType());
    EXPECT_EQ(r.led.stateString(10, 20), "10~20~1~7000~0~");
    EXPECT_EQ(r.led.stateString(5, 6), "5~6~1~7000~0~");
}

TEST(LedDisplay, StateStringRangesAndDefaults) {
    struct C {
        const char* state;
        int format, delay;
        bool led;
    };
    const C cases[] = {
        {"", 0, 2000, true},
        {"0~0~x~y~z~", 0, 2000, true},
        {"0~0~3~150000~-1~", 3, 150000, true},  // above the dialog's range, still taken
        {"0~0~2~1999~0~", 2, 2000, false},
        {"0~0~1~200001~0~", 1, 2000, false},
        {"0~0~1~200000~~", 1, 200000, true},
        {"0~0~7~2000~1~", 7, 2000, true},  // a format is taken unchanged
    };
    for (const C& c : cases) {
        DisplayRig r;
        r.led.applyState(c.state);
        EXPECT_EQ(r.led.format(), c.format) << c.state;
        EXPECT_EQ(r.led.readyDelay(), c.delay) << c.state;
        EXPECT_EQ(r.led.ledType(), c.led) << c.state;
    }
}

TEST(LedDisplay, RestoredDelayPacesTheFlag) {
    DisplayRig r;
    r.led.applyState("0~0~0~150000~-1~");
    r.open(2);
    r.clock.advance(149999);
    EXPECT_EQ(r.flag(2), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(2), 0);
}

// --- through the processor ---

TEST(LedDisplay, OutputInstructionShowsAccumulator) {
    DisplayRig r;
    r.open(2);
    r.rig.load({op::OUT(0, op::kTransfer), op::HLT});
    r.rig.m.ac = 0xC8;
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.led.value(), 0xC8);
    EXPECT_EQ(r.led.cells(), "310");
}

TEST(LedDisplay, OutputToTheOtherSlotIsNotShown) {
    DisplayRig r;
    r.open(2);
    r.rig.load({op::OUT(1, op::kTransfer), op::HLT});
    r.rig.m.ac = 0x33;
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.led.value(), 0);
}

TEST(LedDisplay, PulseInstructionMakesBusyInBothResetModes) {
    for (int mode : {0, 1}) {
        DisplayRig r;
        r.rig.m.options.outputResetMode = mode;
        r.open(3);
        r.clock.advance(2000);
        ASSERT_EQ(r.flag(3), 0);
        r.rig.load({op::OUT(1, op::kPulse), op::HLT});
        r.rig.start();
        r.rig.run();
        EXPECT_EQ(r.flag(3), 1) << mode;
        r.clock.advance(2000);
        EXPECT_EQ(r.flag(3), 0) << mode;
    }
}

TEST(LedDisplay, SkipInstructionSeesReadyFlag) {
    DisplayRig r;
    r.open(2);
    r.rig.load({op::OUT(0, op::kSkip), op::HLT, op::HLT});
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.pc, 2);  // busy: no skip, halted at 1
    r.clock.advance(2000);
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.pc, 3);  // ready: skipped to the second HLT
}

// A counting program that waits for the flag after every output: each value shows for one
// ready delay of virtual time.
TEST(LedDisplay, CountingProgramIsPacedByReadyDelay) {
    DisplayRig r;
    r.open(2);
    r.clock.advance(2000);
    r.host.shown.clear();
    const int64_t t0 = r.clock.nowMs();
    r.rig.load({
        op::TAD(12),                             // 0: AC = count
        op::OUT(0, op::kTransfer | op::kPulse),  // 1: show it, busy
        op::OUT(0, op::kSkip),                   // 2: ready?
        op::JMP(2),                              // 3
        op::ISZ(12),                             // 4: count + 1
        op::ISZ(13),                             // 5: three rounds
        op::JMP(0),                              // 6
        op::HLT,                                 // 7
    });
    r.rig.load({0, 253}, 12);
    r.rig.start();
    const auto result = r.rig.rc.runHeadless(UINT64_MAX, UINT64_MAX, &r.clock);
    EXPECT_EQ(result.reason, core::RunControl::HeadlessStop::Stopped);
    ASSERT_EQ(r.host.shown.size(), 3u);
    EXPECT_EQ(r.host.shown[0].cells, "   ");
    EXPECT_EQ(r.host.shown[1].cells, "  1");
    EXPECT_EQ(r.host.shown[2].cells, "  2");
    EXPECT_NEAR(static_cast<double>(r.host.shown[1].atMs - r.host.shown[0].atMs), 2000, 2);
    EXPECT_NEAR(static_cast<double>(r.host.shown[2].atMs - r.host.shown[1].atMs), 2000, 2);
    EXPECT_NEAR(static_cast<double>(r.clock.nowMs() - t0), 6000, 5);
    EXPECT_EQ(r.rig.m.memory[12], 3);
}

}  // namespace
}  // namespace mira::devices
