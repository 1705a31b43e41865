// Clock-state traces: which register holds what at the clock states that matter, checked
// step by step so the serial data paths stay honest while the core is optimised.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine_rig.h"
#include "param_name.h"

namespace mira::core::test {
namespace {

using namespace op;

TEST(NormalTrace, FetchShiftsPcAndMaBitByBit) {
    Rig r;
    r.load({TAD(10)}, 5);
    r.start(5);
    r.runThrough(kCycleFetch, 0);
    EXPECT_EQ(r.m.ma, 0);
    EXPECT_EQ(r.m.ir, 0);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleFetch, 1);
    EXPECT_EQ(r.m.c, 1);
    EXPECT_EQ(r.m.pc, 5) << "loading a channel changes nothing yet";
    r.runThrough(kCycleFetch, 2);
    // One bit in: MA gets bit 0 of 5 on top; PC starts from its own value (5) shifting out.
    EXPECT_EQ(r.m.ma, 128);
    EXPECT_EQ(r.m.pc, 2);
    r.runThrough(kCycleFetch, 9);
    EXPECT_EQ(r.m.ma, 5);
    EXPECT_EQ(r.m.pc, 6);
    EXPECT_EQ(r.m.lamps.pc, 6) << "PC lamps latched at T9";
    EXPECT_EQ(r.m.lamps.ma, 5);
    r.runThrough(kCycleFetch, 12);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleFetch, 20);
    EXPECT_NE(r.m.mb, TAD(10)) << "still shifting";
    EXPECT_EQ(r.m.ir, 0);
    r.runThrough(kCycleFetch, 21);
    EXPECT_EQ(r.m.mb, TAD(10));
    EXPECT_EQ(r.m.ir, TAD(10));
    EXPECT_TRUE(r.m.fetchLamp);
    r.runThrough(kCycleFetch, 23);
    EXPECT_EQ(r.m.mb, 10) << "effective address";
    EXPECT_EQ(r.m.cycleState, kCycleExecute);
    EXPECT_FALSE(r.m.fetchLamp);
    EXPECT_TRUE(r.m.execLamp);
    EXPECT_TRUE(r.m.instructionLamps[normal::kOpTad]);
    EXPECT_EQ(r.m.t, 0);
}

TEST(NormalTrace, TadExecute) {
    Rig r;
    r.load({TAD(10)});
    r.m.memory[10] = 100;
    r.m.ac = 200;
    r.start();
    r.runThrough(kCycleExecute, 0);
    EXPECT_EQ(r.m.ma, 0);
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.ma, 10);
    r.runThrough(kCycleExecute, 2);
    EXPECT_EQ(r.m.ac, 100) << "200 shifted right once, sum bit 0 (0) on top";
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.ac, 44);
    EXPECT_EQ(r.m.mb, 100);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleExecute, 23);
    EXPECT_EQ(r.m.cycleState, kCycleFetch);
    EXPECT_TRUE(r.m.fetchLamp);
    EXPECT_FALSE(r.m.execLamp);
    EXPECT_FALSE(r.m.instructionLamps[normal::kOpTad]);
    EXPECT_EQ(r.m.lamps.ac, 44) << "all lamps latched at the cycle end";
}

TEST(NormalTrace, IszExecute) {
    Rig r;
    r.load({ISZ(10)});
    r.m.memory[10] = 255;
    r.start();
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.c, 1) << "the serial adder's carry-in";
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.mb, 0);
    EXPECT_EQ(r.m.memory[10], 255) << "memory is written back later";
    r.runThrough(kCycleExecute, 12);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleExecute, 13);
    EXPECT_EQ(r.m.c, 1) << "result zero: skip";
    EXPECT_EQ(r.m.pc, 1);
    r.runThrough(kCycleExecute, 21);
    EXPECT_EQ(r.m.memory[10], 0);
    EXPECT_EQ(r.m.pc, 2);
    r.runThrough(kCycleExecute, 23);
    EXPECT_EQ(r.m.c, 1);
}

