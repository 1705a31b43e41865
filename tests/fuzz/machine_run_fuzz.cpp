// libFuzzer target that treats its input as a program: assembles it, transfers it to memory
// as the editor does, runs the machine headless for a bounded number of clock states and
// then checks the machine invariants. The program runs twice, once on the instruction
// engine and once on the clock-state engine, and both must end in the same state. Byte 0
// picks the mode and the options; the rest is the source text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "assembler/assembler.h"
#include "assembler/instruction_table.h"
#include "core/device.h"
#include "core/machine.h"
#include "core/run_control.h"
#include "core/scrambled_file.h"
#include "core/serial_test_port.h"
#include "core/timer.h"

namespace {

using namespace mira;

constexpr uint64_t kClockStates = 20000;

class SilentPrompter final : public core::Prompter {
public:
    core::Answer answer = core::Answer::No;
    void info(const std::string&) override {}
    void error(const std::string&) override {}
    bool askYesNo(const std::string&) override { return answer == core::Answer::Yes; }
    core::Answer askYesNoCancel(const std::string&) override { return answer; }
};

const assembler::InstructionTable& table(core::OperatingMode mode) {
    static const auto normal =
        assembler::LoadCompilerData(MIRA8_CMPLR_DAT, core::OperatingMode::Normal).table;
    static const auto wif =
        assembler::LoadCompilerData(MIRA8_CMPLR_DAT, core::OperatingMode::Wif).table;
    return mode == core::OperatingMode::Normal ? normal : wif;
}

// An input that offers a few bytes, then none; an output that is ready again after each
// reset pulse. Enough for I/O loops to run on instead of waiting on a flag.
class FewBytesInput final : public core::Device {
public:
    FewBytesInput(core::DeviceBus& bus, int slot) : bus_(bus), slot_(slot) {}
    int moduleType() const override { return core::kModuleAscii; }
    int getDevice() const override { return slot_; }
    int getData() override { return left_ > 0 ? 0x30 + left_ : 255; }
    void doInit(int) override { bus_.SetDevInflag(slot_, 0); }
    void execReady(int level) override {
        if (level == 0 && left_ > 0) --left_;
        if (level == 0) bus_.SetDevInflag(slot_, left_ > 0 ? 0 : 1);
    }

private:
    core::DeviceBus& bus_;
    int slot_;
    int left_ = 4;
};

class ReadyOutput final : public core::Device {
public:
    ReadyOutput(core::DeviceBus& bus, int slot) : bus_(bus), slot_(slot) {}
    int moduleType() const override { return core::kModuleOctalLed; }
    int getDevice() const override { return slot_; }
    void doInit(int) override { bus_.SetDevInflag(slot_, 0); }
    void outputNotification(int slot) override {
        if ((bus_.slots[static_cast<size_t>(slot)].output & ~0xFF) != 0) __builtin_trap();
    }
    void execResetFlag(int level) override { bus_.SetDevInflag(slot_, level == 0 ? 1 : 0); }

private:
    core::DeviceBus& bus_;
    int slot_;
};

void check(const core::Machine& m, const char* when) {
    const std::string broken = m.invariantViolation();
    if (broken.empty()) return;
    std::fprintf(stderr, "machine invariant broken %s: %s\n", when, broken.c_str());
    __builtin_trap();
}

// What both engines must agree on after a run.
void compare(const core::Machine& a, const core::Machine& b, const core::RunControl::HeadlessResult& ra,
             const core::RunControl::HeadlessResult& rb, const char* when) {
    const bool same =
        ra.reason == rb.reason && ra.clockStates == rb.clockStates &&
        ra.instructions == rb.instructions && a.pc == b.pc && a.ma == b.ma && a.mb == b.mb &&
        a.ac == b.ac && a.ir == b.ir && a.c == b.c && a.z == b.z && a.dc == b.dc &&
        a.memory == b.memory && a.ram == b.ram && a.eeprom == b.eeprom && a.stack == b.stack &&
        a.stackDepth == b.stackDepth && a.romPointer == b.romPointer && a.skip == b.skip &&
        a.run == b.run && a.cycleState == b.cycleState && a.t == b.t &&
        a.instructionCount == b.instructionCount && a.countRefreshCounter == b.countRefreshCounter &&
        a.lamps.pc == b.lamps.pc && a.lamps.ma == b.lamps.ma && a.lamps.mb == b.lamps.mb &&
        a.lamps.ac == b.lamps.ac && a.lampsDirty == b.lampsDirty && a.changed == b.changed &&
        a.instructionLamps == b.instructionLamps && a.changedCount == b.changedCount &&
        a.bankFlag == b.bankFlag && a.h == b.h && a.l == b.l && a.serialRegister == b.serialRegister;
    if (same) return;
    std::fprintf(stderr, "the engines disagree %s: pc %d/%d ac %d/%d states %llu/%llu\n", when, a.pc,
                 b.pc, a.ac, b.ac, static_cast<unsigned long long>(ra.clockStates),
                 static_cast<unsigned long long>(rb.clockStates));
    __builtin_trap();
}

// One machine with its clock, modules and serial port, loaded with the program.
struct Run {
    core::Machine m;
    core::VirtualClock clock;
    FewBytesInput in0{m.bus, 0}, in1{m.bus, 1};
    ReadyOutput out0{m.bus, core::kFirstOutputSlot}, out1{m.bus, core::kFirstOutputSlot + 1};
    core::ScriptedSerialPort serial{std::vector<int>{65, 66}};
    core::RunControl rc{m};

