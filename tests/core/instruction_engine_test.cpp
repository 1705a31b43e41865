// The instruction engine against the clock-state engine: random programs in both modes,
// each run twice from the same state, compared field by field at every instruction end of
// a stepped phase and at every stop of longer runs, together with what the views were told
// and when modules heard from the processor in virtual time.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/engine_compare.h"
#include "core/instruction_engine.h"
#include "core/machine.h"
#include "core/run_control.h"
#include "core/serial_test_port.h"
#include "core/timer.h"
#include "core/wif_cpu.h"

namespace mira::core {
namespace {

using Log = std::vector<std::string>;

std::string event(const char* what, int64_t a, int64_t b, int64_t c = 0) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %lld %lld %lld", what, static_cast<long long>(a),
                  static_cast<long long>(b), static_cast<long long>(c));
    return buf;
}

// Writes down every call the views would get, with the instruction count and virtual time.
class RecordingObserver final : public MachineObserver {
  public:
    RecordingObserver(const Machine& m, const VirtualClock& c, Log& log)
        : m_(m), c_(c), log_(log) {}
    void lampsChanged(uint32_t g) override { add("lamps", g); }
    void itemsChanged(uint32_t i) override { add("items", i); }
    void memoryWordChanged(int a) override { add("word", a); }
    void allMemoryChanged() override { add("all", 0); }
    void slotChanged(int s) override { add("slot", s); }
    void ramByteChanged(int i) override { add("ram", i); }
    void eepromByteChanged(int i) override { add("eeprom", i); }
    void selectSourceLine(int pc) override { add("line", pc); }
    void runStopped() override { add("stopped", 0); }
    void traceChanged() override { add("trace", 0); }

  private:
    void add(const char* what, int64_t v) {
        log_.push_back(event(what, v, m_.instructionCount, c_.nowMicros()));
    }
    const Machine& m_;
    const VirtualClock& c_;
    Log& log_;
};

// An output module that turns busy on the reset pulse and ready again a random number of
// milliseconds after each byte (its own virtual timer), logging when things happen.
class TimedOutput final : public Device {
  public:
    TimedOutput(DeviceBus& bus, int slot, VirtualClock& clock, int delayMs, Log& log)
        : bus_(bus), slot_(slot), clock_(clock), log_(log), timer_(clock.createTimer(delayMs)) {
        timer_->setCallback([this] {
            timer_->stop();
            bus_.SetDevInflag(slot_, 0);
            log_.push_back(event("ready", slot_, clock_.nowMicros()));
        });
    }
    int moduleType() const override { return kModulePrinter; }
    void execResetFlag(int level) override {
        log_.push_back(event("reset", level, clock_.nowMicros()));
        if (level == 0) bus_.SetDevInflag(slot_, 1);
    }
    void outputNotification(int slot) override {
        log_.push_back(event("out", bus_.slots[slot].output, clock_.nowMicros()));
        timer_->start();
    }

  private:
    DeviceBus& bus_;
    int slot_;
    VirtualClock& clock_;
    Log& log_;
    std::unique_ptr<Timer> timer_;
};

// An input module offering counting bytes; a pulse takes the byte and the next one is
// ready after its timer.
class TimedInput final : public Device {
  public:
    TimedInput(DeviceBus& bus, int slot, VirtualClock& clock, int delayMs, Log& log)
        : bus_(bus), slot_(slot), clock_(clock), log_(log), timer_(clock.createTimer(delayMs)) {
        timer_->setCallback([this] {
            timer_->stop();
            ++byte_;
            bus_.SetDevInflag(slot_, 0);
        });
    }
    int moduleType() const override { return kModuleAscii; }
    int getData() override {
        log_.push_back(event("read", byte_, clock_.nowMicros()));
        return byte_ & 255;
    }
    void execReady(int level) override {
        log_.push_back(event("pulse", level, clock_.nowMicros()));
        if (level == 0) {
            bus_.SetDevInflag(slot_, 1);
            timer_->start();
        }
    }

  private:
    DeviceBus& bus_;
    int slot_;
    VirtualClock& clock_;
    Log& log_;
    std::unique_ptr<Timer> timer_;
    int byte_ = 0;
};

