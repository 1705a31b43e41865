// The external switches: the mask in SR, lever hit geometry, the clicks, and the two
// control switches working LOAD ADDRESS and DEPOSIT from outside the panel.
#include <gtest/gtest.h>

#include <vector>

#include "core/machine_rig.h"
#include "core/panel.h"
#include "core/timer.h"
#include "devices/external_switches.h"

namespace mira::devices {
namespace {

using core::SoundId;

class RecordingPlayer final : public core::SoundPlayer {
public:
    void play(SoundId id) override { played.push_back(id); }
    std::vector<SoundId> played;
};

class CountingHost final : public ExternalSwitchesHost {
public:
    void redrawLevers() override { ++redraws; }
    int redraws = 0;
};

constexpr int kUpper = 25;
constexpr int kLower = 40;
int dataX(int i) { return kExtDataX0[i] + kExtSwitchWidth / 2; }
constexpr int kLoadAddressX = kExtLoadAddressX0 + 13;
constexpr int kDepositX = kExtDepositX0 + 13;

struct SwitchRig {
    core::test::Rig rig;
    core::VirtualClock clock;
    RecordingPlayer player;
    core::SoundEffects sounds;
    core::FrontPanel panel{rig.m, rig.rc, clock, sounds};
    CountingHost host;
    ExternalSwitches sw{rig.m, sounds, &panel, &rig.rc};

