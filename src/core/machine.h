// The MIRA-8's whole state: registers, memories, panel switches, cycle bookkeeping,
// options and device slots, with reset and the memory initialisations.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include <memory>

#include "device.h"
#include "observer.h"
#include "serial_test_port.h"
#include "snapshot.h"
#include "timer.h"

namespace mira::core {

enum class OperatingMode { Normal, Wif };

// Cycle states.
enum CycleState : int32_t {
    kCycleIdle = 0,
    kCycleDeposit = 1,
    kCycleExamine = 2,
    kCycleFetch = 3,
    kCycleDefer = 4,
    kCycleExecute = 5,
};

// Panel switch indices; SR bit 7 is switch 0.
enum PanelSwitch : int {
    kSwitchLoadAddress = 8,
    kSwitchDeposit = 9,
    kSwitchExamine = 10,
    kSwitchRun = 11,
    kSwitchHalt = 12,
    kSwitchSingleCont = 13,  // 1 = continuous
    kSwitchSlowFast = 14,    // 1 = fast
};
inline constexpr int kSwitchCount = 15;

// Instruction lamps, indexed by Normal opcode: AND, TAD, ISZ, DCA, JMB, JMP, IOT, OPR.
inline constexpr int kInstructionLampCount = 8;

inline constexpr int kMaxMemory = 1024;
inline constexpr int kRamSize = 64;
inline constexpr int kEepromSize = 32;
inline constexpr int kStackSize = 3;
inline constexpr int kInstructionCountMask = 0xFFFFF;  // 20 bits
inline constexpr int kCountRefreshLimit = 897;

// A serial data path. One shift moves the source's low bit into the destination's top
// bit, so after eight shifts the destination holds the old source.
struct SerialChannel {
    int32_t dest = 0;
    int32_t src = 0;

    void load(int32_t destinationNow, int32_t source) {
        dest = destinationNow & 0xFF;
        src = source & 0xFF;
    }
    int32_t shift() {
        dest = (dest >> 1) | ((src & 1) << 7);
        src >>= 1;
        return dest;
    }
};

// Register values as the panel lamps last showed them. Outside live display they are
// latched only at fixed clock states, so a fast run never shows half-shifted values.
struct LampLatch {
    int32_t pc = 0;
    int32_t ma = 0;
    int32_t mb = 0;
    int32_t ac = 0;
};

struct MachineOptions {
    OperatingMode mode = OperatingMode::Normal;
    bool zeroPageMode = false;
    bool slowDepositExamine = false;
    int outputResetMode = 1;  // 0 = T1 (WIF: BO), 1 = T13 (WIF: AO)
    bool autoSlowStepOnBreak = false;
    bool ignoreBreakpoints = false;
    bool clearMemoryBeforeAssemble = false;
    bool clearRamBeforeAssemble = false;
    bool clearEepromBeforeAssemble = false;
    std::array<int, 2> radix{2, 0};  // display radix per mode
};

class Machine {
public:
    Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // --- registers (each masked to its width on every write) ---
    int32_t pc = 0, ma = 0, mb = 0, ac = 0, ir = 0, sr = 255;
    int32_t c = 0, z = 0, dc = 0;

    // --- memories ---
    std::array<int32_t, kMaxMemory> memory{};
    std::array<uint8_t, kMaxMemory> breakpoints{};
    int32_t lastBreakStop = -1;
    int memorySize = 256;
    int addressMask = 255;

    // --- cycle bookkeeping ---
    bool run = false;
    int32_t cycleState = kCycleIdle;
    int32_t t = 0;
    SerialChannel chA, chB, chC;
    std::array<bool, kInstructionLampCount> instructionLamps{};
    bool fetchLamp = true, deferLamp = false, execLamp = false;
    bool deferPending = false;
    bool pcTransferLoaded = false;    // channel A carries a PC transfer this instruction
    int32_t instructionAddress = 0;   // where the executing instruction was fetched
    int32_t instructionCount = 0;
    int32_t countRefreshCounter = 0;