struct Setup {
    bool wif = false;
    bool zeroPage = false;
    int outputResetMode = 1;
    bool devices = false;
    bool ignoreBreakpoints = false;
    // Normal programs full of subroutine calls: JMB to a return slot whose next word is
    // JMP I through it, with the slot also overwritten now and then by the random words.
    bool subroutines = false;
    uint32_t seed = 0;
};

// One machine with its clock, modules, serial port and run control.
struct World {
    Log log;
    VirtualClock clock;
    Machine m;
    RunControl rc{m};
    RecordingObserver observer{m, clock, log};
    ScriptedSerialPort serial;
    std::unique_ptr<TimedOutput> out;
    std::unique_ptr<TimedInput> in;

    World(const Setup& s, bool clockEngine) {
        rc.forceClockEngine = clockEngine;
        std::mt19937 g(s.seed);
        auto rnd = [&](int n) { return static_cast<int>(g() % static_cast<uint32_t>(n)); };
        m.randomSeed = [] { return 7u; };
        m.seedWifRandom(s.seed);
        m.attachTimers(clock);
        m.options.mode = s.wif ? OperatingMode::Wif : OperatingMode::Normal;
        m.updateMemorySize();
        m.options.zeroPageMode = s.zeroPage;
        m.options.outputResetMode = s.outputResetMode;
        m.options.ignoreBreakpoints = s.ignoreBreakpoints;
        for (int i = 0; i < m.memorySize; ++i) {
            int32_t w = static_cast<int32_t>(g() & (s.wif ? 0xFFFF : 0xFF));
            // Fewer halts, so that runs are long enough to have many stretches.
            if (!s.wif && (w & 0xF1) == 0xF1 && rnd(8)) w &= ~1;
            if (s.wif && wif::opcodeOf(w) == wif::kHalt && rnd(8)) w ^= 0x1000;
            m.memory[i] = w;
        }
        if (s.subroutines) {
            for (int a = 0; a < m.memorySize; a += 3 + rnd(6)) {
                const int slot = rnd(15), page = a & 0xF0;
                m.memory[a] = normal::kOpJmb << 5 | slot;
                m.memory[page + slot + 1] = normal::kOpJmp << 5 | 16 | slot;
            }
        }
        for (int i = 0; i < 4; ++i)
            if (rnd(2)) m.breakpoints[rnd(m.memorySize)] = 1;
        for (auto& b : m.ram) b = static_cast<uint8_t>(g());
        for (auto& b : m.eeprom) b = static_cast<uint8_t>(g());
        for (auto& v : m.stack) v = rnd(m.memorySize);
        m.stackDepth = rnd(4);
        m.romPointer = rnd(m.memorySize);
        m.bankFlag = rnd(2);
        m.c = rnd(2);
        m.z = rnd(2);
        m.dc = rnd(2);
        m.h = rnd(256);
        m.l = rnd(256);
        for (int i = 0; i < 8; ++i) m.switches[i] = static_cast<uint8_t>(rnd(2));
        m.computeSr();
        m.pc = rnd(m.memorySize);
        m.ma = rnd(m.memorySize);
        m.mb = rnd(256);
        m.ac = rnd(256);
        // Counters near their wrap, so that the count display and the 20-bit count turn over.
        m.instructionCount = kInstructionCountMask - rnd(3000);
        m.serialPort = &serial;
        for (int i = 0; i < 64; ++i) serial.offer(rnd(256));
        if (s.devices) {
            const int outSlot = kFirstOutputSlot + rnd(2), inSlot = rnd(2);
            out = std::make_unique<TimedOutput>(m.bus, outSlot, clock, rnd(3), log);
            m.bus.bind(outSlot, *out);
            in = std::make_unique<TimedInput>(m.bus, inSlot, clock, rnd(3), log);
            m.bus.bind(inSlot, *in);
            for (auto& slot : m.bus.slots) slot.flag = static_cast<uint8_t>(rnd(2));
        }
        m.setObserver(&observer);
        rc.startContinuousFastRun();
        // Lamps and throttle from an earlier run.
        m.lamps = LampLatch{rnd(256), rnd(256), rnd(256), rnd(256)};
        m.lampsDirty = 0;
        rc.throttleStep = rnd(5);
        rc.displayRefreshCounter = rnd(60);
        m.countRefreshCounter = rnd(kCountRefreshLimit + 1);
    }
};

