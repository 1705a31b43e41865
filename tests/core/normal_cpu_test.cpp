// Effects of each Normal-mode instruction on registers, memory, flags and PC.
#include <gtest/gtest.h>

#include "machine_rig.h"
#include "param_name.h"

namespace mira::core::test {
namespace {

using namespace op;

TEST(NormalCpu, TadAddsModulo256AndLeavesCarryAlone) {
    Rig r;
    r.load({TAD(10), HLT});
    r.m.memory[10] = 100;
    r.m.ac = 200;
    r.start();
    r.stepTo(kCycleExecute, 2);
    EXPECT_EQ(r.m.c, 0) << "TAD never sets the carry";
    r.stepInstruction();
    EXPECT_EQ(r.m.ac, 44);
    EXPECT_EQ(r.m.c, 0);
    EXPECT_EQ(r.m.mb, 100);
}

TEST(NormalCpu, AndMasksAccumulator) {
    Rig r;
    r.load({AND(10), HLT});
    r.m.memory[10] = 0x0F;
    r.m.ac = 0xA5;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 0x05);
    EXPECT_EQ(r.m.memory[10], 0x0F);
}

TEST(NormalCpu, IszSkipsWhenWordWrapsToZero) {
    Rig r;
    r.load({ISZ(10), HLT, HLT});
    r.m.memory[10] = 255;
    r.start();
    r.run();
    EXPECT_EQ(r.m.memory[10], 0);
    EXPECT_EQ(r.m.pc, 3) << "skipped word 1, halted at word 2";
}

TEST(NormalCpu, IszDoesNotSkipBelowWrap) {
    Rig r;
    r.load({ISZ(10), HLT, HLT});
    r.m.memory[10] = 254;
    r.start();
    r.run();
    EXPECT_EQ(r.m.memory[10], 255);
    EXPECT_EQ(r.m.pc, 2);
}

TEST(NormalCpu, DcaStoresAndClearsAccumulator) {
    Rig r;
    r.load({DCA(10), HLT});
    r.m.ac = 77;
    r.start();
    r.stepInstruction();
    EXPECT_EQ(r.m.memory[10], 77);
    EXPECT_EQ(r.m.ac, 0);
    EXPECT_EQ(r.m.mb, 77);
}

TEST(NormalCpu, JmbStoresReturnAddressAndContinuesAfterIt) {
    Rig r;
    r.load({JMB(4)}, 16);  // word 16 jumps to 20 (page 1, offset 4)
    r.load({HLT}, 21);
    r.start(16);
    r.run();
    EXPECT_EQ(r.m.memory[20], 17) << "return address";
    EXPECT_EQ(r.m.pc, 22) << "halted at 21";
}

TEST(NormalCpu, JmpDirectAndIndirect) {
    Rig r;
    r.load({JMP(5)});
    r.load({JMP(6) | I}, 5);
    r.m.memory[6] = 40;
    r.load({HLT}, 40);
    r.start();
    r.run();
    EXPECT_EQ(r.m.pc, 41);
    EXPECT_EQ(r.m.instructionCount, 3);
}

TEST(NormalCpu, IndirectDataReferenceGoesThroughPointer) {
    Rig r;
    r.load({TAD(9) | I, HLT});
    r.m.memory[9] = 200;
    r.m.memory[200] = 33;
    r.m.ac = 1;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 34);
}

TEST(NormalCpu, EffectiveAddressStaysInCurrentPage) {
    Rig r;
    r.load({TAD(3), HLT}, 0x40);
    r.m.memory[0x43] = 5;
    r.m.memory[3] = 100;
    r.start(0x40);
    r.run();
    EXPECT_EQ(r.m.ac, 5);
}

struct ZeroPageCase {
    int instruction;
    int expectedAc;
    const char* what;
};

class ZeroPageMode : public ::testing::TestWithParam<ZeroPageCase> {};

TEST_P(ZeroPageMode, SelectsPageZeroOrCurrentPage) {
    const ZeroPageCase& c = GetParam();
    Rig r;
    r.m.options.zeroPageMode = true;
    r.load({c.instruction, HLT}, 0x80);
    r.m.memory[5] = 11;      // word 5 of page 0
    r.m.memory[13] = 12;     // word 13 of page 0
    r.m.memory[0x85] = 21;   // word 5 of page 8
    r.m.memory[0x8D] = 22;   // word 13 of page 8
    r.m.ac = 0;
    r.start(0x80);
    r.run();
    EXPECT_EQ(r.m.ac, c.expectedAc) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    NormalCpu, ZeroPageMode,
    ::testing::Values(ZeroPageCase{TAD(5), 11, "bit 3 clear reads page 0"},
                      ZeroPageCase{TAD(13), 22, "bit 3 set reads the current page"}),
    mira::test::caseNames([](const ZeroPageCase& c) { return c.what; }));

