// The 16-key keypad: key data with the control bit, lamps, the flag protocol through real
// input instructions (the register shifts out with the transfer), reset and close.
#include <gtest/gtest.h>

#include "core/machine_rig.h"
#include "devices/keypad.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;

struct Host final : KeypadHost {
    void drawLamps() override { ++lampDraws; }
    void drawLabel() override { ++labelDraws; }
    bool windowVisible() const override { return visible; }
    int lampDraws = 0, labelDraws = 0;
    bool visible = true;
};

struct KeypadRig {
    Rig rig;
    Host host;
    Keypad pad{rig.m.bus, &host};
    int flag(int slot = 0) const { return rig.m.bus.slots[slot].flag; }
    void open(int slot = 0) {
        pad.PutDevice(slot);
        pad.doInit();
    }
    int lamps() const {  // L D C B A as a number
        return (pad.ctrlDown() ? 16 : 0) | (pad.keyData() & 15);
    }
};

// Waits for a key, reads it into 12, acknowledges, halts.
void loadReader(Rig& rig, int dev = 0) {
    rig.load({op::IN(dev, op::kSkip), op::JMP(0), op::IN(dev, op::kTransfer | op::kPulse),
              op::DCA(12), op::HLT});
}

TEST(Keypad, OpenBindsTypeThreeAndWaitsWithoutKey) {
    KeypadRig r;
    r.pad.PutDevice(1);
    EXPECT_EQ(r.rig.m.bus.slots[1].type, core::kModuleKeypad);
    EXPECT_EQ(r.flag(1), 0);  // PutDevice alone marks the slot ready ...
    r.pad.doInit();
    EXPECT_EQ(r.flag(1), 1);  // ... doInit leaves it with no key waiting
    EXPECT_EQ(r.pad.keyData(), 0);
    EXPECT_EQ(r.pad.labelText(), "Input Device 1");
    EXPECT_FALSE(r.pad.flagLamp());
}

TEST(Keypad, KeyNumbersFollowTheRowsAndCtlAddsSixteen) {
    KeypadRig r;
    r.open();
    r.pad.pressKey(0);  // "7"
    EXPECT_EQ(r.pad.keyData(), 0);
    EXPECT_EQ(r.flag(), 0);
    EXPECT_TRUE(r.pad.flagLamp());
    r.pad.pressKey(12);  // "0"
    EXPECT_EQ(r.pad.keyData(), 12);
    r.pad.setCtrl(true);
    r.pad.pressKey(11);  // "LF"
    EXPECT_EQ(r.pad.keyData(), 27);
    EXPECT_EQ(r.lamps(), 16 + 8 + 2 + 1);  // L, D, B, A lit
    EXPECT_TRUE(r.pad.lamp(3) && !r.pad.lamp(2) && r.pad.lamp(1) && r.pad.lamp(0));
    EXPECT_STREQ(kKeypadCaptions[11], "LF");
    EXPECT_STREQ(kKeypadCaptions[3], "x");
}

TEST(Keypad, CtlLampShowsTheToggleNotTheDataBit) {
    KeypadRig r;
    r.open();
    r.pad.setCtrl(true);
    r.pad.pressKey(5);
    r.pad.setCtrl(false);
    EXPECT_EQ(r.pad.keyData(), 21);  // the delivered byte keeps its control bit
    EXPECT_FALSE(r.pad.ctrlDown());
    const int draws = r.host.lampDraws;
    r.pad.setCtrl(true);
    EXPECT_GT(r.host.lampDraws, draws);
}

TEST(Keypad, SecondPressBeforeReadLeavesOnlySecondKey) {
    KeypadRig r;
    r.open();
    loadReader(r.rig);
    r.pad.pressKey(4);
    r.pad.pressKey(9);
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.memory[12], 9);
}

TEST(Keypad, InputInstructionReadsKeyShiftsRegisterOutAndAcknowledges) {
    KeypadRig r;
    r.open();
    loadReader(r.rig);
    r.pad.setCtrl(true);
    r.pad.pressKey(11);
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.memory[12], 27);
    EXPECT_EQ(r.pad.keyData(), 0);  // eight shift steps later
    EXPECT_EQ(r.lamps() & 15, 0);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_FALSE(r.pad.flagLamp());
}

TEST(Keypad, RegisterShiftsOneBitPerTransferStep) {
    KeypadRig r;
    r.open();
    r.rig.load({op::IN(0, op::kTransfer), op::HLT});
    r.pad.pressKey(14);  // 0b1110
    r.rig.start();
    r.rig.runThrough(core::kCycleExecute, 2);
    EXPECT_EQ(r.pad.keyData(), 7);
    r.rig.runThrough(core::kCycleExecute, 3);
    EXPECT_EQ(r.pad.keyData(), 3);
    r.rig.runThrough(core::kCycleExecute, 9);
    EXPECT_EQ(r.pad.keyData(), 0);
    EXPECT_EQ(r.flag(), 0);  // no pulse bit: the key still counts as waiting
}

TEST(Keypad, ProgramWaitsUntilAKeyIsPressed) {
    KeypadRig r;
    r.open();
    loadReader(r.rig);
    r.rig.start();
    const auto res = r.rig.run(200);
    EXPECT_EQ(res.reason, core::RunControl::HeadlessStop::InstructionLimit);
    r.pad.pressKey(2);
    r.rig.run();
    EXPECT_EQ(r.rig.m.memory[12], 2);
}

TEST(Keypad, TakenListenerFiresOnTheReadyPulseOnly) {
    KeypadRig r;
    int taken = 0;
    r.pad.setTakenListener([&] { ++taken; });
    r.open();
    r.pad.pressKey(1);
    r.pad.ExecReady(1);
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(r.flag(), 0);
    r.pad.ExecReady(0);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(r.flag(), 1);
}

TEST(Keypad, DeviceResetReachesVisibleKeypadWithLevelOne) {
    KeypadRig r;
    r.open();
    r.pad.pressKey(3);
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.flag(), 1);
    EXPECT_FALSE(r.pad.flagLamp());
    r.pad.pressKey(3);
    r.host.visible = false;
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.flag(), 0);
}

TEST(Keypad, CloseFreesSlotAndKeysNoLongerReachIt) {
    KeypadRig r;
    r.open(1);
    r.pad.close();
    EXPECT_EQ(r.rig.m.bus.slots[1].type, core::kModuleNone);
    EXPECT_EQ(r.flag(1), 1);
    r.pad.pressKey(5);
    EXPECT_EQ(r.flag(1), 1);
    EXPECT_EQ(r.pad.labelText(), "No Device Set");
    EXPECT_EQ(r.rig.m.bus.readInput(1), 255);
}

TEST(Keypad, MachineResetUnbindsSoAFreeSlotNeverLooksReady) {
    KeypadRig r;
    r.open();
    r.rig.m.reset();
    r.pad.pressKey(5);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.pad.GetDevice(), -1);
}

}  // namespace
}  // namespace mira::devices