// Every field and what the views were told, besides the machine's and run's own.
std::string difference(const World& x, const World& y) {
    std::ostringstream out;
    out << test::engineDifference(x.m, y.m, x.rc, y.rc, x.clock, y.clock);
    if (x.serial.sent() != y.serial.sent()) out << "serial sent; ";
    if (x.log != y.log) {
        size_t i = 0;
        while (i < x.log.size() && i < y.log.size() && x.log[i] == y.log[i]) ++i;
        out << "log at " << i << ": " << (i < x.log.size() ? x.log[i] : std::string("(end)"))
            << " / " << (i < y.log.size() ? y.log[i] : std::string("(end)")) << "; ";
    }
    return out.str();
}

bool same(const RunControl::HeadlessResult& a, const RunControl::HeadlessResult& b) {
    return a.reason == b.reason && a.clockStates == b.clockStates &&
           a.instructions == b.instructions;
}

struct Totals {
    uint64_t runs = 0, instructions = 0, stops = 0;
};

// Runs one random program through both engines and compares them. Returns false at the
// first difference (reported through gtest).
bool compareOne(const Setup& s, Totals& totals) {
    World fast(s, false), slow(s, true);
    std::mt19937 g(s.seed ^ 0x9E3779B9u);
    for (int round = 0; round < 4; ++round) {
        if (!fast.m.run) {
            // A stopped run goes on as a new release of RUN does.
            fast.rc.startContinuousFastRun();
            slow.rc.startContinuousFastRun();
        }
        // Stepped: one instruction per call, compared at each instruction end.
        const int steps = static_cast<int>(g() % 40);
        for (int i = 0; i < steps && fast.m.run; ++i) {
            const auto rf = fast.rc.runHeadless(UINT64_MAX, 1, &fast.clock);
            const auto rs = slow.rc.runHeadless(UINT64_MAX, 1, &slow.clock);
            totals.instructions += rf.instructions;
            const std::string d = difference(fast, slow);
            if (!same(rf, rs) || !d.empty()) {
                ADD_FAILURE() << "seed " << s.seed << " wif " << s.wif << " round " << round
                              << " step " << i << ": " << d;
                return false;
            }
        }
        if (!fast.m.run) continue;
        // A longer run, possibly ending inside an instruction on a clock-state limit.
        const uint64_t maxStates = g() % 2 ? UINT64_MAX : 1000 + g() % 200000;
        const uint64_t maxInstructions = 1 + g() % 3000;
        const auto rf = fast.rc.runHeadless(maxStates, maxInstructions, &fast.clock);
        const auto rs = slow.rc.runHeadless(maxStates, maxInstructions, &slow.clock);
        totals.instructions += rf.instructions;
        ++totals.runs;
        if (rf.reason != RunControl::HeadlessStop::InstructionLimit &&
            rf.reason != RunControl::HeadlessStop::StateLimit)
            ++totals.stops;
        const std::string d = difference(fast, slow);
        if (!same(rf, rs) || !d.empty()) {
            ADD_FAILURE() << "seed " << s.seed << " wif " << s.wif << " round " << round
                          << " run: reason " << static_cast<int>(rf.reason) << "/"
                          << static_cast<int>(rs.reason) << " states " << rf.clockStates << "/"
                          << rs.clockStates << " instructions " << rf.instructions << "/"
                          << rs.instructions << ": " << d;
            return false;
        }
    }
    return true;
}

void compareMany(bool wif, int programs, bool subroutines = false) {
    Totals totals;
    for (int i = 0; i < programs; ++i) {
        Setup s;
        s.wif = wif;
        s.subroutines = subroutines;
        s.seed = static_cast<uint32_t>(i * 2654435761u + (wif ? 17 : 3));
        s.zeroPage = i & 1;
        s.outputResetMode = (i >> 1) & 1;
        s.devices = (i >> 2) & 1;
        s.ignoreBreakpoints = (i % 11) == 0;
        if (!compareOne(s, totals)) return;
    }
    // The programs must really run: many instructions, and runs that stop on their own.
    EXPECT_GT(totals.instructions, static_cast<uint64_t>(programs) * 100);
    // (Calls and their returns make more endless loops.)
    EXPECT_GT(totals.stops, static_cast<uint64_t>(programs) / (subroutines ? 8 : 4));
}

