// Recorded signals against the machine's clock-state tables, the ring, and the VCD export
// read back through an outside converter.
#include "core/signal_recorder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/signal_changes.h"
#include "core/vcd_writer.h"
#include "core/wif_cpu.h"
#include "machine_rig.h"

namespace mira::core::test {
namespace {

using namespace op;

constexpr int kFetch = 0, kDefer = 24, kExec = 24;  // first states of the cycles after fetch

struct Recorded {
    Rig rig;
    SignalRecorder rec;
    std::vector<SignalDef> signals;

    explicit Recorded(std::size_t capacity = SignalRecorder::kDefaultCapacity) : rec(capacity) {
        rig.rc.setRecorder(&rec);
    }
    void run(int pc = 0) {
        rig.start(pc);
        rig.run();
        signals = machineSignals(rig.m, {});
    }
    const SignalDef& def(const std::string& name) const {
        for (const SignalDef& d : signals)
            if (d.name == name) return d;
        throw std::runtime_error("no signal " + name);
    }
    SignalValue value(const std::string& name, uint64_t n) const {
        return signalValue(def(name), rec, n);
    }
};

struct Expect {
    uint64_t state;
    const char* signal;
    uint32_t value;
    bool none = false;
};

void checkAll(const Recorded& r, const std::vector<Expect>& table) {
    for (const Expect& e : table) {
        const SignalValue v = r.value(e.signal, e.state);
        if (e.none)
            EXPECT_TRUE(v.none) << e.signal << " at state " << e.state;
        else
            EXPECT_EQ(v, (SignalValue{e.value})) << e.signal << " at state " << e.state;
    }
}

// The serial line of `reg` over eight shift states carries `value` LSB first.
void expectShiftedIn(const Recorded& r, const char* line, uint64_t first, int value) {
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(r.value(line, first + i), (SignalValue{static_cast<uint32_t>((value >> i) & 1)}))
            << line << " bit " << i;
}

TEST(SignalRecorder, TadWithDeferShiftsAddressOperandAndSum) {
    Recorded r;
    r.rig.load({TAD(10) | I, HLT});
    r.rig.m.memory[10] = 20;
    r.rig.m.memory[20] = 100;
    r.rig.m.ac = 200;
    r.run();
    // Fetch, defer and execute of the TAD, fetch and execute of the HLT.
    ASSERT_EQ(r.rec.size(), 5u * 24);
    const uint64_t defer = kDefer, exec = kDefer + kExec;
    for (uint64_t n = 0; n < 72; ++n) {
        EXPECT_EQ(r.value("T", n).bits, n % 24);
        EXPECT_EQ(r.value("cycle", n).bits,
                  static_cast<uint32_t>(n < defer ? kCycleFetch : n < exec ? kCycleDefer : kCycleExecute));
    }
    checkAll(r, {
                    // With a defer cycle the instruction lamp lights only as execute begins.
                    {kFetch + 23, "DEFER", 1},  {kFetch + 23, "TAD", 0},
                    {defer + 22, "TAD", 0},     {defer + 23, "TAD", 1},
                    {defer + 1, "MA", 10},
                    {defer + 22, "DEFER", 1}, {defer + 23, "DEFER", 0},
                    {defer + 23, "EXEC", 1},    {exec + 1, "MA", 20},
                    {exec + 2, "AC", 100},      {exec + 9, "AC", 44},
                    {exec + 9, "MB", 100},      {exec + 22, "TAD", 1},
                    {exec + 23, "TAD", 0},      {exec + 0, "AC_ser", 0, true},
                    {exec + 12, "AC_ser", 0, true}, {kFetch + 2, "AC_ser", 0, true},
                    {exec + 10, "MB_ser", 0, true},
                });
    // The pointer's word into MB at defer T14..T21, then operand and sum at execute T2..T9.
    expectShiftedIn(r, "MB_ser", defer + 14, 20);
    expectShiftedIn(r, "MB_ser", exec + 2, 100);
    expectShiftedIn(r, "AC_ser", exec + 2, 44);
}

TEST(SignalRecorder, IotPulsesItsLineForOneClockState) {
    struct Case {
        int instruction;
        int resetMode;
        const char* line;
        int lowAt;  // execute clock state with the line low
    } cases[] = {
        {OUT(0, kPulse), 1, "OUT0_reset", 13},
        {OUT(1, kPulse), 0, "OUT1_reset", 1},
        {IN(0, kPulse), 0, "IN0_ready", 13},  // the input pulse is always late
        {IN(1, kPulse), 1, "IN1_ready", 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Recorded r;
        r.rig.m.options.outputResetMode = c.resetMode;
        r.rig.load({c.instruction, HLT});
        r.run();
        const uint64_t low = kExec + static_cast<uint64_t>(c.lowAt);
        for (uint64_t n = 0; n < 48; ++n)
            EXPECT_EQ(r.value(c.line, n).bits, n == low ? 0u : 1u) << "state " << n;
        EXPECT_EQ(r.value("IOT", kExec + 5).bits, 1u);
    }
}

TEST(SignalRecorder, IszSkipsOnlyWhenTheWordWraps) {
    struct Case {
        int word;
        uint32_t carry;   // C from execute T13
        int pcAfter;      // shifted into PC at T14..T21
    } cases[] = {{255, 1, 2}, {5, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        Recorded r;
        r.rig.load({ISZ(10), HLT, HLT});
        r.rig.m.memory[10] = c.word;
        r.run();
        checkAll(r, {
                        {kExec + 1, "C", 1},   // ISZ's increment carries in
                        {kExec + 9, "MB", static_cast<uint32_t>((c.word + 1) & 255)},
                        {kExec + 12, "C", 0},
                        {kExec + 13, "C", c.carry},
                        {kExec + 23, "C", c.carry},
                        {kExec + 21, "PC", static_cast<uint32_t>(c.pcAfter)},
                        {kExec + 22, "PC_ser", 0, true},
                        {kExec + 2, "AC_ser", 0, true},  // AC holds 0 and does not move
                    });
        expectShiftedIn(r, "PC_ser", kExec + 14, c.pcAfter);
        expectShiftedIn(r, "MB_ser", kExec + 2, (c.word + 1) & 255);
    }
}

TEST(SignalRecorder, RecordsTheSameStatesSteppedOrRunWholeAndLeavesTheRunAlone) {
    auto program = [](Rig& rig) {
        rig.load({TAD(10) | I, ISZ(11), JMP(0), HLT});
        rig.m.memory[10] = 12;
        rig.m.memory[11] = 250;
        rig.m.memory[12] = 3;
    };
    Recorded whole, stepped;
    Rig plain;
    program(whole.rig);
    program(stepped.rig);
    program(plain);
    whole.run();
    stepped.rig.start();
    while (stepped.rig.rc.step() == StepOutcome::Continue) {
    }
    plain.start();
    const auto res = plain.run();
    ASSERT_EQ(whole.rec.size(), stepped.rec.size());
    EXPECT_EQ(whole.rec.size(), res.clockStates);
    for (uint64_t n = whole.rec.begin(); n < whole.rec.end(); ++n)
        ASSERT_EQ(whole.rec.at(n), stepped.rec.at(n)) << "state " << n;
    EXPECT_EQ(whole.rig.m.ac, plain.m.ac);
    EXPECT_EQ(whole.rig.m.memory[11], plain.m.memory[11]);
    EXPECT_EQ(whole.rig.m.instructionCount, plain.m.instructionCount);
}

TEST(SignalRecorder, WholeCyclesRunAgainGiveTheSamplesOfSteppingThem) {
    // A run records each whole cycle as the machine before it and runs it again when read;
    // stepping records every clock state as it happens. Every kind of cycle must agree.
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> words;  // address, word
        bool zeroPage;
    } cases[] = {
        {"data, indirect and subroutine",
         {{0, CLA | IAC}, {1, TAD(12)}, {2, DCA(13)}, {3, AND(14) | I}, {4, JMB(8)}, {5, HLT},
          {9, SZA | RAR}, {10, HLT}, {11, HLT}, {12, 77}, {14, 12}},
         false},
        {"zero page", {{16, TAD(3)}, {17, ISZ(4) | I}, {18, DCA(2)}, {19, HLT}, {3, 9}, {4, 5}}, true},
        {"devices", {{0, IN(0, kSkip)}, {1, OUT(1, kTransfer | kPulse | kSkip)}, {2, HLT}, {3, HLT}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorded whole, stepped;
        for (Recorded* r : {&whole, &stepped}) {
            for (const auto& [address, word] : c.words) r->rig.m.memory[address] = word;
            r->rig.m.options.zeroPageMode = c.zeroPage;
            r->rig.start(c.words.front().first);
        }
        whole.rig.run();
        while (stepped.rig.rc.step() == StepOutcome::Continue) {
        }
        ASSERT_GT(whole.rec.size(), 48u);
        ASSERT_EQ(whole.rec.size(), stepped.rec.size());
        for (uint64_t n = whole.rec.begin(); n < whole.rec.end(); ++n)
            ASSERT_EQ(whole.rec.at(n), stepped.rec.at(n)) << "state " << n;
    }
}

// A module in an input and an output slot whose lines answer every call at once: busy
// after a read, ready again after the input pulse; busy on the reset pulse, ready when a
// byte arrives.
class EchoModule final : public Device {
public:
    EchoModule(DeviceBus& bus, int type) : bus_(bus), type_(type) {}
    int moduleType() const override { return type_; }
    int getData() override {
        bus_.SetDevInflag(slot(kModuleAscii), 1);
        return data_ += 37;
    }
    void execReady(int level) override {
        if (level) bus_.SetDevInflag(slot(kModuleAscii), 0);
    }
    void execResetFlag(int level) override {
        if (!level) bus_.SetDevInflag(slot(kModuleOctalLed), 1);
    }
    void outputNotification(int s) override { bus_.SetDevInflag(s, 0); }

private:
    int slot(int type) const {
        for (int i = 0; i < kSlotCount; ++i)
            if (bus_.slots[i].device == this && bus_.slots[i].type == type) return i;
        return -1;
    }
    DeviceBus& bus_;
    int type_;
    int data_ = 0;
};

TEST(SignalRecorder, RandomProgramsRecordTheSameRunWholeAsStepped) {
    // Runs record a whole cycle or instruction as one entry and run it again when read;
    // steps record each clock state as it is. Random programs with I/O to modules that
    // move their lines inside an IOT must give the same samples both ways, in both modes.
    // A small ring keeps only the last states of a long stretch recorded whole.
    std::mt19937 random(24);
    for (const bool wif : {false, true}) {
        for (int program = 0; program < 16; ++program) {
            const std::size_t capacity = program % 2 ? 100 : SignalRecorder::kDefaultCapacity;
            SCOPED_TRACE(std::string(wif ? "WIF" : "Normal") + " program " + std::to_string(program));
            Recorded whole(capacity), stepped(capacity);
            std::vector<int32_t> words(wif ? 1024 : 256);
            for (int32_t& w : words) {
                w = static_cast<int32_t>(random() & (wif ? 0xFFFF : 0xFF));
                // No halts: the run goes on to the state limit.
                if (!wif && w >= 0xF0 && (w & 1)) w &= ~1;
                if (wif && wif::opcodeOf(w) == wif::kHalt) w = 0;
            }
            std::array<int8_t, wif::kOpcodeCount> classes{};
            for (int8_t& c : classes) c = static_cast<int8_t>(random() % 4);
            const uint32_t seed = static_cast<uint32_t>(random());
            std::vector<std::unique_ptr<EchoModule>> modules;
            for (Recorded* r : {&whole, &stepped}) {
                Machine& m = r->rig.m;
                if (wif) {
                    m.options.mode = OperatingMode::Wif;
                    m.updateMemorySize();
                    m.wifInstructionClass = classes;
                    m.seedWifRandom(seed);
                    // What only the machine holds starts other than a fresh machine's.
                    std::mt19937 fill(seed);
                    for (uint8_t& b : m.ram) b = static_cast<uint8_t>(fill());
                    for (int32_t& a : m.stack) a = static_cast<int32_t>(fill() & 1023);
                    m.h = static_cast<int32_t>(fill() & 255);
                    m.l = static_cast<int32_t>(fill() & 255);
                    m.romPointer = static_cast<int32_t>(fill() & 1023);
                    m.dc = m.z = 1;
                    m.bankFlag = true;
                }
                for (std::size_t a = 0; a < words.size() && a < static_cast<std::size_t>(m.memorySize); ++a)
                    m.memory[a] = words[a];
                const int slots[][2] = {{0, kModuleAscii}, {1, kModuleAscii},
                                        {kFirstOutputSlot, kModuleOctalLed},
                                        {kFirstOutputSlot + 1, kModuleOctalLed}};
                for (const auto& [slot, type] : slots) {
                    modules.push_back(std::make_unique<EchoModule>(m.bus, type));
                    m.bus.bind(slot, *modules.back());
                }
                r->rig.start();
            }
            // Read in between, as the window does: the next entries start afresh. A program
            // may write itself a halt.
            for (int part = 0; part < 4; ++part) {
                whole.rig.rc.runHeadless(5000, UINT64_MAX);
                ASSERT_EQ(whole.rec.size(), std::min<uint64_t>(capacity, whole.rec.statesSeen()));
            }
            while (stepped.rec.statesSeen() < whole.rec.statesSeen())
                if (stepped.rig.rc.step() == StepOutcome::Stopped) break;
            ASSERT_EQ(whole.rec.size(), stepped.rec.size());
            for (uint64_t n = whole.rec.begin(); n < whole.rec.end(); ++n)
                ASSERT_EQ(whole.rec.at(n), stepped.rec.at(n)) << "state " << n;
        }
    }
}

TEST(SignalRecorder, LongChainsWrapThroughTheRingAndStartAfreshAsTheyGo) {
    // Loops that never leave a chain but by its length: reading after a long run runs
    // again only from the head of the chain that holds the first state kept, which may lie
    // far before it.
    struct Case {
        const char* name;
        bool wif;
        std::vector<int32_t> words;
    } cases[] = {
        {"Normal", false, {ISZ(10), TAD(11), DCA(12), JMP(0)}},
        {"WIF", true,
         {wif::encode(wif::kLitAdd, 3), wif::encode(wif::kIncrementSkipZero, (1 << 8) | (1 << 6) | 1),
          wif::encode(wif::kRotateLeft, (1 << 8) | (1 << 6) | 2), wif::encode(wif::kRandom, 0),
          wif::encode(wif::kGoto, 0)}},
    };
    for (const Case& c : cases) {
        for (const std::size_t capacity : {std::size_t{97}, std::size_t{5000}}) {
            SCOPED_TRACE(std::string(c.name) + " ring of " + std::to_string(capacity));
            Recorded whole(capacity), stepped(capacity);
            for (Recorded* r : {&whole, &stepped}) {
                if (c.wif) {
                    r->rig.m.options.mode = OperatingMode::Wif;
                    r->rig.m.updateMemorySize();
                    r->rig.m.seedWifRandom(7);
                }
                for (std::size_t a = 0; a < c.words.size(); ++a) r->rig.m.memory[a] = c.words[a];
                r->rig.m.memory[11] = 3;
                r->rig.start();
            }
            whole.rig.rc.runHeadless(30011, UINT64_MAX);
            while (stepped.rec.statesSeen() < whole.rec.statesSeen()) stepped.rig.rc.step();
            ASSERT_EQ(whole.rec.size(), capacity);
            ASSERT_EQ(whole.rec.begin(), stepped.rec.begin());
            for (uint64_t n = whole.rec.begin(); n < whole.rec.end(); ++n)
                ASSERT_EQ(whole.rec.at(n), stepped.rec.at(n)) << "state " << n;
        }
    }
}

TEST(SignalRecorder, FastLoopChainsAcrossQuietYieldsAndStartsAfreshAfterEvents) {
    // The GUI's fast loop yields every few hundred states but lets events in only now and
    // then. A chain of recorded cycles or instructions goes on across a yield that let
    // nothing in; one that let events in may have changed the machine, and the chain must
    // start afresh from it. Stepping with the same changes at the same states must agree.
    for (const bool wif : {false, true}) {
        SCOPED_TRACE(wif ? "WIF" : "Normal");
        Recorded fast, stepped;
        for (Recorded* r : {&fast, &stepped}) {
            if (wif) {
                r->rig.m.options.mode = OperatingMode::Wif;
                r->rig.m.updateMemorySize();
                r->rig.m.seedWifRandom(7);
                r->rig.load({wif::encode(wif::kLitAdd, 3), wif::encode(wif::kIncrementSkipZero, (1 << 8) | (1 << 6) | 1),
                             wif::encode(wif::kRandom, 0), wif::encode(wif::kGoto, 0)});
            } else {
                r->rig.load({ISZ(10), TAD(11), DCA(12), JMP(0)});
                r->rig.m.memory[11] = 3;
            }
            r->rig.start();
        }
        // What the events change: registers the chain's head holds and the samples show.
        const auto change = [wif](Machine& m, int v) {
            m.ac = v;
            m.sr = 255 - v;
            if (wif) m.ram[1] = static_cast<uint8_t>(v);
        };
        std::vector<std::pair<uint64_t, int>> changes;
        int yields = 0;
        fast.rig.rc.fastLoop([&] {
            if (++yields == 40) fast.rig.rc.placeRequest(kRequestContinueSlow);
            if (yields % 3) return false;
            changes.emplace_back(fast.rec.statesSeen(), yields * 37 & 255);
            change(fast.rig.m, changes.back().second);
            return true;
        });
        for (const auto& [state, v] : changes) {
            while (stepped.rec.statesSeen() < state) stepped.rig.rc.step();
            change(stepped.rig.m, v);
        }
        while (stepped.rec.statesSeen() < fast.rec.statesSeen()) stepped.rig.rc.step();
        ASSERT_GT(fast.rec.size(), 39u * fast.rig.m.fastRunSpeed);
        ASSERT_EQ(fast.rec.size(), stepped.rec.size());
        for (uint64_t n = fast.rec.begin(); n < fast.rec.end(); ++n)
            ASSERT_EQ(fast.rec.at(n), stepped.rec.at(n)) << "state " << n;
    }
}

TEST(SignalRecorder, AnIdleStepIsNoClockStateSteppedOrRun) {
    // With no cycle entered nothing runs: a step and a run record nothing, in both modes.
    for (const bool wif : {false, true}) {
        SCOPED_TRACE(wif ? "WIF" : "Normal");
        Recorded r;
        if (wif) {
            r.rig.m.options.mode = OperatingMode::Wif;
            r.rig.m.updateMemorySize();
        }
        ASSERT_EQ(r.rig.m.cycleState, kCycleIdle);
        r.rig.rc.step();
        r.rig.rc.runHeadless(40, UINT64_MAX);
        EXPECT_EQ(r.rec.statesSeen(), 0u);
        EXPECT_EQ(r.rec.size(), 0u);
    }
}

TEST(SignalRecorder, WifStatesTakeTheirCycleFromTheLamps) {
    // An instruction that names step 1 shows FETCH, DEFER, EXEC; its last step already
    // lights FETCH for the next.
    Recorded r;
    r.rig.m.options.mode = OperatingMode::Wif;
    r.rig.m.updateMemorySize();
    r.rig.load({wif::encode(wif::kLitAdd, 5), wif::encode(wif::kHalt, 0)});
    r.run();
    const uint32_t want[] = {kCycleFetch, kCycleDefer, kCycleExecute, kCycleFetch};
    for (uint64_t n = 0; n < 4; ++n) {
        EXPECT_EQ(r.value("T", n).bits, n);
        EXPECT_EQ(r.value("cycle", n).bits, want[n]) << "step " << n;
    }
    EXPECT_EQ(r.value("AC", 3).bits, 5u);
}

TEST(SignalRecorder, RingKeepsTheLastStatesAndStreamsWhenFull) {
    // NOPs forever: every state's T is its number modulo 24.
    Recorded r(50);
    std::vector<uint64_t> drained;
    r.rig.m.memory.fill(NOP);
    r.rig.start();
    r.rig.rc.runHeadless(130, UINT64_MAX);
    EXPECT_EQ(r.rec.size(), 50u);
    EXPECT_EQ(r.rec.begin(), 80u);
    EXPECT_EQ(r.rec.end(), 130u);
    for (uint64_t n = r.rec.begin(); n < r.rec.end(); ++n) EXPECT_EQ(r.rec.at(n).t, n % 24);

    // Streaming: each time the ring fills it is emptied but for the newest state.
    r.rec.reset();
    r.rec.onFull = [&] {
        for (uint64_t n = r.rec.begin(); n < r.rec.end(); ++n) drained.push_back(n);
        r.rec.dropBefore(r.rec.end() - 1);
    };
    r.rig.rc.runHeadless(120, UINT64_MAX);
    EXPECT_EQ(r.rec.begin(), 98u);  // 0..49 out, then 49..98 out
    EXPECT_EQ(drained.size(), 100u);
    EXPECT_EQ(drained[49], 49u);
    EXPECT_EQ(drained[50], 49u);

    // An export window keeps only its states.
    r.rec.onFull = nullptr;
    r.rec.reset();
    r.rec.setWindow(30, 10);
    r.rig.rc.runHeadless(100, UINT64_MAX);
    EXPECT_EQ(r.rec.begin(), 30u);
    EXPECT_EQ(r.rec.end(), 40u);
    EXPECT_EQ(r.rec.statesSeen(), 100u);
}

TEST(SignalRecorder, ChangeListsFollowTheRingPieceByPiece) {
    // Changes taken in as the run goes, through a ring that wraps, give every signal's value
    // at every held state, as the samples themselves do (past the oldest shift window: its
    // serial lines were read while the states before it were still held).
    Recorded r(300);
    r.rig.load({TAD(10) | I, OUT(0, kTransfer | kPulse), ISZ(11), JMP(0)});
    r.rig.m.memory[10] = 12;
    r.rig.m.memory[11] = 200;
    r.rig.m.memory[12] = 3;
    r.rig.start();
    SignalChanges changes;
    changes.setSignals(machineSignals(r.rig.m, {}));
    for (uint64_t piece : {7, 50, 200, 13, 500, 90}) {
        r.rig.rc.runHeadless(piece, UINT64_MAX);
        changes.update(r.rec);
        ASSERT_EQ(changes.begin(), r.rec.begin());
        ASSERT_EQ(changes.end(), r.rec.end());
        for (std::size_t i = 0; i < changes.signals().size(); ++i)
            for (uint64_t n = r.rec.begin() + 8; n < r.rec.end(); ++n)
                ASSERT_EQ(changes.valueAt(i, n), signalValue(changes.signals()[i], r.rec, n))
                    << changes.signals()[i].fullName() << " at " << n << " after " << piece;
    }
    r.rec.reset();
    changes.update(r.rec);
    EXPECT_TRUE(changes.empty());
}

TEST(SignalRecorder, PickSignalsByNameScopeOrFullNameInOrder) {
    Machine m;
    const auto all = machineSignals(m, {});
    struct Case {
        const char* list;
        std::vector<std::string> names;
        const char* unknown;
    } cases[] = {
        {"ac, t", {"cpu.AC", "cpu.T"}, ""},
        {"panel.sr,cpu.PC,AC", {"panel.SR", "cpu.PC", "cpu.AC"}, ""},
        {"AC,ac", {"cpu.AC"}, ""},
        {"devices", {"devices.IN0_flag", "devices.IN0_ready", "devices.IN1_flag",
                     "devices.IN1_ready", "devices.OUT0_flag", "devices.OUT0_reset",
                     "devices.OUT1_flag", "devices.OUT1_reset"}, ""},
        {"PC,nothing,zz", {"cpu.PC"}, "nothing"},
    };
    for (const Case& c : cases) {
        std::string unknown;
        std::vector<std::string> names;
        for (const SignalDef& d : pickSignals(all, c.list, &unknown)) names.push_back(d.fullName());
        EXPECT_EQ(names, c.names) << c.list;
        EXPECT_EQ(unknown, c.unknown) << c.list;
    }
}

// Every signal's changes in a VCD: scope.name -> (time, value) in time order, values
// without a vector's leading zeros, repeats dropped.
using Changes = std::map<std::string, std::vector<std::pair<uint64_t, std::string>>>;

Changes readVcd(const std::string& path) {
    std::ifstream in(path);
    Changes out;
    std::map<std::string, std::string> names;  // id -> name
    std::vector<std::string> scopes;
    std::string tok;
    uint64_t time = 0;
    auto record = [&](const std::string& id, std::string v) {
        if (!names.count(id)) return;
        if (v.size() > 1) {
            v.erase(0, v.find_first_not_of('0'));
            if (v.empty()) v = "0";
        }
        auto& list = out[names[id]];
        if (list.empty() || list.back().second != v) list.emplace_back(time, v);
    };
    while (in >> tok) {
        if (tok == "$scope") {
            std::string kind, name;
            in >> kind >> name >> tok;
            scopes.push_back(name);
        } else if (tok == "$upscope") {
            scopes.pop_back();
            in >> tok;
        } else if (tok == "$var") {
            std::string type, width, id, name;
            in >> type >> width >> id >> name;
            while (in >> tok && tok != "$end") {
            }
            std::string full;
            for (const auto& s : scopes) full += s + ".";
            names[id] = full + name;
        } else if (tok[0] == '$') {
            if (tok != "$dumpvars" && tok != "$end")
                while (in >> tok && tok != "$end") {
                }
        } else if (tok[0] == '#') {
            time = std::stoull(tok.substr(1));
        } else if (tok[0] == 'b' || tok[0] == 'B') {
            std::string id;
            in >> id;
            record(id, tok.substr(1));
        } else {
            record(tok.substr(1), tok.substr(0, 1));
        }
    }
    return out;
}

TEST(SignalRecorder, VcdHoldsEveryValueAndSurvivesARoundTripThroughFst) {
    Recorded r;
    // An indirect TAD, an output with a pulse and a skipping ISZ, twice round.
    r.rig.load({TAD(10) | I, OUT(0, kTransfer | kPulse), ISZ(11), JMP(0), HLT});
    r.rig.m.memory[10] = 12;
    r.rig.m.memory[11] = 254;
    r.rig.m.memory[12] = 3;
    r.run();
    const std::string dir = testing::TempDir();
    const std::string vcd = dir + "/mira8_signals.vcd", fst = dir + "/mira8_signals.fst",
                      back = dir + "/mira8_signals_back.vcd";
    {
        std::ofstream out(vcd);
        VcdWriter w(out, r.signals);
        w.write(r.rec);
        w.finish();
        EXPECT_EQ(w.statesWritten(), r.rec.size());
    }
    const Changes ours = readVcd(vcd);
    ASSERT_EQ(ours.size(), r.signals.size());
    // The dump holds each signal's value at every clock state.
    for (const SignalDef& d : r.signals) {
        const auto& list = ours.at(d.fullName());
        std::size_t k = 0;
        for (uint64_t n = r.rec.begin(); n < r.rec.end(); ++n) {
            while (k + 1 < list.size() && list[k + 1].first <= n) ++k;
            const SignalValue v = signalValue(d, r.rec, n);
            std::string want = v.none ? "z" : "";
            if (!v.none) {
                for (int b = d.width - 1; b >= 0; --b) want += static_cast<char>('0' + ((v.bits >> b) & 1));
                if (want.size() > 1) want.erase(0, std::min(want.find_first_not_of('0'), want.size() - 1));
            }
            ASSERT_EQ(list[k].second, want) << d.fullName() << " at " << n;
        }
    }
    if (std::system("command -v vcd2fst >/dev/null 2>&1 && command -v fst2vcd >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "vcd2fst/fst2vcd (Debian package gtkwave) not installed";
    ASSERT_EQ(std::system(("vcd2fst " + vcd + " " + fst + " >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("fst2vcd " + fst + " > " + back + " 2>/dev/null").c_str()), 0);
    const Changes again = readVcd(back);
    EXPECT_EQ(again, ours);
}

}  // namespace
}  // namespace mira::core::test
