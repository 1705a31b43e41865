// The instruction engine against the clock-state engine on programs that use every device
// module of a headless run, fed by scripted keys, switches and serial bytes: both run the
// same program from the same start, compared field by field and module state by module
// state (each module's JSON) after every instruction of stepped phases and at the end of
// longer runs, some of which stop inside an instruction on a clock-state limit.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_modules.h"
#include "cli/json_writer.h"
#include "core/engine_compare.h"
#include "core/machine_rig.h"
#include "core/serial_test_port.h"
#include "core/wif_cpu.h"

namespace mira::cli {
namespace {

using core::test::engineDifference;
namespace op = core::test::op;
namespace w = core::wif;

// Takes a key from each input device when its flag says so, prints it on output device 0
// when that is ready, and sends a count to output device 1 with a pulse every pass.
const std::vector<int32_t> kNormalProgram = {
    op::IN(0, op::kSkip),  op::JMP(3), op::IN(0, op::kTransfer | op::kPulse),   // 0
    op::IN(1, op::kSkip),  op::JMP(6), op::IN(1, op::kTransfer | op::kPulse),   // 3
    op::OUT(0, op::kSkip), op::JMP(9), op::OUT(0, op::kTransfer | op::kPulse),  // 6
    op::TAD(15),           op::OUT(1, op::kTransfer | op::kPulse | op::kSkip),  // 9
    op::ISZ(15),           op::JMP(0), op::JMP(0),       0,    0x41,            // 11
};

// The same in WIF mode, with every other I/O instruction: input with and without the
// pulse, output with and without pulses, serial access, input and output, the delay
// timer's test and restart, EEPROM write, read and ready test, the line test and SR.
const std::vector<int32_t> kWifProgram = {
    w::encode(w::kInputSkip, 0),         w::encode(w::kGoto, 3),               // 0
    w::encode(w::kInputAck, 0),                                                // 2: key -> AC
    w::encode(w::kInputSkip, 32),        w::encode(w::kGoto, 7),               // 3
    w::encode(w::kInput, 64 | 32 | 3),   w::encode(w::kInputPulse, 32),        // 5: -> RAM 3
    w::encode(w::kOutputSkip, 0),        w::encode(w::kGoto, 10),              // 7
    w::encode(w::kOutputWithPulses, 0),                                        // 9: AC ->
    w::encode(w::kLitAdd, 1),            w::encode(w::kOutput, 256 | 32 | 3),  // 10: RAM 3 ->
    w::encode(w::kOutputPulse, 32),      w::encode(w::kIncrement, 256 | 64 | 3),  // 12
    w::encode(w::kSerialAccess, 1),      w::encode(w::kSerialIn, 0),           // 14
    w::encode(w::kSerialOut, 0),         w::encode(w::kDelay, 256),            // 16
    w::encode(w::kGoto, 20),             w::encode(w::kDelay, 1),              // 18
    w::encode(w::kEeprom, 32),           w::encode(w::kEeprom, 64),            // 20
    w::encode(w::kEeprom, 256),          w::encode(w::kLineTest, 1),           // 22
    w::encode(w::kLoadSr, 0),            w::encode(w::kGoto, 0),               // 24
};

struct Case {
    const char* name;
    bool wif;
    bool resetT1;
    std::vector<std::string> modules;  // --module values
};

// Every module kind of a headless run that plays a part while a program runs (the tape
// reader feeds before the run), in both modes and both output reset modes.
const Case kCases[] = {
    {"keys, printer, led", false, false,
     {"keypad@0:1,2,3,^LF,x,9,0,7,8", "ascii@1:a,shift+b,enter,1,z", "printer@0", "led@1"}},
    {"keypad2, magtape, melody", false, true,
     {"keypad2@0:#0,#3,#7,#22,#5", "magtape@1,1:record", "melody@0"}},
    {"punch, decimal led, switches", false, false,
     {"ascii@0:q,w,e", "keypad@1:4,5,6", "punch@0", "decled@1", "switches:15"}},
    {"alpha, ten digits, switches", true, false,
     {"ascii@0:h,i,space,shift+1", "keypad@1:1,2,3,4", "alpha@0", "tendigit@1", "switches:200"}},
    {"keypad2, magtape, melody", true, true,
     {"keypad2@0:#1,#2,#9", "magtape@1,1:record", "melody@0"}},
    {"printer, punch", true, false, {"keypad@0:5,6,7,8,9", "printer@0", "punch@1"}},
};

// One machine with its clock, the modules of a case, a serial port offering bytes and run
// control, started as `mira8-cli run` starts a program.
struct World {
    core::VirtualClock clock;
    core::Machine m;
    std::ostringstream messages;
    ModulePrompter prompter{core::Answer::No, messages};
    core::SoundEffects silence;
    RunModules modules{ModuleHost{m, clock, prompter, silence}};
    core::ScriptedSerialPort serial{{7, 0, 255, 65, 128, 3}};
    core::RunControl rc{m};