    ~Run() {
        m.serialPort = nullptr;
        m.bus.unbindAll();
    }

    // False when the program does not assemble or transfer.
    bool load(uint8_t flags, std::string_view text) {
        m.attachTimers(clock);
        m.randomSeed = [] { return 1u; };
        m.seedWifRandom(1);
        m.options.mode = (flags & 1) ? core::OperatingMode::Wif : core::OperatingMode::Normal;
        m.options.zeroPageMode = flags & 2;
        m.options.outputResetMode = (flags >> 2) & 1;
        m.updateMemorySize();
        // Bits 3..5 set some SR switches, so programs that read SR take both branches.
        for (int i = 0; i < 3; ++i) m.switches[static_cast<size_t>(i)] = (flags >> (3 + i)) & 1;
        m.computeSr();

        SilentPrompter prompter;
        prompter.answer = (flags & 0x40) ? core::Answer::Yes : core::Answer::No;
        assembler::Assembler as;
        as.setInstructionTable(&table(m.options.mode));
        const auto lines = core::textLines(text);
        const bool wifBefore = m.isWif();
        auto result = as.Assemble(lines, m, prompter);
        if (result.modeChanged || m.isWif() != wifBefore) {
            // A query switched the mode: as the editor, take the new mode's memory and table,
            // and the student assembles again.
            m.updateMemorySize();
            check(m, "after a mode change");
            as.setInstructionTable(&table(m.options.mode));
            result = as.Assemble(lines, m, prompter);
        }
        if (!result.ok) return false;
        if (!as.TransferToMemory(m, prompter, nullptr)) return false;
        check(m, "after the transfer");

        // Both input devices offer a few bytes and both outputs take bytes, so I/O programs
        // run on.
        m.bus.bind(0, in0);
        m.bus.bind(1, in1);
        m.bus.bind(core::kFirstOutputSlot, out0);
        m.bus.bind(core::kFirstOutputSlot + 1, out1);
        for (core::Device* d : {static_cast<core::Device*>(&in0), static_cast<core::Device*>(&in1),
                                static_cast<core::Device*>(&out0), static_cast<core::Device*>(&out1)})
            d->doInit(0);
        m.serialPort = &serial;
        return true;
    }

    core::RunControl::HeadlessResult run(uint64_t states) {
        rc.startContinuousFastRun();
        return rc.runHeadless(states, UINT64_MAX, &clock);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    Run fast, slow;
    if (!fast.load(flags, text) || !slow.load(flags, text)) return 0;
    fast.rc.forceClockEngine = false;
    slow.rc.forceClockEngine = true;
    auto rf = fast.run(kClockStates);
    auto rs = slow.run(kClockStates);
    check(fast.m, "after the run");
    compare(fast.m, slow.m, rf, rs, "after the run");
    // A second start goes on from wherever the first run left PC (a halt, a breakpoint).
    rf = fast.run(kClockStates / 4);
    rs = slow.run(kClockStates / 4);
    check(fast.m, "after a second run");
    compare(fast.m, slow.m, rf, rs, "after a second run");
    return 0;
}
