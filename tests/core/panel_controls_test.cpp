#include "core/panel_controls.h"

#include <gtest/gtest.h>

#include <string>

namespace mira::core {
namespace {

class PanelControlsTest : public ::testing::Test {
protected:
    PanelControlsTest() { m.attachTimers(clock); }

    Machine m;
    RunControl rc{m};
    VirtualClock clock;
    SoundEffects sounds;
    FrontPanel panel{m, rc, clock, sounds};
    bool wif = false;
    std::array<bool, 4> aux{};
    ControlTable table = makePanelControls(
        panel, m,
        {[](int32_t v) { return "#" + std::to_string(v); }, [this] { return wif; },
         [this](int row) { return aux[static_cast<size_t>(row)]; }});

    int find(const std::string& spoken) const {
        for (int i = 0; i < table.size(); ++i)
            if (table.spokenName(i) == spoken) return i;
        return -1;
    }
};

TEST_F(PanelControlsTest, SwitchesComeFirstInPanelOrderWithTheirKinds) {
    ASSERT_EQ(table.size(), kPanelControlCount);
    const struct {
        int i;
        const char* name;
        ControlKind kind;
    } rows[] = {{0, "Switch register bit 7", ControlKind::Toggle},
                {7, "Switch register bit 0", ControlKind::Toggle},
                {kSwitchLoadAddress, "LOAD ADDR", ControlKind::Key},
                {kSwitchDeposit, "DEPOSIT", ControlKind::Key},
                {kSwitchExamine, "EXAMINE", ControlKind::Key},
                {kSwitchRun, "RUN", ControlKind::Key},
                {kSwitchHalt, "HALT", ControlKind::Key},
                {kSwitchSingleCont, "SINGLE/CONT", ControlKind::Toggle},
                {kSwitchSlowFast, "SLOW/FAST", ControlKind::Toggle},
                {kPanelRegisterRows + 3, "AC #0", ControlKind::Readout},
                {kPanelStateLamps + 1, "FETCH on", ControlKind::Readout},
                {kPanelAuxLamps + 1, "T1 off", ControlKind::Readout}};
    for (const auto& r : rows) {
        EXPECT_EQ(table.spokenName(r.i), r.name) << r.i;
        EXPECT_EQ(table.at(r.i).kind, r.kind) << r.i;
        EXPECT_EQ(table.operable(r.i), r.kind != ControlKind::Readout) << r.i;
    }
}

TEST_F(PanelControlsTest, EverySwitchIsHitAtItsPaddleAndNowhereElse) {
    for (int i = 0; i < kSwitchCount; ++i) {
        const ControlArea a = table.at(i).area;
        EXPECT_EQ(table.hit(a.centreX(), a.centreY()), i);
        // The column's edges are outside, as for the mouse.
        EXPECT_EQ(table.hit(kSwitchX0[i], a.centreY()), -1) << i;
        EXPECT_EQ(table.hit(kSwitchX0[i] + kSwitchWidth, a.centreY()), -1) << i;
        EXPECT_EQ(FrontPanel::switchColumnAt(a.x), i);
        EXPECT_EQ(FrontPanel::switchColumnAt(a.x + a.width - 1), i);
    }
    const ControlArea ac = table.at(kPanelRegisterRows + 3).area;
    EXPECT_EQ(table.hit(kBitLampX[7] + 2, kLampRowY[3] + 2), kPanelRegisterRows + 3);
    EXPECT_EQ(ac.width, kBitLampX[7] + kLampSize - kBitLampX[0]);
}

TEST_F(PanelControlsTest, FocusWalksTheSwitchesOnlyAndWraps) {
    EXPECT_EQ(table.nextFocus(-1, false), 0);
    EXPECT_EQ(table.nextFocus(-1, true), kSwitchSlowFast);
    EXPECT_EQ(table.nextFocus(kSwitchSlowFast, false), 0);
    EXPECT_EQ(table.nextFocus(0, true), kSwitchSlowFast);
    EXPECT_EQ(table.nextFocus(7, false), kSwitchLoadAddress);
    // From a readout (a lamp clicked) the walk goes on from there.
    EXPECT_EQ(table.nextFocus(kPanelStateLamps, false), 0);
}

TEST_F(PanelControlsTest, ActivatingWorksTheSwitchAsAClick) {
    // Data switches: up is checked and a 1 bit; each activation throws or returns.
    EXPECT_TRUE(table.isOn(7));
    table.activate(7);
    EXPECT_EQ(m.sr, 254);
    EXPECT_FALSE(table.isOn(7));
    EXPECT_EQ(table.state(7), "down, 0");
    table.activate(0);
    EXPECT_EQ(m.sr, 126);
    table.activate(7);
    EXPECT_EQ(m.sr, 127);
    // LOAD ADDR springs back and leaves PC = SR, its row telling the new value.
    table.activate(kSwitchLoadAddress);
    EXPECT_EQ(m.switches[kSwitchLoadAddress], 0);
    EXPECT_EQ(m.pc, 127);
    EXPECT_EQ(table.spokenName(kPanelRegisterRows), "PC #127");
    EXPECT_EQ(table.at(kPanelRegisterRows).number(), 127);
    // A key pressed and not yet released is held.
    table.press(kSwitchHalt);
    EXPECT_TRUE(table.isOn(kSwitchHalt));
    EXPECT_EQ(table.state(kSwitchHalt), "held");
    table.release(kSwitchHalt);
    EXPECT_FALSE(table.isOn(kSwitchHalt));
    // Toggles: SINGLE/CONT and SLOW/FAST say where they stand.
    table.activate(kSwitchSlowFast);
    EXPECT_TRUE(m.fastClock());
    EXPECT_EQ(table.state(kSwitchSlowFast), "FAST");
    EXPECT_EQ(table.state(kSwitchSingleCont), "SINGLE");
    // Readouts cannot be worked.
    table.activate(kPanelStateLamps);
    EXPECT_EQ(m.sr, 127);
}

TEST_F(PanelControlsTest, NamesFollowTheWifLettering) {
    wif = true;
    aux[2] = true;
    EXPECT_EQ(table.spokenName(kPanelStateLamps + 1), "STEP 0 on");
    EXPECT_EQ(table.spokenName(kPanelAuxLamps + 2), "PC 9 on");
    EXPECT_EQ(table.spokenName(kSwitchDeposit), "TG1");
    EXPECT_EQ(table.spokenName(kPanelInstructionLamps), "B9|B7 off");
}

TEST_F(PanelControlsTest, ChangesAreReportedOnceForWhatChanged) {
    std::vector<std::string> last;
    EXPECT_TRUE(table.changedSince(last).empty());
    EXPECT_TRUE(table.changedSince(last).empty());
    table.activate(6);
    m.lamps.ac = 42;
    m.latchLamps(0);
    EXPECT_EQ(table.changedSince(last), (std::vector<int>{6, kPanelRegisterRows + 3}));
    EXPECT_TRUE(table.changedSince(last).empty());
}

TEST(ControlTable, AbsentControlsAreNeitherHitNorFocused) {
    bool shown = false;
    ControlTable t;
    DrawnControl a;
    a.area = {0, 0, 10, 10};
    a.press = [] {};
    a.present = [&shown] { return shown; };
    t.add(a);
    DrawnControl lamp;
    lamp.area = {0, 0, 10, 10};
    lamp.kind = ControlKind::Readout;
    lamp.name = "Lamp";
    t.add(lamp);
    EXPECT_EQ(t.hit(5, 5), 1);
    EXPECT_EQ(t.nextFocus(-1, false), -1);
    EXPECT_EQ(t.spokenName(1), "Lamp");
    shown = true;
    EXPECT_EQ(t.hit(5, 5), 0);
    EXPECT_EQ(t.nextFocus(-1, false), 0);
    EXPECT_EQ(t.nextFocus(0, false), 0);
}

}  // namespace
}  // namespace mira::core