// Thousands of programs in the optimised build; a quarter of them in the unoptimised,
// sanitized one, which runs the same code many times slower.
#ifdef NDEBUG
constexpr int kPrograms = 2000;
#else
constexpr int kPrograms = 500;
#endif

TEST(InstructionEngine, NormalRandomProgramsMatchTheClockStates) {
    compareMany(false, kPrograms);
}

// The returns the loop predicts from the last JMB, right and wrong.
TEST(InstructionEngine, NormalSubroutineProgramsMatchTheClockStates) {
    compareMany(false, kPrograms / 4, true);
}

TEST(InstructionEngine, WifRandomProgramsMatchTheClockStates) {
    compareMany(true, kPrograms);
}

// WIF programs chosen for what random words seldom make: a lamp group that leaves the
// latch and comes back within one stretch, a jump to itself that never moves PC, a word
// that is no instruction between two that are, a table write over its own word and a run
// started on a breakpoint.
TEST(InstructionEngine, WifChosenProgramsMatchTheClockStates) {
    using namespace wif;
    constexpr int32_t kRam5 = (1 << 8) | (1 << 6) | 32 | 5;  // RAM 5 into RAM 5
    constexpr int32_t kRam3ToPc = (1 << 8) | (3 << 6) | 3;   // RAM 3 into PC
    struct Case {
        const char* name;
        std::vector<int32_t> words;
        int32_t ram3, romPointer, ac;
        bool breakpointAtStart;
    };
    const std::vector<Case> cases = {
        {"AC away and back",
         {encode(kLitLoad, 9), encode(kLitLoad, 0), encode(kIncrement, kRam5), encode(kGoto, 0)},
         0, 0, 0, false},
        {"jump to itself", {encode(kMove, kRam3ToPc)}, 255, 0, 0, false},
        {"no instruction between",
         {encode(kIncrementSkipZero, kRam5), encode(12, 0), encode(kGoto, 0)}, 0, 0, 0, false},
        {"table write over itself",
         {encode(kLitLoad, 0), encode(kTable, 0), encode(kGoto, 0)}, 0, 1, 0, false},
        {"started on a breakpoint", {encode(kIncrement, kRam5), encode(kGoto, 0)}, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        mira::core::Setup s;  // gtest's Test has a Setup of its own
        s.wif = true;
        s.seed = 99;
        World fast(s, false), slow(s, true);
        for (World* w : {&fast, &slow}) {
            Machine& m = w->m;
            m.breakpoints.fill(0);
            for (size_t i = 0; i < c.words.size(); ++i) m.memory[i] = c.words[i];
            m.pc = 0;
            m.ac = c.ac;
            m.ram[3] = static_cast<uint8_t>(c.ram3);
            m.romPointer = c.romPointer;
            // The latch as the last instruction left it: a group is dirty only once it moves.
            m.lamps = LampLatch{m.pc, m.ma, m.mb, m.ac};
            if (c.breakpointAtStart) {
                m.breakpoints[0] = 1;
                m.lastBreakStop = 0;
            }
        }
        for (const uint64_t n : {1, 1, 1, 2, 3, 50, 700}) {
            const auto rf = fast.rc.runHeadless(UINT64_MAX, n, &fast.clock);
            const auto rs = slow.rc.runHeadless(UINT64_MAX, n, &slow.clock);
            const std::string d = difference(fast, slow);
            EXPECT_TRUE(same(rf, rs) && d.empty()) << c.name << " after " << n << ": " << d;
            if (!fast.m.run) {
                fast.rc.startContinuousFastRun();
                slow.rc.startContinuousFastRun();
            }
        }
        EXPECT_GT(fast.m.instructionCount, 0) << c.name;
    }
}

// The GUI's fast loop: a program that ends on its own ends in the same state whichever
// engine ran it, though the two yield at different places.
void compareFastLoops(bool wif, int programs) {
    int compared = 0;
    for (int i = 0; i < programs; ++i) {
        Setup s;
        s.wif = wif;
        s.seed = static_cast<uint32_t>(i * 40503u + 11);
        s.zeroPage = i & 1;
        s.outputResetMode = (i >> 1) & 1;
        World fast(s, false), slow(s, true);
        bool capped = false;
        for (World* w : {&fast, &slow}) {
            w->m.serialPort = nullptr;
            const int32_t count0 = w->m.instructionCount;
            // Programs that run on are cut off; only those that stop are compared.
            w->rc.fastLoop([&] {
                if (((w->m.instructionCount - count0) & kInstructionCountMask) > 5000) {
                    w->rc.placeRequest(kRequestContinueSlow);
                    capped = true;
                }
                return false;
            });
        }
        if (capped) continue;
        ++compared;
        fast.log.clear();  // publish calls come at different yields
        slow.log.clear();
        const std::string d = difference(fast, slow);
        if (!d.empty()) {
            ADD_FAILURE() << "seed " << s.seed << " wif " << wif << ": " << d;
            return;
        }
    }
    EXPECT_GT(compared, programs / 5);
}

TEST(InstructionEngine, FastLoopEndsAsTheClockStatesDo) {
    compareFastLoops(false, kPrograms / 8);
    compareFastLoops(true, kPrograms / 8);
}

TEST(InstructionEngine, ChosenOnlyWhenNothingWatchesClockStates) {
    Machine m;
    RunControl rc(m);
    rc.forceClockEngine = false;
    rc.startContinuousFastRun();
    EXPECT_EQ(rc.engine(), RunControl::Engine::Instruction);
    m.liveDisplay = true;
    EXPECT_EQ(rc.engine(), RunControl::Engine::ClockState) << "live display";
    m.liveDisplay = false;
    rc.animating = true;
    EXPECT_EQ(rc.engine(), RunControl::Engine::ClockState) << "animation";
    rc.animating = false;
    m.switches[kSwitchSingleCont] = 0;
    EXPECT_EQ(rc.engine(), RunControl::Engine::ClockState) << "single instruction";
    m.switches[kSwitchSingleCont] = 1;
    m.switches[kSwitchSlowFast] = 0;
    EXPECT_EQ(rc.engine(), RunControl::Engine::ClockState) << "slow clock";
    m.switches[kSwitchSlowFast] = 1;
    m.fastRun = false;
    EXPECT_EQ(rc.engine(), RunControl::Engine::ClockState) << "the editor follows each instruction";
    m.fastRun = true;
    rc.forceClockEngine = true;
    EXPECT_EQ(rc.engine(), RunControl::Engine::ClockState) << "forced";
}

// A trace and the CLI's per-instruction hook see every instruction end under the engine.
TEST(InstructionEngine, TraceAndHookSeeEveryInstruction) {
    Machine m;
    RunControl rc(m);
    rc.forceClockEngine = false;
    // TAD 5 / ISZ 6 / JMP 0 / (skip) HLT
    m.memory[0] = 0x25;
    m.memory[1] = 0x46;
    m.memory[2] = 0xA0;
    m.memory[3] = 0xF1;
    m.memory[6] = 253;
    rc.traceOn = true;
    std::vector<int> hooked;
    rc.onInstructionEnd = [&] { hooked.push_back(m.instructionAddress); };
    rc.startContinuousFastRun();
    ASSERT_EQ(rc.engine(), RunControl::Engine::Instruction);
    const auto r = rc.runHeadless(UINT64_MAX, 100);
    EXPECT_EQ(r.reason, RunControl::HeadlessStop::Stopped);
    const std::vector<int> expected{0, 1, 2, 0, 1, 2, 0, 1, 3};
    EXPECT_EQ(hooked, expected);
    EXPECT_EQ(r.instructions, expected.size());
    EXPECT_EQ(r.clockStates, 48 * expected.size());
}

// The fast run speed is how long a fast run may go between two servicings of the GUI.
TEST(RunControl, FastRunSpeedSetsTheEventServiceInterval) {
    EXPECT_EQ(RunControl::eventServiceIntervalNs(100), 1'000'000);
    EXPECT_EQ(RunControl::eventServiceIntervalNs(200), 11'000'000);
    EXPECT_EQ(RunControl::eventServiceIntervalNs(900), 81'000'000);
    for (int speed = 110; speed <= 900; speed += 10)
        EXPECT_GT(RunControl::eventServiceIntervalNs(speed),
                  RunControl::eventServiceIntervalNs(speed - 10));
    EXPECT_EQ(RunControl::eventServiceIntervalNs(50), RunControl::eventServiceIntervalNs(200));
    EXPECT_EQ(RunControl::eventServiceIntervalNs(901), RunControl::eventServiceIntervalNs(200));
}

}  // namespace
}  // namespace mira::core