    SwitchRig() {
        sounds.setPlayer(&player);
        sw.setHost(&host);
        rig.m.computeSr();  // panel switches all at rest: SR 255
        sw.PutDevice(kExtSwitchesModuleType);
        sw.doInit(kExtRestMask);
        player.played.clear();
    }
    int sr() const { return rig.m.sr; }
};

TEST(ExternalSwitches, HoldsNoSlot) {
    SwitchRig r;
    EXPECT_EQ(r.sw.GetDevice(), core::kModuleExternalSwitches);
    for (const auto& s : r.rig.m.bus.slots) EXPECT_EQ(s.type, core::kModuleNone);
    // Another module's input slot 0 stays bound when the switches close.
    r.rig.m.bus.slots[0].type = core::kModuleKeypad;
    r.sw.close();
    EXPECT_EQ(r.rig.m.bus.slots[0].type, core::kModuleKeypad);
}

TEST(ExternalSwitches, ColumnsAreOpenAtBothEdges) {
    EXPECT_EQ(ExternalSwitches::columnAt(21), -1);
    EXPECT_EQ(ExternalSwitches::columnAt(22), 0);
    EXPECT_EQ(ExternalSwitches::columnAt(46), 0);
    EXPECT_EQ(ExternalSwitches::columnAt(47), -1);
    EXPECT_EQ(ExternalSwitches::columnAt(274), 7);
    EXPECT_EQ(ExternalSwitches::columnAt(330), 8);
    EXPECT_EQ(ExternalSwitches::columnAt(360), 9);
    EXPECT_EQ(ExternalSwitches::columnAt(374), 9);
    EXPECT_EQ(ExternalSwitches::columnAt(375), -1);
}

TEST(ExternalSwitches, ThrowingSwitchZeroClearsBitSeven) {
    SwitchRig r;
    const auto press = r.sw.mouseDown(dataX(0), kUpper);
    r.sw.mouseUp();
    EXPECT_EQ(press.dataSwitch, 0);
    EXPECT_EQ(r.sr(), 127);
    EXPECT_EQ(r.sw.mask(), 127);
    EXPECT_FALSE(r.sw.dataBit(0));
    EXPECT_EQ(r.player.played, std::vector<SoundId>{SoundId::Swc});
    EXPECT_GT(r.host.redraws, 0);
    // Back down through the lower half.
    r.sw.mouseDown(dataX(0), kLower);
    EXPECT_EQ(r.sr(), 255);
    EXPECT_EQ(r.player.played.size(), 2u);
}

TEST(ExternalSwitches, PressWhereTheLeverIsNotDoesNothing) {
    SwitchRig r;
    const int redraws = r.host.redraws;
    for (int y : {kLower, 18, 48}) {
        r.sw.mouseDown(dataX(3), y);  // bit 4 is 1: only its upper half acts
        r.sw.mouseUp();
    }
    EXPECT_EQ(r.sr(), 255);
    EXPECT_TRUE(r.player.played.empty());
    EXPECT_EQ(r.host.redraws, redraws);
    // Band edges: 19 and 32 are upper, 33 and 47 lower.
    r.sw.mouseDown(dataX(7), 19);
    EXPECT_EQ(r.sw.mask(), 254);
    r.sw.mouseDown(dataX(7), 47);
    EXPECT_EQ(r.sw.mask(), 255);
    r.sw.mouseDown(dataX(6), 32);
    EXPECT_EQ(r.sw.mask(), 253);
    r.sw.mouseDown(dataX(6), 33);
    EXPECT_EQ(r.sw.mask(), 255);
}

TEST(ExternalSwitches, MaskIsAndedWithPanel) {
    SwitchRig r;
    // Panel switch 7 thrown: panel value 254.
    r.panel.throwSwitch(7, false);
    ASSERT_EQ(r.sr(), 254);
    r.sw.mouseDown(dataX(0), kUpper);
    EXPECT_EQ(r.sr(), 126);
}

TEST(ExternalSwitches, AllZeroAndAllOneAndClose) {
    SwitchRig r;
    r.panel.throwSwitch(1, false);  // panel 191
    r.sw.setAll(false);
    EXPECT_EQ(r.sr(), 0);
    EXPECT_EQ(r.player.played, std::vector<SoundId>{SoundId::Swc});
    r.sw.setAll(false);  // no change, no click
    EXPECT_EQ(r.player.played.size(), 1u);
    r.sw.setAll(true);
    EXPECT_EQ(r.sr(), 191);
    EXPECT_EQ(r.player.played.size(), 2u);
    r.sw.setAll(false);
    r.sw.close();
    EXPECT_EQ(r.sr(), 191);  // the panel's value again
    EXPECT_EQ(r.player.played.size(), 3u);  // closing does not click
}

TEST(ExternalSwitches, ClicksFollowTheSoundOption) {
    SwitchRig r;
    r.sounds.enabled = false;
    r.sw.mouseDown(dataX(2), kUpper);
    EXPECT_EQ(r.sw.mask(), 255 - 32);
    EXPECT_TRUE(r.player.played.empty());
}

TEST(ExternalSwitches, InitSetsAnyMaskWithoutClick) {
    SwitchRig r;
    r.sw.doInit(3);
    EXPECT_EQ(r.sr(), 3);
    EXPECT_TRUE(r.player.played.empty());
}

TEST(ExternalSwitches, DragBandStartsADrag) {
    SwitchRig r;
    EXPECT_TRUE(r.sw.mouseDown(dataX(0), 15).dragStart);
    EXPECT_FALSE(r.sw.mouseDown(dataX(0), 16).dragStart);
    EXPECT_EQ(r.sw.mask(), 255);
}

TEST(ExternalSwitches, LoadAddressPressAndRelease) {
    SwitchRig r;
    r.panel.throwSwitch(0, false);  // panel and SR 127
    r.rig.m.pc = 42;
    const auto press = r.sw.mouseDown(kLoadAddressX, kUpper);
    EXPECT_TRUE(press.control);
    EXPECT_TRUE(r.sw.loadAddressPressed());
    EXPECT_EQ(r.rig.m.externalControl, 1);
    EXPECT_EQ(r.rig.m.pc, 0);  // the press clears PC
    EXPECT_EQ(r.player.played, std::vector<SoundId>{SoundId::Swc});
    // Pressing the held switch again does nothing.
    r.sw.mouseDown(kLoadAddressX, kUpper);
    EXPECT_EQ(r.player.played.size(), 1u);
    r.sw.mouseUp();
    EXPECT_FALSE(r.sw.loadAddressPressed());
    EXPECT_EQ(r.rig.m.externalControl, 3);
    EXPECT_EQ(r.rig.m.pc, 127);  // the release loads SR
    EXPECT_EQ(r.player.played.size(), 1u);  // the release makes no click
}

TEST(ExternalSwitches, ControlSwitchLowerHalfDoesNothing) {
    SwitchRig r;
    r.sw.mouseDown(kDepositX, kLower);
    EXPECT_EQ(r.rig.m.externalControl, 3);
    EXPECT_TRUE(r.player.played.empty());
}

TEST(ExternalSwitches, DepositInNormalModeStoresSrAndAdvances) {
    SwitchRig r;
    r.sw.doInit(0x5A);
    r.rig.m.pc = 10;
    r.sw.mouseDown(kDepositX, kUpper);
    EXPECT_TRUE(r.sw.depositPressed());
    r.sw.mouseUp();
    EXPECT_FALSE(r.sw.depositPressed());
    EXPECT_EQ(r.rig.m.memory[10], 0x5A);
    EXPECT_EQ(r.rig.m.pc, 11);
}

TEST(ExternalSwitches, DepositIsTheTriggerLineInWifMode) {
    SwitchRig r;
    r.rig.m.options.mode = core::OperatingMode::Wif;
    EXPECT_TRUE(r.sw.showsTrigger());
    r.rig.m.pc = 10;
    r.sw.mouseDown(kDepositX, kUpper);
    EXPECT_EQ(r.rig.m.externalControl & kExtDepositLine, 0);  // TRIG1 low while held
    EXPECT_EQ(r.rig.m.pc, 10);
    EXPECT_EQ(r.rig.m.memory[10], 0);
    r.sw.mouseUp();
    EXPECT_EQ(r.rig.m.externalControl, 3);
}

TEST(ExternalSwitches, ReleaseLetsGoOfDepositFirst) {
    SwitchRig r;
    r.rig.m.options.mode = core::OperatingMode::Wif;  // no deposit cycle in the way
    r.sw.mouseDown(kLoadAddressX, kUpper);
    r.sw.mouseDown(kDepositX, kUpper);
    EXPECT_EQ(r.rig.m.externalControl, 0);
    r.sw.mouseUp();
    EXPECT_EQ(r.rig.m.externalControl, kExtDepositLine);
    r.sw.mouseUp();
    EXPECT_EQ(r.rig.m.externalControl, 3);
}

TEST(ExternalSwitches, CloseLetsGoOfHeldLines) {
    SwitchRig r;
    r.rig.m.options.mode = core::OperatingMode::Wif;
    r.sw.mouseDown(kLoadAddressX, kUpper);
    r.sw.mouseDown(kDepositX, kUpper);
    r.sw.close();
    EXPECT_EQ(r.rig.m.externalControl, 3);
}

}  // namespace
}  // namespace mira::devices
