// The ten-digit display: segment table, command bytes, cursor rules, the always-ready
// flag, and output instructions run through the processor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_rig.h"
#include "devices/ten_digit_display.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;

class FakeHost final : public TenDigitDisplayHost {
public:
    void redraw() override { ++redraws; }
    bool windowVisible() const override { return visible; }
    int redraws = 0;
    bool visible = true;
};

struct TenRig {
    Rig rig;
    FakeHost host;
    TenDigitDisplay d{rig.m.bus, &host};

    void open(int slot) {
        d.PutDevice(slot);
        d.doInit();
    }
    void send(std::initializer_list<int> bytes) {
        for (int b : bytes) d.command(b);
    }
    int flag(int slot) const { return rig.m.bus.slots[slot].flag; }
};

constexpr uint8_t kAll = kSegA | kSegB | kSegC | kSegD | kSegE | kSegF | kSegG;

TEST(TenDigitSegments, DigitsAndLettersLightTheirSegments) {
    struct C {
        int code;
        uint8_t segs;
    };
    const C cases[] = {
        {0, kAll & ~kSegG},
        {1, kSegB | kSegC},
        {2, kSegA | kSegB | kSegD | kSegE | kSegG},
        {4, kSegB | kSegC | kSegF | kSegG},
        {7, kSegA | kSegB | kSegC},
        {8, kAll},
        {9, kAll & ~kSegE},
        {10, kSegG},
        {13, 0},
        {14, kAll & ~kSegD},                  // A
        {16, kSegA | kSegD | kSegE | kSegF},  // C
        {21, kSegA | kSegC | kSegD | kSegE | kSegF},  // G
        {25, kSegC},                          // i
        {32, kSegE | kSegG},                  // r
        {37, kSegB | kSegC | kSegD | kSegF | kSegG},  // y
    };
    for (const C& c : cases) EXPECT_EQ(tenDigitSegments(c.code), c.segs) << c.code;
    // The colon and the point are marks, not segments.
    EXPECT_EQ(tenDigitSegments(kTenDigitColon), 0);
    EXPECT_EQ(tenDigitSegments(kTenDigitPoint), 0);
    // S is drawn as the digit 5, I as the digit 1.
    EXPECT_EQ(tenDigitSegments(33), tenDigitSegments(5));
    EXPECT_EQ(tenDigitSegments(24), tenDigitSegments(1));
}

TEST(TenDigitSegments, RawPatternBitsMapAtoG) {
    EXPECT_EQ(tenDigitSegments(255), kAll);
    EXPECT_EQ(tenDigitSegments(128), 0);
    EXPECT_EQ(tenDigitSegments(128 + 64), kSegA);
    EXPECT_EQ(tenDigitSegments(128 + 1), kSegG);
    EXPECT_EQ(tenDigitSegments(128 + 4), kSegE);
}

TEST(TenDigitSegments, TextMappingOfEveryCode) {
    std::string all;
    for (int c = 0; c <= kTenDigitLastCode; ++c) all += tenDigitChar(c);
    EXPECT_EQ(all, "0123456789-:. AbCcdEFGHhIiJLnoPqrStUuy");
    EXPECT_EQ(tenDigitChar(128), '#');
    EXPECT_EQ(tenDigitChar(255), '#');
}

TEST(TenDigitDisplay, PutDeviceBindsWithFlagBusyUntilInit) {
    TenRig r;
    r.rig.m.bus.slots[3].flag = 0;
    r.d.PutDevice(3);
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleDisplay10);
    EXPECT_EQ(r.flag(3), 1);
    EXPECT_EQ(r.d.labelText(), "Output Device 1");
    r.d.doInit();
    EXPECT_EQ(r.flag(3), 0);
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.text(), std::string(10, ' '));
}

TEST(TenDigitDisplay, CharactersStayHiddenUntilDisplayOn) {
    TenRig r;
    r.open(2);
    r.send({1, 2, 3});
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.text(), "123       ");
    r.send({kTenDigitOn});
    EXPECT_TRUE(r.d.displayOn());
    EXPECT_EQ(r.d.cursor(), 3);
    r.send({kTenDigitOff});
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.text(), "123       ");  // off keeps the cells
}

TEST(TenDigitDisplay, CursorCommandTakesLowFourBitsAndWrapsAboveNine) {
    TenRig r;
    r.open(2);
    r.send({kTenDigitCursor + 9});
    EXPECT_EQ(r.d.cursor(), 9);
    r.send({kTenDigitCursor + 12});
    EXPECT_EQ(r.d.cursor(), 0);
    r.send({kTenDigitCursor + 5, 7});
    EXPECT_EQ(r.d.text(), "     7    ");
    EXPECT_EQ(r.d.cursor(), 6);
    const int before = r.host.redraws;
    r.send({kTenDigitCursor + 1});
    EXPECT_EQ(r.host.redraws, before);  // moving the cursor draws nothing
}

TEST(TenDigitDisplay, CursorStopsAtLastCellAndOverwrites) {
    TenRig r;
    r.open(2);
    r.send({kTenDigitInit, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 14});
    EXPECT_EQ(r.d.text(), "012345678A");
    EXPECT_EQ(r.d.cursor(), 9);
}