    World(const Case& c, bool clockEngine) {
        rc.forceClockEngine = clockEngine;
        m.attachTimers(clock);
        m.options.mode = c.wif ? core::OperatingMode::Wif : core::OperatingMode::Normal;
        m.updateMemorySize();
        m.options.outputResetMode = c.resetT1 ? 0 : 1;
        m.seedWifRandom(1);
        const auto& program = c.wif ? kWifProgram : kNormalProgram;
        for (size_t i = 0; i < program.size(); ++i) m.memory[i] = program[i];
        for (const std::string& value : c.modules) {
            ModuleRequest r;
            EXPECT_EQ(parseModuleOption(value, r), "");
            EXPECT_EQ(modules.open(r, messages), kExitOk) << value << ": " << messages.str();
        }
        EXPECT_EQ(modules.beforeRun(messages), kExitOk);
        m.serialPort = &serial;
        rc.startContinuousFastRun();
        modules.runStarts();
    }

    std::string moduleState() const {
        JsonWriter j;
        j.beginObject();
        modules.writeJson(j);
        j.endObject();
        return j.str();
    }
};

std::string difference(const World& a, const World& b) {
    std::string d = engineDifference(a.m, b.m, a.rc, b.rc, a.clock, b.clock);
    if (a.serial.sent() != b.serial.sent()) d += "serial sent; ";
    if (a.moduleState() != b.moduleState())
        d += "modules " + a.moduleState() + " / " + b.moduleState();
    return d;
}

bool same(const core::RunControl::HeadlessResult& a, const core::RunControl::HeadlessResult& b) {
    return a.reason == b.reason && a.clockStates == b.clockStates &&
           a.instructions == b.instructions;
}

// Phases of a comparison: instructions stepped one by one (states 0), or a run of at most
// that many instructions and states.
struct Phase {
    uint64_t instructions;
    uint64_t states;
};
const Phase kPhases[] = {{1500, 0},      {20000, UINT64_MAX}, {300, 0},
                         {50000, 123457}, {200, 0},           {200000, UINT64_MAX},
                         {100, 0}};

TEST(InstructionEngineDevices, EveryModuleSeesWhatTheClockStatesShow) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name) + (c.wif ? " (WIF)" : " (Normal)"));
        World fast(c, false), slow(c, true);
        const std::string start = fast.moduleState();
        uint64_t steps = 0;
        for (const Phase& p : kPhases) {
            if (p.states == 0) {
                for (uint64_t i = 0; i < p.instructions; ++i, ++steps) {
                    const auto rf = fast.rc.runHeadless(UINT64_MAX, 1, &fast.clock);
                    const auto rs = slow.rc.runHeadless(UINT64_MAX, 1, &slow.clock);
                    const std::string d = difference(fast, slow);
                    ASSERT_TRUE(same(rf, rs) && d.empty()) << "step " << steps << ": " << d;
                }
            } else {
                const auto rf = fast.rc.runHeadless(p.states, p.instructions, &fast.clock);
                const auto rs = slow.rc.runHeadless(p.states, p.instructions, &slow.clock);
                const std::string d = difference(fast, slow);
                ASSERT_TRUE(same(rf, rs) && d.empty())
                    << "run of " << p.instructions << ": states " << rf.clockStates << "/"
                    << rs.clockStates << ": " << d;
            }
        }
        fast.modules.runEnded();
        slow.modules.runEnded();
        EXPECT_EQ(fast.moduleState(), slow.moduleState()) << "after the run ended";
        // The scripts really ran: every key was pressed and taken, and every module that
        // shows or records something moved from its start.
        const std::string state = fast.moduleState();
        for (size_t at = state.find("\"left\":"); at != std::string::npos;
             at = state.find("\"left\":", at + 1))
            EXPECT_EQ(state[at + 7], '0') << state.substr(at - 40, 50);
        EXPECT_NE(state, start);
    }
}

}  // namespace
}  // namespace mira::cli