TEST(NormalTrace, DcaExecute) {
    Rig r;
    r.load({DCA(10)});
    r.m.memory[10] = 0xFF;
    r.m.ac = 77;
    r.start();
    r.runThrough(kCycleExecute, 2);
    EXPECT_EQ(r.m.ac, 77 >> 1);
    EXPECT_EQ(r.m.memory[10], (0xFF >> 1) | ((77 & 1) << 7));
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.ac, 0);
    EXPECT_EQ(r.m.mb, 77);
    EXPECT_EQ(r.m.memory[10], 77);
    EXPECT_EQ(r.m.changedCount, 1) << "the word is listed once for the views";
}

TEST(NormalTrace, JmbExecute) {
    Rig r;
    r.load({JMB(4)}, 16);
    r.start(16);
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.ma, 20);
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.mb, 17);
    EXPECT_EQ(r.m.memory[20], 17);
    EXPECT_EQ(r.m.pc, 17);
    r.runThrough(kCycleExecute, 12);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleExecute, 13);
    EXPECT_EQ(r.m.c, 1);
    r.runThrough(kCycleExecute, 21);
    EXPECT_EQ(r.m.pc, 21);
}

TEST(NormalTrace, JmpIndirectGoesThroughDefer) {
    Rig r;
    r.load({JMP(6) | I});
    r.m.memory[6] = 40;
    r.start();
    r.runThrough(kCycleFetch, 23);
    EXPECT_EQ(r.m.cycleState, kCycleDefer);
    EXPECT_TRUE(r.m.deferLamp);
    EXPECT_FALSE(r.m.execLamp);
    EXPECT_EQ(r.m.mb, 6);
    r.runThrough(kCycleDefer, 1);
    EXPECT_EQ(r.m.ma, 6);
    r.runThrough(kCycleDefer, 21);
    EXPECT_EQ(r.m.mb, 40);
    EXPECT_EQ(r.m.lamps.mb, 40);
    r.runThrough(kCycleDefer, 23);
    EXPECT_EQ(r.m.cycleState, kCycleExecute);
    EXPECT_FALSE(r.m.deferLamp);
    EXPECT_TRUE(r.m.execLamp);
    EXPECT_TRUE(r.m.instructionLamps[normal::kOpJmp]);
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.ma, 40);
    r.runThrough(kCycleExecute, 13);
    EXPECT_EQ(r.m.c, 0);
    EXPECT_EQ(r.m.pc, 1);
    r.runThrough(kCycleExecute, 21);
    EXPECT_EQ(r.m.pc, 40);
}

TEST(NormalTrace, Group1Operate) {
    Rig r;
    r.load({CLA | CMA | IAC});
    r.m.ac = 9;
    r.start();
    r.runThrough(kCycleExecute, 0);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.c, 1);
    EXPECT_EQ(r.m.ac, 9);
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.ac, 0);
    EXPECT_EQ(r.m.lamps.ac, 0);
    r.runThrough(kCycleExecute, 12);
    EXPECT_EQ(r.m.c, 0);
}

TEST(NormalTrace, Group2SkipOperate) {
    Rig r;
    r.load({SZA});
    r.m.ac = 0;
    r.start();
    r.runThrough(kCycleExecute, 12);
    EXPECT_EQ(r.m.c, 0);
    r.runThrough(kCycleExecute, 13);
    EXPECT_EQ(r.m.c, 1);
    EXPECT_EQ(r.m.pc, 1);
    r.runThrough(kCycleExecute, 21);
    EXPECT_EQ(r.m.pc, 2);
}

// Records the pulses a module sees and when.
class ProbeDevice final : public Device {
public:
    ProbeDevice(Machine& m, int type) : m_(m), type_(type) {}
    int moduleType() const override { return type_; }
    int getData() override {
        log.push_back("data@" + std::to_string(m_.t));
        return 0x42;
    }
    void execReady(int level) override {
        log.push_back("ready" + std::to_string(level) + "@" + std::to_string(m_.t));
    }
    void execResetFlag(int level) override {
        log.push_back("reset" + std::to_string(level) + "@" + std::to_string(m_.t));
    }
    void outputNotification(int slot) override {
        log.push_back("out" + std::to_string(m_.bus.slots[slot].output) + "@" +
                      std::to_string(m_.t));
    }
    void shiftInputData() override { ++shifts; }
    std::vector<std::string> log;
    int shifts = 0;

private:
    Machine& m_;
    int type_;
};