TEST(NormalCpu, ZeroPageAndReadsWordOfPageZeroFromAnyPage) {
    Rig r;
    r.m.options.zeroPageMode = true;
    r.load({AND(5), HLT}, 0xC0);
    r.m.memory[5] = 0x3C;
    r.m.memory[0xC5] = 0xFF;
    r.m.ac = 0xFF;
    r.start(0xC0);
    r.run();
    EXPECT_EQ(r.m.ac, 0x3C);
}

TEST(NormalCpu, ZeroPageModeLeavesDirectJumpsInCurrentPage) {
    Rig r;
    r.m.options.zeroPageMode = true;
    r.load({JMP(3)}, 0x50);
    r.load({HLT}, 0x53);
    r.load({HLT}, 0x03);
    r.start(0x50);
    r.run();
    EXPECT_EQ(r.m.pc, 0x54);
}

TEST(NormalCpu, ZeroPageModeIndirectJmbUsesPageZeroPointer) {
    Rig r;
    r.m.options.zeroPageMode = true;
    r.load({JMB(2) | I}, 0x60);
    r.m.memory[2] = 0x90;  // pointer in page 0
    r.m.memory[0x62] = 0xA0;
    r.load({HLT}, 0x91);
    r.start(0x60);
    r.run();
    EXPECT_EQ(r.m.memory[0x90], 0x61);
    EXPECT_EQ(r.m.pc, 0x92);
}

TEST(NormalCpu, Group1ClearComplementGives255) {
    Rig r;
    r.load({CLA | CMA, HLT});
    r.m.ac = 0x12;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 255);
}

TEST(NormalCpu, Group1IncrementSetsCarryUntilClockState12) {
    Rig r;
    r.load({CLA | CMA | IAC, HLT});
    r.start();
    r.runThrough(kCycleExecute, 11);
    EXPECT_EQ(r.m.ac, 0);
    EXPECT_EQ(r.m.c, 1);
    r.runThrough(kCycleExecute, 12);
    EXPECT_EQ(r.m.c, 0);
}

TEST(NormalCpu, Group1RotateLeftWrapsBit7) {
    Rig r;
    r.load({RAL, HLT});
    r.m.ac = 0x81;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 0x03);
}

TEST(NormalCpu, Group1WithoutOperationBitsLeavesAccumulator) {
    Rig r;
    r.load({NOP, HLT});
    r.m.ac = 0x5A;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 0x5A);
}

struct SkipCase {
    int instruction;
    int ac;
    bool skips;
};

class Group2Skip : public ::testing::TestWithParam<SkipCase> {};

TEST_P(Group2Skip, SkipsOnCondition) {
    const SkipCase& c = GetParam();
    Rig r;
    r.load({c.instruction, HLT, HLT});
    r.m.ac = c.ac;
    r.start();
    r.run();
    EXPECT_EQ(r.m.pc, c.skips ? 3 : 2);
}

INSTANTIATE_TEST_SUITE_P(NormalCpu, Group2Skip,
                         ::testing::Values(SkipCase{SZA, 0, true}, SkipCase{SZA, 1, false},
                                           SkipCase{SMA, 0x80, true}, SkipCase{SMA, 0x7F, false},
                                           SkipCase{SZA | SMA, 0x90, true},
                                           SkipCase{SZA | SMA, 0x10, false},
                                           SkipCase{0xF0, 0, false}),
                         mira::test::caseNames([](const SkipCase& c) {
                             return "instruction " + std::to_string(c.instruction) + " AC " +
                                    std::to_string(c.ac) + (c.skips ? " skips" : " goes on");
                         }));

TEST(NormalCpu, Group2RotateRightWrapsBit0) {
    Rig r;
    r.load({RAR, HLT});
    r.m.ac = 0x03;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 0x81);
    EXPECT_EQ(r.m.pc, 2);
}