    // --- panel ---
    std::array<uint8_t, kSwitchCount> switches{};
    int32_t panelValue = 255;
    int32_t externalMask1 = 255;
    int32_t externalMask2 = 255;
    LampLatch lamps;

    // --- WIF-only state (kept in both modes) ---
    std::array<uint8_t, kRamSize> ram{};
    std::array<uint8_t, kEepromSize> eeprom{};
    int32_t eepromPointer = 0;  // 5 bits
    std::array<int32_t, kStackSize> stack{};
    int32_t stackDepth = 0;
    bool stackOverflow = false;
    int32_t romPointer = 0;  // 10 bits
    int32_t h = 0, l = 0;
    int32_t serialRegister = 0;
    bool serialAccess = false;
    int32_t externalControl = 3;  // bit 1 LA line, bit 0 DEP (TG1) line
    bool bankFlag = false;
    int32_t instructionTableState = 0;  // 0 none, 1 Normal table, 2 WIF table
    bool codeTimerFlag = false;
    bool skip = false;  // WIF skip flag
    // The executing WIF instruction, latched at its step 0 so that a table write to its own
    // address cannot change it half-way.
    int32_t wifWord = 0;
    int32_t wifOpcode = 0;        // group * 16 + operation
    bool wifPcWritten = false;    // PC written through selector 3: no advance at the end
    bool wifByteReceived = false; // the serial input instruction got a byte at step 2
    // Instruction class per WIF opcode from the instruction table (0..3 light the OPR, IOT,
    // JMP, JMB lamps); -1 until a table supplies one.
    std::array<int8_t, 64> wifInstructionClass = [] {
        std::array<int8_t, 64> a{};
        a.fill(-1);
        return a;
    }();
    // RAM bytes and EEPROM bytes written since the views last looked (bit per address).
    uint64_t ramChanged = 0;
    uint32_t eepromChanged = 0;
    // The basic serial port; absent behaves as a closed window.
    SerialTestPort* serialPort = nullptr;
    // Generator of the random-byte instruction: seeded from the clock, fixed in tests.
    std::minstd_rand wifRandom;
    void seedWifRandom(uint32_t seed) { wifRandom.seed(seed); }

    // --- options and run bookkeeping shared with run control ---
    MachineOptions options;
    bool liveDisplay = true;
    bool fastRun = false;
    int fastRunSpeed = 200;
    int melodyNoteDelay = 100;

    // --- I/O ---
    DeviceBus bus;

    // --- what views must redraw ---
    uint32_t changed = 0;      // ChangeBit items touched since last taken
    uint32_t lampsDirty = 0;   // lamp groups whose latch moved
    // Addresses written since the last view refresh, each once.
    std::array<int32_t, kMaxMemory> changedList{};
    int changedCount = 0;
    std::array<uint8_t, kMaxMemory> changedMark{};

    // --- timers (WIF delay instruction and EEPROM write time) ---
    // CodeTimer ticks every 500 ms from start-up and sets the code-timer flag; eepTimer
    // runs once for 7 ms after an EEPROM write. Both come from the injected factory.
    void attachTimers(TimerFactory& factory);
    std::unique_ptr<Timer> codeTimer;
    std::unique_ptr<Timer> eepTimer;

    // --- observer ---
    void setObserver(MachineObserver* o) { observer_ = o ? o : &nullObserver_; }
    MachineObserver& observer() { return *observer_; }