TEST(TenDigitDisplay, ErrorTextBlanksRestAndKeepsCursor) {
    TenRig r;
    r.open(2);
    r.send({8, 8, 8, 8, 8, 8, 8, kTenDigitError});
    EXPECT_EQ(r.d.text(), "Error     ");
    EXPECT_EQ(r.d.cursor(), 7);
}

TEST(TenDigitDisplay, UnusedCodesBlankAndIgnoredCodesDoNothing) {
    TenRig r;
    r.open(2);
    r.send({5, 5, kTenDigitCursor + 0, 50});
    EXPECT_EQ(r.d.text(), " 5        ");
    EXPECT_EQ(r.d.cursor(), 1);
    EXPECT_EQ(r.d.cells()[0], kTenDigitBlank);
    for (int v : {81, 94, 97, 111, 113, 127}) {
        r.send({v});
        EXPECT_EQ(r.d.text(), " 5        ") << v;
        EXPECT_EQ(r.d.cursor(), 1) << v;
        EXPECT_FALSE(r.d.displayOn()) << v;
    }
}

TEST(TenDigitDisplay, RawPatternsAreStoredAndAdvance) {
    TenRig r;
    r.open(2);
    r.send({128, 255});
    EXPECT_EQ(r.d.cells()[0], 128);
    EXPECT_EQ(r.d.cells()[1], 255);
    EXPECT_EQ(r.d.cursor(), 2);
    EXPECT_EQ(r.d.text(), "##        ");
}

TEST(TenDigitDisplay, InitCommandClearsAndHomesButKeepsOnState) {
    TenRig r;
    r.open(2);
    r.send({kTenDigitOn, 1, 2, kTenDigitInit});
    EXPECT_EQ(r.d.text(), std::string(10, ' '));
    EXPECT_EQ(r.d.cursor(), 0);
    EXPECT_TRUE(r.d.displayOn());
}

TEST(TenDigitDisplay, ResetBlanksTurnsOffAndStaysReady) {
    TenRig r;
    r.open(2);
    r.send({kTenDigitOn, 4, 2});
    r.rig.m.bus.slots[2].flag = 1;
    r.d.doReset();
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.cursor(), 0);
    EXPECT_EQ(r.d.text(), std::string(10, ' '));
    EXPECT_EQ(r.flag(2), 0);
}

// A transfer resets the modules the machine's device reset names; this display is not one.
TEST(TenDigitDisplay, DeviceResetDoesNotReachIt) {
    TenRig r;
    r.open(2);
    r.send({kTenDigitOn, 6});
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.d.text(), "6         ");
    EXPECT_TRUE(r.d.displayOn());
}

TEST(TenDigitDisplay, CloseFreesSlot) {
    TenRig r;
    r.open(3);
    r.d.close();
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleNone);
    EXPECT_EQ(r.flag(3), 1);
    EXPECT_EQ(r.d.GetDevice(), -1);
    EXPECT_EQ(r.d.labelText(), "No Device Set");
}

TEST(TenDigitDisplay, MachineResetUnbindsAndLeavesFreeSlotFlagAlone) {
    TenRig r;
    r.open(2);
    r.rig.m.reset();
    EXPECT_EQ(r.d.GetDevice(), -1);
    r.d.doReset();
    EXPECT_EQ(r.flag(2), 1);
    r.rig.m.bus.slots[2].output = 3;
    r.d.UpdateData();
    EXPECT_EQ(r.d.text(), std::string(10, ' '));
}

// --- through the processor ---

// Output device 0: D10_ON, then "12", then a skip on the flag that is always ready.
TEST(TenDigitDisplay, OutputInstructionsWriteAndSkipSeesReady) {
    TenRig r;
    r.open(2);
    r.rig.load({
        op::TAD(12), op::OUT(0, op::kTransfer),             // 0, 1: D10_ON (AC becomes 0)
        op::TAD(13), op::OUT(0, op::kTransfer | op::kPulse),  // 2, 3: "1", pulsed
        op::TAD(14), op::OUT(0, op::kTransfer),             // 4, 5: "2"
        op::OUT(0, op::kSkip),                              // 6: ready: skips 7
        op::HLT, op::HLT,                                   // 7, 8
    });
    r.rig.load({kTenDigitOn, 1, 2}, 12);
    r.rig.start();
    r.rig.run();
    EXPECT_TRUE(r.d.displayOn());
    EXPECT_EQ(r.d.text(), "12        ");
    EXPECT_EQ(r.rig.m.pc, 9);  // halted at 8
    EXPECT_EQ(r.flag(2), 0);   // the pulse made nothing busy
}

TEST(TenDigitDisplay, OutputToOtherSlotIsIgnored) {
    TenRig r;
    r.open(3);
    r.rig.load({op::TAD(3), op::OUT(0, op::kTransfer), op::HLT, 7});
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.d.text(), std::string(10, ' '));
}

}  // namespace
}  // namespace mira::devices