// Rotate together with a skip: the skip tests AC before the rotate and PC advances as for
// any skip, rather than taking whatever a stale channel held.
TEST(NormalCpu, Group2RotateWithSkipTestsBeforeRotateAndSkips) {
    Rig r;
    r.load({SMA | RAR, HLT, HLT});
    r.m.ac = 0x81;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 0xC0);
    EXPECT_EQ(r.m.pc, 3);

    Rig q;
    q.load({SZA | RAR, HLT, HLT});
    q.m.ac = 0x01;  // rotates to 0x80: not zero before the rotate, so no skip
    q.start();
    q.run();
    EXPECT_EQ(q.m.ac, 0x80);
    EXPECT_EQ(q.m.pc, 2);
}

TEST(NormalCpu, HaltStopsRunAtInstructionEnd) {
    Rig r;
    r.load({HLT, HLT});
    r.start();
    const auto res = r.run();
    EXPECT_EQ(res.reason, RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(res.instructions, 1u);
    EXPECT_FALSE(r.m.run);
    EXPECT_EQ(r.m.cycleState, kCycleIdle);
    EXPECT_EQ(r.m.pc, 1);
}

TEST(NormalCpu, PcWrapsInFetchSkipAndJmb) {
    {
        Rig r;  // fetch at 255 continues at 0
        r.load({IAC}, 255);
        r.load({HLT}, 0);
        r.start(255);
        r.run();
        EXPECT_EQ(r.m.pc, 1);
        EXPECT_EQ(r.m.ac, 1);
    }
    {
        Rig r;  // a skip at 254 jumps over 255 to 0
        r.load({SZA}, 254);
        r.load({HLT}, 0);
        r.m.ac = 0;
        r.start(254);
        r.run();
        EXPECT_EQ(r.m.pc, 1);
    }
    {
        Rig r;  // JMB to 255 continues at 0
        r.load({JMB(15)}, 0xF0);
        r.load({HLT}, 0);
        r.start(0xF0);
        r.run();
        EXPECT_EQ(r.m.memory[255], 0xF1);
        EXPECT_EQ(r.m.pc, 1);
    }
}

TEST(NormalCpu, OutputWithTransferClearsAccumulator) {
    Rig r;
    r.load({OUT(0, kTransfer), HLT});
    r.m.ac = 42;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 0);
    EXPECT_EQ(r.m.bus.slots[2].output, 42);
}

TEST(NormalCpu, OutputWithoutTransferLeavesAccumulator) {
    Rig r;
    r.load({OUT(1, kPulse), HLT});
    r.m.ac = 42;
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 42);
    EXPECT_EQ(r.m.bus.slots[3].output, 0);
}

TEST(NormalCpu, InputFromFreeSlotReads255) {
    Rig r;
    r.load({IN(1, kTransfer), HLT});
    r.start();
    r.run();
    EXPECT_EQ(r.m.ac, 255);
    EXPECT_EQ(r.m.bus.slots[1].input, 255);
}

TEST(NormalCpu, FlagSkipOnFreeSlotNeverSkips) {
    for (int dev = 0; dev < 2; ++dev) {
        Rig r;
        r.load({OUT(dev, kSkip), HLT, HLT});
        r.start();
        r.run();
        EXPECT_EQ(r.m.pc, 2) << "output device " << dev;
        Rig q;
        q.load({IN(dev, kSkip), HLT, HLT});
        q.start();
        q.run();
        EXPECT_EQ(q.m.pc, 2) << "input device " << dev;
    }
}

TEST(NormalCpu, FlagSkipSkipsWhenReady) {
    Rig r;
    r.m.bus.slots[1].flag = 0;
    r.load({IN(1, kSkip), HLT, HLT});
    r.start();
    r.run();
    EXPECT_EQ(r.m.pc, 3);
}

TEST(NormalCpu, InstructionCountWrapsAfter20Bits) {
    Rig r;
    r.m.instructionCount = 1048575;
    r.load({HLT});
    r.start();
    r.run();
    EXPECT_EQ(r.m.instructionCount, 0);
}

TEST(NormalCpu, InstructionCountCountsEveryFetch) {
    Rig r;
    r.load({IAC, IAC, IAC, HLT});
    r.start();
    r.run();
    EXPECT_EQ(r.m.instructionCount, 4);
    EXPECT_EQ(r.m.ac, 3);
}