TEST(NormalTrace, OutputTransfer) {
    Rig r;
    ProbeDevice probe(r.m, kModuleOctalLed);
    r.m.bus.bind(2, probe);
    r.m.bus.slots[2].flag = 0;
    r.load({OUT(0, kSkip | kTransfer)});
    r.m.ac = 0x5A;
    r.start();
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.bus.slots[2].output, 0);
    r.runThrough(kCycleExecute, 8);
    EXPECT_TRUE(probe.log.empty()) << "told only once the byte is complete";
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.bus.slots[2].output, 0x5A);
    EXPECT_EQ(r.m.ac, 0);
    ASSERT_EQ(probe.log.size(), 1u);
    EXPECT_EQ(probe.log[0], "out90@9");
    r.runThrough(kCycleExecute, 13);
    EXPECT_EQ(r.m.c, 1) << "flag 0 means ready: skip";
    r.runThrough(kCycleExecute, 21);
    EXPECT_EQ(r.m.pc, 2);
}

TEST(NormalTrace, InputTransferWithPulse) {
    Rig r;
    ProbeDevice probe(r.m, kModuleKeypad);
    r.m.bus.bind(1, probe);
    r.m.bus.slots[1].flag = 0;
    r.load({IN(1, kSkip | kTransfer | kPulse)});
    r.start();
    r.runThrough(kCycleExecute, 1);
    EXPECT_EQ(r.m.bus.slots[1].input, 0x42);
    r.runThrough(kCycleExecute, 9);
    EXPECT_EQ(r.m.ac, 0x42);
    EXPECT_EQ(probe.shifts, 8) << "the keypad shifts along with every input shift";
    r.runThrough(kCycleExecute, 13);
    EXPECT_EQ(r.m.c, 1) << "the skip sees the flag before the pulse";
    EXPECT_EQ(r.m.bus.slots[1].pulse, 0);
    r.runThrough(kCycleExecute, 14);
    EXPECT_EQ(r.m.bus.slots[1].pulse, 1);
    const std::vector<std::string> expected = {"data@1", "ready0@13", "ready1@14"};
    EXPECT_EQ(probe.log, expected);
}

struct PulseCase {
    int resetMode;
    int instruction;
    int slot;
    int type;
    std::vector<std::string> expected;
};

class PulseTiming : public ::testing::TestWithParam<PulseCase> {};

TEST_P(PulseTiming, PulsesAtTheirClockStates) {
    const PulseCase& c = GetParam();
    Rig r;
    r.m.options.outputResetMode = c.resetMode;
    ProbeDevice probe(r.m, c.type);
    r.m.bus.bind(c.slot, probe);
    r.load({c.instruction, HLT});
    r.start();
    r.run();
    // Output notifications are not pulses.
    std::vector<std::string> pulses;
    for (const auto& e : probe.log)
        if (e.rfind("out", 0) != 0 && e.rfind("data", 0) != 0) pulses.push_back(e);
    EXPECT_EQ(pulses, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    NormalTrace, PulseTiming,
    ::testing::Values(
        PulseCase{1, OUT(0, kPulse | kTransfer), 2, kModuleOctalLed, {"reset0@13", "reset1@14"}},
        PulseCase{0, OUT(0, kPulse | kTransfer), 2, kModuleOctalLed, {"reset0@1", "reset1@2"}},
        PulseCase{0, OUT(1, kPulse), 3, kModulePrinter, {"reset0@1", "reset1@2"}},
        PulseCase{1, OUT(0, kTransfer), 2, kModuleOctalLed, {}},
        PulseCase{0, IN(0, kPulse), 0, kModuleAscii, {"ready0@13", "ready1@14"}},
        PulseCase{1, IN(0, kPulse), 0, kModuleAscii, {"ready0@13", "ready1@14"}},
        // Modules that take no reset pulse are not called.
        PulseCase{1, OUT(0, kPulse), 2, kModuleDisplay10, {}}),
    mira::test::caseNames([](const PulseCase& c) {
        return "slot " + std::to_string(c.slot) + " reset mode " + std::to_string(c.resetMode) +
               (c.expected.empty() ? " no pulse" : " " + c.expected.front());
    }));

}  // namespace
}  // namespace mira::core::test
