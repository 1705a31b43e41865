// Machine state: the switch register, reset, the memory fills and the memory size.
#include <gtest/gtest.h>

#include <set>

#include "core/machine.h"

namespace mira::core {
namespace {

void setSrSwitches(Machine& m, int state) {
    for (int i = 0; i < 8; ++i) m.setSwitch(i, state != 0);
}

TEST(Machine, SwitchRegisterIsInverseOfSwitchStates) {
    Machine m;
    EXPECT_EQ(m.sr, 255) << "all switches at rest";
    setSrSwitches(m, 1);
    EXPECT_EQ(m.sr, 0);
    m.setSwitch(0, false);  // switch 0 is bit 7
    EXPECT_EQ(m.sr, 0x80);
    m.setSwitch(7, false);
    EXPECT_EQ(m.sr, 0x81);
}

TEST(Machine, ExternalMasksAndIntoSwitchRegister) {
    Machine m;
    m.setExternalMask1(15);
    EXPECT_EQ(m.sr, 15);
    m.setExternalMask2(0x3C);
    EXPECT_EQ(m.sr, 0x0C);
    m.setSwitch(4, true);  // bit 3 off
    EXPECT_EQ(m.sr, 0x04);
    EXPECT_EQ(m.panelValue, 0xF7);
}

TEST(Machine, SetPcFromSwitchesTakesSwitchRegister) {
    Machine m;
    m.setSwitch(0, true);
    m.setExternalMask1(0x7E);
    m.SetPCfromSwitches();
    EXPECT_EQ(m.pc, 0x7E);
    EXPECT_EQ(m.lamps.pc, 0x7E);
}

TEST(Machine, ResetRestoresRunStateAndUnbindsSlots) {
    Machine m;
    class Dummy final : public Device {
    public:
        int moduleType() const override { return kModuleOctalLed; }
    } dummy;
    m.bus.bind(2, dummy);
    m.bus.slots[2].flag = 0;
    m.bus.slots[2].output = 9;
    m.run = true;
    m.c = m.z = m.dc = 1;
    m.instructionCount = 77;
    m.instructionLamps[3] = true;
    m.lastBreakStop = 12;
    m.setExternalMask1(3);
    m.externalControl = 0;
    m.stackDepth = 2;
    m.stackOverflow = true;
    m.options.ignoreBreakpoints = true;
    m.options.clearMemoryBeforeAssemble = true;
    m.options.zeroPageMode = true;
    m.memory[5] = 42;

    m.reset();

    EXPECT_FALSE(m.run);
    EXPECT_EQ(m.c + m.z + m.dc, 0);
    EXPECT_EQ(m.instructionCount, 0);
    EXPECT_FALSE(m.instructionLamps[3]);
    EXPECT_TRUE(m.fetchLamp);
    EXPECT_EQ(m.lastBreakStop, -1);
    EXPECT_EQ(m.externalMask1, 255);
    EXPECT_EQ(m.sr, 255);
    EXPECT_EQ(m.externalControl, 3);
    EXPECT_EQ(m.stackDepth, 0);
    EXPECT_FALSE(m.stackOverflow);
    EXPECT_FALSE(m.options.ignoreBreakpoints);
    EXPECT_FALSE(m.options.clearMemoryBeforeAssemble);
    EXPECT_TRUE(m.options.zeroPageMode) << "options the user set survive a reset";
    EXPECT_EQ(m.memory[5], 42) << "memory survives a reset";
    for (const auto& s : m.bus.slots) {
        EXPECT_EQ(s.type, kModuleNone);
        EXPECT_EQ(s.flag, 1);
        EXPECT_EQ(s.pulse, 1);
        EXPECT_EQ(s.output, 0);
        EXPECT_EQ(s.device, nullptr);
    }
}

TEST(Machine, MemorySizeFollowsMode) {
    Machine m;
    EXPECT_EQ(m.memorySize, 256);
    EXPECT_EQ(m.addressMask, 255);
    m.options.mode = OperatingMode::Wif;
    m.updateMemorySize();
    EXPECT_EQ(m.memorySize, 1024);
    EXPECT_EQ(m.addressMask, 1023);
}

TEST(Machine, InitMemoryZerosAndOnes) {
    Machine m;
    m.memory[300] = 7;
    m.initMemory(1);
    EXPECT_EQ(m.memory[0], 255);
    EXPECT_EQ(m.memory[255], 255);
    EXPECT_EQ(m.memory[300], 7) << "only the current memory size";
    EXPECT_EQ(m.pc, 255);
    EXPECT_EQ(m.ac, 255);
    m.initMemory(0);
    EXPECT_EQ(m.memory[255], 0);
    EXPECT_EQ(m.pc + m.ma + m.mb + m.ac, 0);
}

TEST(Machine, InitMemoryOnesInWifFillsWordsButPcGets255) {
    Machine m;
    m.options.mode = OperatingMode::Wif;
    m.updateMemorySize();
    m.initMemory(1);
    EXPECT_EQ(m.memory[1023], 65535);
    EXPECT_EQ(m.pc, 255);
}

TEST(Machine, RandomFillStaysInRangeAndFollowsSeed) {
    for (auto mode : {OperatingMode::Normal, OperatingMode::Wif}) {
        Machine m;
        m.randomSeed = [] { return 1234u; };
        m.options.mode = mode;
        m.updateMemorySize();
        m.initMemory(2);
        std::set<int32_t> distinct;
        for (int i = 0; i < m.memorySize; ++i) {
            ASSERT_GE(m.memory[i], 0);
            ASSERT_LT(m.memory[i], m.memorySize);
            distinct.insert(m.memory[i]);
        }
        EXPECT_GT(distinct.size(), static_cast<size_t>(m.memorySize / 2)) << "looks random";
        EXPECT_LT(m.pc, m.memorySize);
        EXPECT_LT(m.ac, 256);
        const auto first = m.memory;
        m.initMemory(2);
        EXPECT_EQ(m.memory, first) << "same seed, same fill";
    }
}

TEST(Machine, InitRamAndEeprom) {
    Machine m;
    m.stackDepth = 3;
    m.initRam(1);
    for (auto b : m.ram) EXPECT_EQ(b, 255);
    for (auto s : m.stack) EXPECT_EQ(s, 255);
    EXPECT_EQ(m.stackDepth, 0);
    m.initRam(0);
    for (auto b : m.ram) EXPECT_EQ(b, 0);
    m.eeprom.fill(3);
    m.eepromPointer = 9;
    m.initEeprom();
    for (auto b : m.eeprom) EXPECT_EQ(b, 255);
    EXPECT_EQ(m.eepromPointer, 0);
}

TEST(Machine, ChangedListKeepsEachAddressOnce) {
    Machine m;
    m.writeMemory(4, 1);
    m.writeMemory(4, 2);
    m.writeMemory(9, 3);
    EXPECT_EQ(m.changedCount, 2);
    m.clearChangedList();
    EXPECT_EQ(m.changedCount, 0);
    m.writeMemory(4, 5);
    EXPECT_EQ(m.changedCount, 1) << "cleared marks allow the address again";
}

// Only a breakpoint inside the mode's memory counts: one at each end of it and between
// the eight-byte groups the test reads, and one just past it in Normal mode.
TEST(Machine, AnyBreakpointSeesEveryAddressOfTheMemory) {
    struct Case {
        OperatingMode mode;
        int address;  // -1: none set
        bool expected;
    };
    const Case cases[] = {
        {OperatingMode::Normal, -1, false}, {OperatingMode::Normal, 0, true},
        {OperatingMode::Normal, 7, true},   {OperatingMode::Normal, 8, true},
        {OperatingMode::Normal, 255, true}, {OperatingMode::Normal, 256, false},
        {OperatingMode::Wif, -1, false},    {OperatingMode::Wif, 256, true},
        {OperatingMode::Wif, 1023, true},
    };
    for (const Case& c : cases) {
        Machine m;
        m.options.mode = c.mode;
        m.updateMemorySize();
        if (c.address >= 0) m.breakpoints[static_cast<size_t>(c.address)] = 1;
        EXPECT_EQ(m.anyBreakpoint(), c.expected) << "address " << c.address;
    }
}

TEST(SerialChannel, EightShiftsMoveSourceIntoDestinationLsbFirst) {
    SerialChannel ch;
    ch.load(0xA5, 0x3C);
    EXPECT_EQ(ch.shift(), (0xA5 >> 1) | 0);
    EXPECT_EQ(ch.shift(), (0xA5 >> 2) | 0);
    EXPECT_EQ(ch.shift(), (0xA5 >> 3) | 0x80);
    for (int i = 3; i < 8; ++i) ch.shift();
    EXPECT_EQ(ch.dest, 0x3C);
    EXPECT_EQ(ch.src, 0);
}

}  // namespace
}  // namespace mira::core