TEST(NormalCpu, EachInstructionTakesOneCyclePerMemoryAccess) {
    Rig r;
    r.load({TAD(10), TAD(11) | I, HLT});
    r.m.memory[11] = 10;
    r.start();
    EXPECT_EQ(r.stepInstruction(), 48) << "fetch + execute";
    EXPECT_EQ(r.stepInstruction(), 72) << "fetch + defer + execute";
}

TEST(NormalCpu, SingleInstructionModeStopsAfterEachInstruction) {
    Rig r;
    r.m.switches[kSwitchSingleCont] = 0;
    r.load({IAC, IAC, HLT});
    r.start();
    auto res = r.run();
    EXPECT_EQ(res.instructions, 1u);
    EXPECT_EQ(r.m.ac, 1);
    EXPECT_FALSE(r.m.run);
    r.start(r.m.pc);
    res = r.run();
    EXPECT_EQ(res.instructions, 1u);
    EXPECT_EQ(r.m.ac, 2);
}

TEST(NormalCpu, HeldHaltSwitchStopsAtInstructionEnd) {
    Rig r;
    r.load({JMP(0)});
    r.start();
    r.rc.runHeadless(30, UINT64_MAX);  // into the first instruction
    r.m.switches[kSwitchHalt] = 1;
    const auto res = r.run();
    EXPECT_EQ(res.reason, RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(res.instructions, 1u);
    EXPECT_EQ(r.m.t, 0);
}

TEST(NormalCpu, DepositStoresSwitchRegisterAndAdvancesPc) {
    Rig r;
    r.m.pc = 10;
    for (int i = 0; i < 8; ++i) r.m.switches[i] = (0x3C >> (7 - i)) & 1 ? 0 : 1;
    r.m.computeSr();
    r.m.cycleState = kCycleDeposit;
    r.m.t = 0;
    int steps = 0;
    while (r.m.t != normal::kPanelCycleDone && steps < 100) {
        r.rc.step();
        ++steps;
    }
    EXPECT_EQ(steps, 24);
    EXPECT_EQ(r.m.memory[10], 0x3C);
    EXPECT_EQ(r.m.mb, 0x3C);
    EXPECT_EQ(r.m.ma, 10);
    EXPECT_EQ(r.m.pc, 11);
    EXPECT_FALSE(r.m.run);
    r.rc.step();  // a finished panel cycle does nothing more
    EXPECT_EQ(r.m.pc, 11);
}

TEST(NormalCpu, ExamineLoadsMemoryBufferAndAdvancesPc) {
    Rig r;
    r.m.pc = 255;
    r.m.memory[255] = 0x99;
    r.m.memory[0] = 0x11;
    r.m.cycleState = kCycleExamine;
    r.m.t = 0;
    while (r.m.t != normal::kPanelCycleDone) r.rc.step();
    EXPECT_EQ(r.m.mb, 0x99);
    EXPECT_EQ(r.m.pc, 0) << "wraps past the top";
    EXPECT_EQ(r.m.memory[255], 0x99);
}

TEST(NormalCpu, WholeCycleRunMatchesSingleSteps) {
    // The fast path runs whole cycles; it must leave the machine exactly as single steps do.
    const std::vector<int> program = {CLA,       TAD(13),   DCA(14), ISZ(14),     JMB(7),
                                      HLT,       0,         0,       OUT(0, 7),   IN(1, 3),
                                      SMA | SZA, HLT,       JMP(7) | I, 0x7E,     0};
    Rig a, b;
    for (Rig* r : {&a, &b}) {
        int at = 0;
        for (int w : program) r->m.memory[at++] = w;
        r->start();
    }
    EXPECT_EQ(a.run().reason, RunControl::HeadlessStop::Stopped);
    int guard = 0;
    while (b.m.run && guard++ < 100000) b.rc.step();
    EXPECT_EQ(a.m.pc, b.m.pc);
    EXPECT_EQ(a.m.ac, b.m.ac);
    EXPECT_EQ(a.m.mb, b.m.mb);
    EXPECT_EQ(a.m.ma, b.m.ma);
    EXPECT_EQ(a.m.pc, 6) << "halted at word 5";
    EXPECT_EQ(a.m.memory[14], 0x7F);
    EXPECT_EQ(a.m.memory[7], 5);
    EXPECT_EQ(a.m.instructionCount, b.m.instructionCount);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(a.m.memory[i], b.m.memory[i]) << "word " << i;
}

}  // namespace
}  // namespace mira::core::test