    // --- operations ---
    bool isWif() const { return options.mode == OperatingMode::Wif; }
    // What no instruction, panel operation or file may ever break: every address register
    // inside memory, every register and word within its width. Empty when all hold; else
    // the first broken rule. For tests and fuzzers.
    std::string invariantViolation() const;
    bool switchOn(int i) const { return switches[i] != 0; }
    bool continuous() const { return switches[kSwitchSingleCont] != 0; }
    // Stopped, or about to begin an instruction: where an instruction step lands.
    bool betweenInstructions() const {
        return cycleState == kCycleIdle ||
               (t == 0 && cycleState == (isWif() ? kCycleExecute : kCycleFetch));
    }
    // Asked at every yield of a GUI fast run: the table is OR-ed eight bytes at a time,
    // without an early exit, which the compiler turns into vector code.
    bool anyBreakpoint() const {
        const int whole = memorySize & ~7;
        uint64_t any = 0;
        for (int i = 0; i < whole; i += 8) {
            uint64_t eight;
            std::memcpy(&eight, &breakpoints[static_cast<size_t>(i)], sizeof eight);
            any |= eight;
        }
        for (int i = whole; i < memorySize; ++i) any |= breakpoints[static_cast<size_t>(i)];
        return any != 0;
    }
    bool fastClock() const { return switches[kSwitchSlowFast] != 0; }

    void reset();
    void updateMemorySize();
    // Fill kinds: 0 zeros, 1 all ones, 2 random.
    void initMemory(int kind);
    void initRam(int kind);
    void initEeprom();
    // SR from the SR switches and both external masks.
    void computeSr();
    void setSwitch(int index, bool thrown);
    void setExternalMask1(int mask);
    void setExternalMask2(int mask);
    // PC = SR; the editor follows.
    void SetPCfromSwitches();

    void incrementInstructionCount() {
        instructionCount = (instructionCount + 1) & kInstructionCountMask;
    }
    // Counts an instruction as it starts; the count display is redrawn at once while the
    // display is live, otherwise every 898 instructions.
    void countInstruction() {
        incrementInstructionCount();
        if (liveDisplay) {
            changed |= kChangeCount;
        } else if (++countRefreshCounter > kCountRefreshLimit) {
            countRefreshCounter = 0;
            changed |= kChangeCount;
        }
    }
    // The breakpoint test before a fetch (WIF: before an instruction): a marked PC stops a
    // continuous run once; with that stop pending the next start passes it. True to stop.
    bool breakpointStop() {
        if (breakpoints[pc] && !options.ignoreBreakpoints && continuous() && lastBreakStop < 0) {
            lastBreakStop = pc;
            return true;
        }
        lastBreakStop = -1;
        return false;
    }

    // A program (or the panel) wrote memory: keep the view's list of changed words.
    void markMemoryChanged(int address) {
        if (!changedMark[address]) {
            changedMark[address] = 1;
            changedList[changedCount++] = address;
        }
    }
    void writeMemory(int address, int32_t value) {
        memory[address] = value;
        markMemoryChanged(address);
    }
    void clearChangedList();

    // Lamp update with a group mask: copy registers into the lamp latch.
    void latchLamps(uint32_t groups) {
        latchOne(groups, kChangePc, lamps.pc, pc);
        latchOne(groups, kChangeMa, lamps.ma, ma);
        latchOne(groups, kChangeMb, lamps.mb, mb);
        latchOne(groups, kChangeAc, lamps.ac, ac);
        if (groups & kChangeState) lampsDirty |= kChangeState;
    }
    void setInstructionLampsOff() { instructionLamps.fill(false); }

    // Seed source for the random fills; the clock by default, fixed in tests.
    std::function<uint32_t()> randomSeed;

    // Machine states (machine_state.cpp): everything above that decides what happens next,
    // with the options that decide execution, the device slot table and the machine's own
    // timers, in one section. Restore checks every value and binds each used slot to the
    // device already in it (same type) or the module registered for the type; on bad data it
    // throws SnapshotError with the machine partly restored, so the caller restores the
    // state it saved before. Views are told to redraw everything.
    void saveState(SnapshotWriter& w) const;
    void restoreState(SnapshotReader& r);

private:
    void latchOne(uint32_t groups, uint32_t bit, int32_t& lamp, int32_t value) {
        if ((groups & bit) && lamp != value) {
            lamp = value;
            lampsDirty |= bit;
        }
    }

    MachineObserver nullObserver_;
    MachineObserver* observer_ = &nullObserver_;
    std::mt19937 rng_;
};

}  // namespace mira::core
