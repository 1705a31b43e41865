// The instruction engine: whole instructions at a time for runs that nobody watches clock
// by clock. From an instruction boundary it leaves the machine exactly as the clock-state
// steps leave it at the same instruction end: registers, flags, memory, the changed-word
// list, the count and its refresh counter, the lamp latch with its dirty groups and the
// items views must redraw. Only the serial channels are not kept: every instruction loads a
// channel before it shifts it, so their contents at an instruction end are never read.
//
// Device I/O. A flag test (a Normal IOT with only its skip bit, the WIF input and output
// skips) and the WIF line test touch no module and run in the loops like any instruction:
// no timer falls due inside a stretch, so no flag moves in it. Every other I/O instruction
// (transfers, pulses, serial, delay, EEPROM) calls a module, the serial port or a timer,
// which may start a timer or change what the run sees; it runs alone, as the first
// instruction of its stretch (ioInstruction), by its own clock states back to back with the
// virtual clock moved on after each state, so every notification (reset and input pulses,
// output notification, the keypad's shift steps, flag tests) and every timer that falls
// due inside the instruction happens at the same virtual time, in clock states, as on the
// clock path. Breakpoints after the first instruction of a stretch end the stretch, so
// that every rule about them is the clock path's own.
//
// Virtual time. A Normal instruction takes 48 clock states (72 with a defer cycle), a WIF
// instruction 4 (the transfers 11 to 13); one clock state is 1 µs. The caller gives a
// stretch the number of clock states it may use: up to the run's state limit and ending
// strictly before the next timer falls due. The loops only run instructions that fit whole,
// add their states to the stretch's count and leave the clock to the caller, which moves
// it on by that count at the stretch's end. No timer can fire in a loop and no instruction
// in a loop starts or reads one, so the clock, every timer and every module see the same
// times as on the clock path. An I/O instruction alone need only fit the state limit: the
// timers falling inside it fire at their states.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "machine.h"
#include "normal_cpu.h"
#include "timer.h"
#include "wif_cpu.h"

namespace mira::core::engine {

struct Stretch {
    // Limits given by the caller: states before the next timer falls due, the run's own
    // state limit (at least maxStates), instructions.
    uint64_t maxStates = 0;
    uint64_t limitStates = 0;
    uint64_t maxInstructions = 0;
    // The virtual clock of a headless run, at the stretch's start; null when real timers
    // run between stretches (the GUI).
    VirtualClock* clock = nullptr;
    // What ran.
    uint64_t states = 0;
    uint64_t instructions = 0;
};

inline constexpr int kNormalStates = 2 * (normal::kLastClockState + 1);
inline constexpr int kNormalDeferStates = 3 * (normal::kLastClockState + 1);
inline constexpr int kWifStates = wif::kLastStep + 1;

// A Normal IOT that transfers or pulses calls a module; one with only its skip bit tests a
// flag, which the loops do themselves.
inline constexpr bool iotCallsModule(int32_t word) {
    return (word & 6) != 0;
}

// Clock states of each Normal instruction word in the loops, 0 for an IOT that calls a
// module (ioInstruction runs it).
inline constexpr std::array<uint8_t, 256> kNormalWordStates = [] {
    std::array<uint8_t, 256> a{};
    for (int w = 0; w < 256; ++w) {
        const int op = w >> 5;
        a[w] = op == normal::kOpIot && iotCallsModule(w) ? 0
               : op <= normal::kOpJmp && (w & 16)        ? kNormalDeferStates
                                                          : kNormalStates;
    }
    return a;
}();

// Moves a headless run's virtual clock on by one state after each clock state, as the
// clock-state run loop does, so timers fire between the states they fall due at.
struct ClockProbe {
    static constexpr bool kWholeCycles = false;  // the clock moves at every state
    VirtualClock* clock;
    int64_t now;
    void operator()(Machine&, int /*t*/, int /*cycle*/, int /*result*/) {
        if (clock) clock->advanceTo(++now);
    }
};

// The four register lamp groups packed a byte each (Normal registers are 8 bits wide).
inline uint32_t packNormal(int32_t pc, int32_t ma, int32_t mb, int32_t ac) {
    return static_cast<uint32_t>(pc) | static_cast<uint32_t>(ma) << 8 |
           static_cast<uint32_t>(mb) << 16 | static_cast<uint32_t>(ac) << 24;
}

// An all-clear breakpoint table for stretches in which breakpoints do not stop.
inline constexpr std::array<uint8_t, kMaxMemory> kNoBreakpoints{};

// A Normal flag test (an IOT with only its skip bit) skips when its slot's flag is down.
// Slot (word >> 3) & 3: input devices 0 and 1, output devices 0 and 1.
inline bool normalFlagSkips(const Machine& m, int32_t word) {
    return (word & 1) && m.bus.slots[(word >> 3) & 3].flag == 0;
}

// The skip of an OPR group 2 word on AC as the instruction starts.
inline int32_t group2Skips(int32_t word, int32_t ac) {
    return ((word & 8) && ac == 0) || ((word & 4) && (ac & 128));
}

// The state of a Normal stretch between its two loops.
struct NormalRun {
    int32_t pc, ma, mb, ac, c, word, address;
    bool pcTransferLoaded;
    uint32_t dirty;  // packed as packNormal: a byte is non-zero once its group is dirty
    uint32_t changed;
    uint64_t budget, n, maxN;
    int result;
};

// The lamp groups PC, MA and MB are all dirty: only AC can still change its dirty bit.
inline bool addressGroupsDirty(uint32_t dirty) {
    return (dirty & 0xFF) && (dirty & 0xFF00) && (dirty & 0xFF0000);
}

// Whole Normal instructions until the stretch ends (true) or, with kTrackLamps, until PC,
// MA and MB are all dirty (false), from which on the cheaper loop without their tracking
// goes on. The lamp latch is kept as runNormal describes.
//
// Without lamp tracking, MA, MB and the carry of a memory-reference instruction are not
// kept per instruction: only the last one's are read, and they follow from its effective
// address and the memory it leaves (worked out after the loop). Fewer live values keep the
// loop's state in registers.
template <bool kZeroPage, bool kTrackLamps>
[[gnu::always_inline]] inline bool normalLoop(Machine& m, NormalRun& r, const uint8_t* breakpoints,
                                              uint32_t latch0) {
    using namespace normal;
    int32_t* memory = m.memory.data();
    int32_t pc = r.pc, ma = r.ma, mb = r.mb, ac = r.ac, c = r.c, word = r.word;
    int32_t address = r.address, ea = 0;
    bool pcTransferLoaded = r.pcTransferLoaded;
    uint32_t dirty = r.dirty, changed = r.changed;
    // Clock states left, less those of the instruction about to run.
    uint64_t budget = r.budget - kNormalWordStates[word];
    // Instructions left before the limit, counted down. A halt notes what was left and
    // sets it to one, so that one test per instruction ends the stretch for both.
    const uint64_t left0 = r.maxN - r.n;
    uint64_t left = left0, leftAtHalt = 0;
    const int32_t lac = static_cast<int32_t>(latch0 >> 24);
    // The return address the last JMB stored. A JMP I through its slot almost always reads
    // it back: taking it from here as a predicted branch lets the next fetch start before
    // the pointer's load completes.
    int32_t returnGuess = -1;
    bool ended = true;
    // Without lamp tracking one word gathers what AC does: bit 0 once an instruction has
    // redrawn the AC items, above it every difference of AC from its lamp latch. One
    // register, and none of it for an instruction that leaves AC as it is.
    uint32_t acc = static_cast<uint32_t>(ac ^ lac) << 8;
    const auto acItem = [&](bool acMoved) {
        if constexpr (kTrackLamps)
            changed |= kChangeAc;
        else
            acc |= 1u | (acMoved ? static_cast<uint32_t>(ac ^ lac) << 8 : 0u);
    };
    // MA, MB and the carry as each instruction ends; kept only while the lamps are tracked.
    const auto latch = [&](int32_t newMa, int32_t newMb, int32_t newC) {
        if constexpr (kTrackLamps) {
            ma = newMa;
            mb = newMb;
            c = newC;
        }
    };
    for (;;) {
        const int op = word >> 5;
        const int32_t pc1 = (pc + 1) & 255;
        address = pc;
        // Fetch: T9 latches PC+1 and MA = PC, T21 MB = the word, T23 all with MB = the
        // address; AC is latched unchanged.
        ea = effectiveAddress(word, pc, word, kZeroPage);
        if constexpr (kTrackLamps)
            dirty |= (packNormal(pc1, pc, word, ac) ^ latch0) | ((ea << 16) ^ (latch0 & 0xFF0000));
        if (op <= kOpJmp && (word & 16)) {
            // Defer: MA = the pointer, MB = the word it holds; both latched at T21/T23.
            const int32_t indirect = memory[ea] & 255;
            if constexpr (kTrackLamps) dirty |= packNormal(pc1, ea, indirect, ac) ^ latch0;
            if (op == kOpJmp && indirect == returnGuess) [[likely]] {
                // The guess, not the loaded value, so that no data path joins them.
                int32_t guess = returnGuess;
                asm("" : "+r"(guess));
                ea = guess;
            } else {
                ea = indirect;
            }
        }
        pc = pc1;
        switch (op) {
            case kOpAnd: {
                const int32_t v = memory[ea] & 255;
                ac &= v;
                latch(ea, v, 0);
                acItem(true);
                break;
            }
            case kOpTad: {
                const int32_t v = memory[ea] & 255;
                ac = (ac + v) & 255;
                latch(ea, v, 0);
                acItem(true);
                break;
            }
            case kOpIsz: {
                const int32_t v = ((memory[ea] & 255) + 1) & 255;
                // A branch, not arithmetic: the next fetch need not wait for the load. The
                // empty asm keeps the compiler from making it a conditional move.
                if (v == 0) [[unlikely]] {
                    pc = (pc + 1) & 255;
                    asm volatile("" : "+r"(pc));
                }
                memory[ea] = v;
                m.markMemoryChanged(ea);
                latch(ea, v, v == 0);
                acItem(false);
                break;
            }
            case kOpDca:
                memory[ea] = ac;
                m.markMemoryChanged(ea);
                latch(ea, ac, 0);
                ac = 0;
                acItem(true);
                break;
            case kOpJmb:
                memory[ea] = pc1;
                m.markMemoryChanged(ea);
                returnGuess = pc1;
                pc = (ea + 1) & 255;
                latch(ea, pc1, 1);
                acItem(false);
                break;
            case kOpJmp:
                pc = ea;
                latch(ea, ea, 0);
                acItem(false);
                break;
            case kOpIot: {  // a flag test (the loops get no other IOT)
                const bool skip = normalFlagSkips(m, word);
                pcTransferLoaded = word & 1;
                if (skip) pc = (pc + 1) & 255;
                latch(0, word, skip);
                break;
            }
            default: {  // OPR
                if (!(word & 16)) {
                    int32_t carry = 0;
                    ac = group1Result(word, ac, carry);
                    pcTransferLoaded = false;
                    latch(0, word, 0);  // T12 clears the carry group 1 set at T1
                    acItem(true);
                } else {
                    const int32_t skip = group2Skips(word, ac);
                    if (word & 2) {
                        ac = ((ac >> 1) | ((ac & 1) << 7)) & 255;
                        acItem(true);
                    }
                    pcTransferLoaded = (word & 12) != 0;
                    if (pcTransferLoaded) pc = (pc + skip) & 255;
                    latch(0, word, skip);
                    if (word & 1) {
                        changed |= kChangeCount;
                        leftAtHalt = left;
                        left = 1;
                    }
                }
                break;
            }
        }
        // The end latches every group; the OPR's T9 latch of AC holds a value latched here
        // or at the fetch.
        if constexpr (kTrackLamps) dirty |= packNormal(pc, ma, mb, ac) ^ latch0;
        if (--left == 0) break;
        const int32_t next = memory[pc] & 255;
        const uint32_t len = kNormalWordStates[next];
        if (len == 0 || budget < len || breakpoints[pc]) break;
        word = next;
        if constexpr (kTrackLamps) {
            if (addressGroupsDirty(dirty)) {
                ended = false;
                break;
            }
        }
        budget -= len;
    }
    if constexpr (!kTrackLamps) {
        dirty |= (acc >> 8) << 24;
        if (acc & 1) changed |= kChangeAc;
        // The last instruction's MA, MB and carry. A memory-reference instruction leaves MB
        // equal to the word at its effective address (the operand it read, or the value it
        // stored), a JMP the address itself; an IOT or OPR leaves MA 0 and MB its word, and
        // its carry is its skip: no flag moves within a stretch, and the group 2 tests read
        // AC before its rotate.
        const int op = word >> 5;
        if (op <= kOpJmp) {
            ma = ea;
            mb = op == kOpJmp ? ea : memory[ea] & 255;
            c = op == kOpJmb || (op == kOpIsz && mb == 0);
        } else {
            ma = 0;
            mb = word;
            if (op == kOpIot)
                c = normalFlagSkips(m, word);
            else if (!(word & 16))
                c = 0;
            else
                c = group2Skips(word, word & 2 ? ((ac << 1) | (ac >> 7)) & 255 : ac);
        }
    }
    r.pc = pc;
    r.ma = ma;
    r.mb = mb;
    r.ac = ac;
    r.c = c;
    r.word = word;
    r.address = address;
    r.pcTransferLoaded = pcTransferLoaded;
    r.dirty = dirty;
    r.changed = changed;
    r.budget = budget;
    const bool halted = leftAtHalt != 0;
    r.n += left0 - (halted ? leftAtHalt - 1 : left);
    r.result = halted ? kStepStop : kStepInstructionEnd;
    return ended;
}

// An I/O instruction alone, from its first clock state: the clock-state code of its
// cycles, back to back, with the virtual clock moved on after each state. Returns the last
// step's result; a breakpoint stop takes one state.
template <bool kWif>
inline int ioInstruction(Machine& m, Stretch& s) {
    ClockProbe probe{s.clock, s.clock ? s.clock->nowMicros() : 0};
    int states = 0, r;
    if constexpr (kWif) {
        do {
            r = wif::step(m);
            probe(m, 0, 0, r);
            ++states;
        } while (r == kStepContinue);
    } else {
        r = normal::runCycle<normal::FetchCycle>(m, states, probe);
        if (r != kStepBreakpoint) {
            s.states += static_cast<uint64_t>(states);
            r = normal::runCycle<normal::IotCycle>(m, states, probe);
        }
    }
    s.states += static_cast<uint64_t>(states);
    if (r != kStepBreakpoint) ++s.instructions;
    return r;
}

// Runs whole Normal instructions from the start of a fetch cycle. Returns kStepContinue
// when it ran none (not at a boundary, or the next one does not fit), kStepBreakpoint when
// the first instruction stops on a breakpoint (one clock state, as on the clock path), else
// the result of the last instruction run: kStepInstructionEnd or kStepStop. The ends of all
// earlier instructions were plain ends.
//
// Lamps: a lamp group is dirty at the end when any value latched in the stretch differs
// from the latch at its start (the first such latch is the one that marks it). The latched
// values are those of T9, T21 and the cycle ends, worked out per instruction.
template <bool kZeroPage>
inline int runNormalIn(Machine& m, Stretch& s) {
    using namespace normal;
    if (m.cycleState != kCycleFetch || m.t != 0 || s.maxInstructions == 0) return kStepContinue;
    NormalRun r{};
    r.pc = m.pc & 255;
    r.word = m.memory[r.pc] & 255;
    const uint32_t len = kNormalWordStates[r.word];
    if (len == 0 || s.maxStates < len) {
        // An IOT that calls a module, or a flag test a timer falls inside, runs alone.
        // Here is the line to the clock path: any other instruction a timer falls inside
        // is left to it.
        if ((r.word >> 5) == kOpIot && s.limitStates >= uint64_t(kNormalStates))
            return ioInstruction<false>(m, s);
        return kStepContinue;
    }
    if (m.breakpointStop()) {
        s.states += 1;  // the fetch's first clock state makes the test
        return kStepBreakpoint;
    }
    r.budget = s.maxStates;
    r.ma = m.ma;
    r.mb = m.mb;
    r.ac = m.ac;
    r.c = m.c;
    r.address = r.pc;
    r.pcTransferLoaded = m.pcTransferLoaded;
    r.changed =
        kChangePc | kChangeMa | kChangeMb | kChangeStatus | kChangeIr | kChangeState | kChangeCycle;
    // With HALT held or SINGLE/CONT at single the first instruction's end stops the run.
    const bool stopAtEveryEnd = stopRequested(m);
    r.maxN = stopAtEveryEnd ? 1 : s.maxInstructions;
    const uint8_t* breakpoints = !m.options.ignoreBreakpoints && m.continuous()
                                     ? m.breakpoints.data()
                                     : kNoBreakpoints.data();
    const uint32_t latch0 = packNormal(m.lamps.pc, m.lamps.ma, m.lamps.mb, m.lamps.ac);
    r.dirty = (m.lampsDirty & kChangePc ? 0xFFu : 0u) | (m.lampsDirty & kChangeMa ? 0xFF00u : 0u) |
              (m.lampsDirty & kChangeMb ? 0xFF0000u : 0u) |
              (m.lampsDirty & kChangeAc ? 0xFF000000u : 0u);
    if (addressGroupsDirty(r.dirty) || !normalLoop<kZeroPage, true>(m, r, breakpoints, latch0))
        normalLoop<kZeroPage, false>(m, r, breakpoints, latch0);
    if (stopAtEveryEnd) r.result = kStepStop;

    const int32_t word = r.word;
    m.pc = r.pc;
    m.ma = r.ma;
    m.mb = r.mb;
    m.ac = r.ac;
    m.ir = word;
    m.c = r.c;
    m.instructionAddress = r.address;
    m.deferPending = (word >> 5) <= kOpJmp && (word & 16);
    m.pcTransferLoaded = r.pcTransferLoaded;
    m.instructionCount = static_cast<int32_t>((m.instructionCount + r.n) & kInstructionCountMask);
    // The count display is redrawn each time the refresh counter passes 897.
    const uint64_t refresh = static_cast<uint64_t>(m.countRefreshCounter) + r.n;
    if (refresh > kCountRefreshLimit) r.changed |= kChangeCount;
    m.countRefreshCounter = static_cast<int32_t>(refresh % (kCountRefreshLimit + 1));
    m.setInstructionLampsOff();
    m.fetchLamp = true;
    m.deferLamp = false;
    m.execLamp = false;
    m.cycleState = kCycleFetch;
    m.t = 0;
    const uint32_t dirty = r.dirty;
    m.lampsDirty |= ((dirty & 0xFF) ? kChangePc : 0u) | ((dirty & 0xFF00) ? kChangeMa : 0u) |
                    ((dirty & 0xFF0000) ? kChangeMb : 0u) | ((dirty >> 24) ? kChangeAc : 0u) |
                    kChangeState;
    m.lamps = LampLatch{r.pc, r.ma, r.mb, r.ac};
    m.changed |= r.changed;
    s.states += s.maxStates - r.budget;
    s.instructions += r.n;
    return r.result;
}

inline int runNormal(Machine& m, Stretch& s) {
    return m.options.zeroPageMode ? runNormalIn<true>(m, s) : runNormalIn<false>(m, s);
}

// WIF instructions the loop runs: all but group 3's module, serial, timer and EEPROM
// instructions, which ioInstruction runs. Undefined numbers are plain idle steps and
// qualify too.
inline constexpr bool wifRunsWhole(int opcode) {
    using namespace wif;
    return opcode < kInputSkip || opcode == kTable || opcode == kInputSkip ||
           opcode == kOutputSkip || opcode == kLineTest || !isValidOpcode(opcode);
}

// The WIF registers an instruction works on, kept in locals for a stretch. The stack, the
// random generator and RAM stay in the machine.
struct WifRegs {
    int32_t pc, ma, mb, ac, c, z, dc, romPointer, h, l;
    bool skip, bank, pcWritten;
    uint32_t changed;
    int32_t mask;  // the machine's address mask, read once
};

[[gnu::always_inline]] inline int wifRam(const WifRegs& r, int32_t word) {
    return (word & 31) + (r.bank ? wif::kBankOffset : 0);
}

[[gnu::always_inline]] inline int32_t wifRead(const Machine& m, const WifRegs& r, int selector,
                                              int32_t word) {
    // A branch per selector: each instruction's handler sees its own few selectors, which
    // predict well, and reads only the operand it needs.
    switch (selector) {
        case 0: return r.ac;
        case 1: return m.ram[wifRam(r, word)];
        case 2: return m.ram[m.ram[0] & 63];
        default: return r.pc & 255;
    }
}

[[gnu::always_inline]] inline void wifWrite(Machine& m, WifRegs& r, int selector, int32_t word,
                                            int32_t value) {
    value &= 255;
    switch (selector) {
        case 0:
            r.ac = value;
            r.changed |= kChangeAc;
            break;
        case 1:
        case 2: {
            const int index = selector == 1 ? wifRam(r, word) : m.ram[0] & 63;
            m.ram[index] = static_cast<uint8_t>(value);
            m.ramChanged |= uint64_t{1} << index;
            r.changed |= kChangeRam;
            break;
        }
        default:
            r.pc = ((r.romPointer & wif::kPageBits) | ((value + 1) & 255)) & r.mask;
            r.pcWritten = true;
            r.changed |= kChangePc;
            break;
    }
}

// One whole WIF instruction of opcode k (not one the engine leaves to the clock path), as
// steps 0..3 of wif_cpu.h do it. Returns true for the halt instruction.
// `sel` is the word's operand selectors, bits 9..6: a constant where the caller has
// specialised on them.
[[gnu::always_inline]] inline bool wifExecute(Machine& m, WifRegs& r, int32_t word, int k,
                                              int sel) {
    using namespace wif;
    const int32_t mask = r.mask;
    auto setPc = [&](int32_t address) {
        r.pc = address & mask;
        r.pcWritten = true;
    };
    constexpr uint32_t kBase =
        kChangeState | kChangeStatus | kChangeMa | kChangeMb | kChangePc | kChangeCycle;
    switch (k >> 4) {
        case 0: {  // literal operations
            r.changed |= kBase;
            if (k == kRandom)
                r.ma = 0;
            else if (k != kDecimalAdjust)
                r.ma = word & 255;
            switch (k) {
                case kLitAdd: {
                    const int32_t sum = r.ma + r.ac;
                    r.dc = ((r.ma & 15) + (r.ac & 15)) > 15;
                    r.z = sum == 0;
                    r.c = sum > 255;
                    r.mb = sum & 255;
                    break;
                }
                case kLitAnd:
                    r.mb = r.ma & r.ac;
                    r.z = r.mb == 0;
                    break;
                case kLitOr:
                    r.mb = r.ma | r.ac;
                    r.z = r.mb == 0;
                    break;
                case kLitLoad: r.mb = r.ma; break;
                case kLitSub: {
                    const int32_t d = r.ac - r.ma;
                    r.dc = (r.ac & 15) - (r.ma & 15) >= 0;
                    r.c = d >= 0;
                    r.mb = d & 255;
                    r.z = r.mb == 0;
                    break;
                }
                case kLitXor:
                    r.mb = r.ma ^ r.ac;
                    r.z = r.mb == 0;
                    break;
                case kLitCompare:
                    if (compareSkips(word, r.ac)) r.skip = true;
                    r.mb = 0;
                    break;
                case kLoadSr:
                    r.mb = m.sr & 255;
                    r.z = r.mb == 0;
                    break;
                case kDecimalAdjust: {
                    const DecimalAdjust d = decimalAdjust(r.ac, r.dc, r.c);
                    r.mb = d.value;
                    r.c = d.carry;
                    break;
                }
                case kProduct:
                    switch (selectorA(word)) {
                        case 0: {
                            const int32_t p = r.ma * r.ac;
                            r.ma = (p >> 8) & 255;
                            r.mb = p & 255;
                            break;
                        }
                        case 1: r.mb = r.h; break;
                        default: r.mb = r.l; break;
                    }
                    break;
                default: r.mb = 0; break;
            }
            switch (k) {
                case kLitNop:
                case kLitCompare: break;
                case kProduct:
                    if (selectorA(word) == 0) {
                        r.h = r.ma;
                        r.l = r.mb;
                        r.changed |= kChangeWifRegs;
                    } else {
                        r.ac = r.mb;
                        r.changed |= kChangeAc;
                    }
                    break;
                case kRandom:
                    r.ac = randomByte(m);
                    r.z = r.ac == 0;
                    r.changed |= kChangeAc;
                    break;
                default:
                    r.ac = r.mb;
                    r.changed |= kChangeAc;
                    break;
            }
            return false;
        }
        case 1: {  // register operations
            r.changed |= kBase;
            r.ma = wifRead(m, r, sel >> 2, word);
            r.mb = wifRead(m, r, sel & 3, word);
            const int32_t a = r.ma, b = r.mb;
            switch (k) {
                case kAdd: {
                    const int32_t sum = a + b;
                    r.dc = ((a & 15) + (b & 15)) > 15;
                    r.z = sum == 0;
                    r.c = sum > 255;
                    r.mb = sum & 255;
                    break;
                }
                case kAnd:
                    r.mb = b & a;
                    r.z = r.mb == 0;
                    break;
                case kClear:
                    r.mb = 0;
                    r.z = 1;
                    break;
                case kDecrement:
                    r.mb = (a - 1) & 255;
                    r.z = r.mb == 0;
                    break;
                case kDecrementSkipZero:
                    r.mb = (a - 1) & 255;
                    if (r.mb == 0) r.skip = true;
                    break;
                case kIncrement:
                    r.mb = (a + 1) & 255;
                    r.z = r.mb == 0;
                    break;
                case kIncrementSkipZero:
                    r.mb = (a + 1) & 255;
                    if (r.mb == 0) r.skip = true;
                    break;
                case kOr:
                    r.mb = b | a;
                    r.z = r.mb == 0;
                    break;
                case kMove:
                    r.mb = a;
                    r.z = r.mb == 0;
                    break;
                case kRotateLeft:
                    r.mb = ((a << 1) & 255) | (r.c ? 1 : 0);
                    r.c = (a >> 7) & 1;
                    break;
                case kRotateRight:
                    r.mb = (a >> 1) | (r.c ? 128 : 0);
                    r.c = a & 1;
                    break;
                case kSubtract: {
                    const int32_t d = b - a;
                    r.dc = (b & 15) - (a & 15) >= 0;
                    r.c = d >= 0;
                    r.mb = d & 255;
                    r.z = r.mb == 0;
                    break;
                }
                case kXor:
                    r.mb = b ^ a;
                    r.z = r.mb == 0;
                    break;
                case kSwapNibbles: r.mb = ((a << 4) | (a >> 4)) & 255; break;
                default:
                    r.mb = a ^ 255;
                    r.z = r.mb == 0;
                    break;  // complement
            }
            const bool toB = !destinationByBit5(k) || (word & 32);
            wifWrite(m, r, toB ? sel & 3 : sel >> 2, word, r.mb);
            return false;
        }
        case 2: {  // control and bit operations
            r.changed |= kBase;
            if (k == kCall || k == kGoto) {
                r.ma = word & 255;
                r.mb = (word >> 8) & 3;
            } else if (k >= kBitSet && k <= kBitTestSkipClear) {
                r.ma = wifRead(m, r, sel >> 2, word);
                r.mb = 1 << ((word >> 5) & 7);
                if (k == kBitClear) r.mb ^= 255;
            } else if (k == kRomPointer) {
                r.ma = (word >> 8) & 1;
                r.mb = word & 255;
            }
            switch (k) {
                case kCall:
                    pushAddress(m, r.pc + 1);
                    r.changed |= kChangeStack;
                    setPc(r.mb * 256 + r.ma);
                    return false;
                case kGoto: setPc(r.mb * 256 + r.ma); return false;
                case kReturn:
                case kReturnLit: {
                    const int32_t top = popAddress(m);
                    r.changed |= kChangeStack;
                    r.ma = top & 255;
                    r.mb = (top >> 8) & 3;
                    if (k == kReturnLit) {
                        r.ac = word & 255;
                        r.changed |= kChangeAc;
                    }
                    setPc(r.mb * 256 + r.ma);
                    return false;
                }
                case kHalt: return true;
                case kFlagTest: {
                    if (word & 14) {
                        const int32_t flag = word & 2 ? r.c : word & 4 ? r.dc : r.z;
                        if ((word & 1) == (flag ? 1 : 0)) r.skip = true;
                    } else if (word & 16) {
                        if ((word & 1) == (r.bank ? 1 : 0)) r.skip = true;
                    }
                    r.ma = r.pc & 255;
                    r.mb = (r.pc >> 8) & 255;
                    return false;
                }
                case kFlagSet:
                    if (word & 2)
                        r.c = word & 1;
                    else if (word & 4)
                        r.dc = word & 1;
                    else if (word & 8)
                        r.z = word & 1;
                    else if (word & 16) {
                        r.bank = word & 1;
                        r.changed |= kChangeWifRegs;
                    }
                    return false;
                case kBitSet: r.mb |= r.ma; break;
                case kBitClear: r.mb &= r.ma; break;
                case kBitToggle: r.mb ^= r.ma; break;
                case kBitTestSkipSet:
                    if (r.ma & r.mb) r.skip = true;
                    return false;
                case kBitTestSkipClear:
                    if (!(r.ma & r.mb)) r.skip = true;
                    return false;
                default:  // ROM pointer
                    if (word & 256) {
                        r.romPointer = ((r.mb * 256) & 1023) | (r.romPointer & 255);
                        r.mb &= 3;
                    } else {
                        r.romPointer = (r.romPointer & kPageBits) | r.mb;
                    }
                    r.changed |= kChangeWifRegs;
                    return false;
            }
            wifWrite(m, r, sel >> 2, word, r.mb);  // the bit set, clear and toggle
            return false;
        }
        default: {  // the table instruction, the flag and line tests
            r.changed |= kChangeState | kChangeStatus | kChangePc | kChangeCycle;
            switch (k) {
                case kTable:
                    r.changed |= kChangeWifRegs;
                    if (tableAccessOn(m, word, r.romPointer, r.ac)) r.changed |= kChangeAc;
                    break;
                case kLineTest:
                    if (lineTestSkips(m, word)) r.skip = true;
                    break;
                default: {
                    const int slot = k == kInputSkip ? inputSlot(word) : outputSlot(word);
                    if (m.bus.slots[slot].flag == 0) r.skip = true;
                    break;
                }
            }
            return false;
        }
    }
}

// One whole WIF instruction of opcode K, a valid one, with the advance of PC.
template <int K>
[[gnu::always_inline]] inline bool wifValidOne(Machine& m, WifRegs& r, int32_t word,
                                               int32_t mask, int sel) {
    r.pcWritten = false;
    r.skip = false;
    const bool halt = wifExecute(m, r, word, K, sel);
    // A skip is a branch, not arithmetic: the next fetch need not wait for what the skip
    // tested (a module's flag, a RAM byte).
    if (!r.pcWritten) {
        if (r.skip) [[unlikely]]
            r.pc = (r.pc + 2) & mask;
        else
            r.pc = (r.pc + 1) & mask;
    }
    return halt;
}

// The threaded loop runs every instruction the engine runs but the numbers that are none:
// their idle steps, which keep the lamps of the instruction before, run in runWif.
inline constexpr bool wifRunsThreaded(int k) {
    return wifRunsWhole(k) && wif::isValidOpcode(k);
}

// Per value of a word's top six bits: the opcode, plus 64 when the engine runs it and 128
// when it is no instruction.
inline constexpr std::array<uint8_t, 64> kWifTop = [] {
    std::array<uint8_t, 64> a{};
    for (int top = 0; top < 64; ++top) {
        const int k = wif::opcodeOf(top << 10);
        a[top] = static_cast<uint8_t>(k | (wifRunsWhole(k) ? 64 : 0) |
                                      (wif::isValidOpcode(k) ? 0 : 128));
    }
    return a;
}();

// The lamp groups packed 16 bits each, so that one register gathers every difference.
static_assert(kMaxMemory <= 0x10000, "a PC lamp value fits its 16 bits");
inline uint64_t packWifLamps(int32_t pc, int32_t ma, int32_t mb, int32_t ac) {
    return static_cast<uint64_t>(pc) | static_cast<uint64_t>(ma) << 16 |
           static_cast<uint64_t>(mb) << 32 | static_cast<uint64_t>(ac) << 48;
}

// What the threaded loop starts from and leaves: one block behind one pointer, so that
// the loop's registers go to the machine's registers.
struct WifThreadedRun {
    WifRegs regs;
    uint64_t latched;   // the lamp latch, packed
    uint64_t differ;    // lamp groups that differed from it at an instruction end, packed
    const uint8_t* breakpoints;
    uint64_t left;      // instructions it may run, at least 1
    int32_t last = -1;  // the last one's word and address
    int32_t address = 0;
    bool halt = false;
};

// Bit t set when the threaded loop runs words whose top six bits are t.
inline constexpr uint64_t kWifThreadedTops = [] {
    uint64_t bits = 0;
    for (int top = 0; top < 64; ++top)
        if (wifRunsThreaded(wif::opcodeOf(top << 10))) bits |= uint64_t{1} << top;
    return bits;
}();

// Runs valid WIF instructions from PC, up to `left` of them, leaving before a breakpoint or
// an instruction it does not run and after a halt. Returns how many ran. Each handler runs
// its instruction and jumps straight to the next one's, so every opcode has a dispatch of
// its own to predict. Only PC, MA, MB, AC, the change flags and the lamp differences go
// from handler to handler in registers; the flags, the table pointer, H, L and the bank
// flag stay in `t`, stored back only by a handler that may have changed them (the compiler
// proves the others unchanged). The last instruction's word, address, skip and PC-written
// flags are taken on the way out.
// Computed gotos are a GNU extension that gcc and clang share.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
[[gnu::noinline]] inline uint64_t wifThreaded(Machine& m, WifThreadedRun& t,
                                              bool testBreakpoint) {
    using wif::kWordMask;
    static const void* const kHandlers[64] = {
#define MIRA_T(T) &&top_##T,
#define MIRA_T8(A)                                                                        \
    MIRA_T(0##A##0) MIRA_T(0##A##1) MIRA_T(0##A##2) MIRA_T(0##A##3) MIRA_T(0##A##4)       \
        MIRA_T(0##A##5) MIRA_T(0##A##6) MIRA_T(0##A##7)
        MIRA_T8(0) MIRA_T8(1) MIRA_T8(2) MIRA_T8(3) MIRA_T8(4) MIRA_T8(5) MIRA_T8(6) MIRA_T8(7)
#undef MIRA_T
    };
    WifRegs& io = t.regs;
    int32_t pc = io.pc, ma = io.ma, mb = io.mb, ac = io.ac;
    uint32_t changed = io.changed;
    uint64_t differ = t.differ, n = t.left;
    int32_t following = m.memory[pc] & kWordMask;
    if ((testBreakpoint && t.breakpoints[pc]) || !(kWifThreadedTops >> (following >> 10) & 1))
        return 0;
    goto *kHandlers[following >> 10];
#define MIRA_KEEP(f) \
    if (!__builtin_constant_p(r.f == kept##f) || r.f != kept##f) io.f = r.f;
#define MIRA_T(T)                                                                        \
    top_##T:                                                                             \
    if constexpr (!wifRunsThreaded(wif::opcodeOf(T << 10))) {                            \
        goto leave;                                                                      \
    } else {                                                                             \
        constexpr int K = wif::opcodeOf(T << 10);                                        \
        const int32_t word = following, from = pc;                                       \
        const int32_t keptc = io.c, keptz = io.z, keptdc = io.dc;                        \
        const int32_t keptromPointer = io.romPointer, kepth = io.h, keptl = io.l;        \
        const bool keptbank = io.bank;                                                   \
        WifRegs r{pc,    ma,    mb,    ac,       keptc, keptz,   keptdc, keptromPointer, \
                  kepth, keptl, false, keptbank, false, changed, io.mask};               \
        bool halted;                                                                     \
        if constexpr (K >= wif::kAdd && K <= wif::kComplement) {                         \
            /* A copy per B selector, the one most operations write. */                  \
            const int a = (word >> 6) & 12;                                              \
            switch ((word >> 6) & 3) {                                                   \
                case 0: halted = wifValidOne<K>(m, r, word, r.mask, a); break;           \
                case 1: halted = wifValidOne<K>(m, r, word, r.mask, a | 1); break;       \
                case 2: halted = wifValidOne<K>(m, r, word, r.mask, a | 2); break;       \
                default: halted = wifValidOne<K>(m, r, word, r.mask, a | 3); break;      \
            }                                                                            \
        } else {                                                                         \
            halted = wifValidOne<K>(m, r, word, r.mask, (word >> 6) & 15);               \
        }                                                                                \
        pc = r.pc;                                                                       \
        ma = r.ma;                                                                       \
        mb = r.mb;                                                                       \
        ac = r.ac;                                                                       \
        changed = r.changed;                                                             \
        MIRA_KEEP(c)                                                                     \
        MIRA_KEEP(z)                                                                     \
        MIRA_KEEP(dc)                                                                    \
        MIRA_KEEP(romPointer)                                                            \
        MIRA_KEEP(h)                                                                     \
        MIRA_KEEP(l)                                                                     \
        MIRA_KEEP(bank)                                                                  \
        differ |= packWifLamps(pc, ma, mb, ac) ^ t.latched;                              \
        if (--n != 0 && !halted) {                                                       \
            following = m.memory[pc] & kWordMask;                                        \
            if (!t.breakpoints[pc] && (kWifThreadedTops >> (following >> 10) & 1))      \
                goto *kHandlers[following >> 10];                                        \
        }                                                                                \
        t.last = word;                                                                   \
        t.address = from;                                                                \
        t.halt = halted;                                                                 \
        io.skip = r.skip;                                                                \
        io.pcWritten = r.pcWritten;                                                      \
        goto leave;                                                                      \
    }
    MIRA_T8(0) MIRA_T8(1) MIRA_T8(2) MIRA_T8(3) MIRA_T8(4) MIRA_T8(5) MIRA_T8(6) MIRA_T8(7)
#undef MIRA_T
#undef MIRA_T8
#undef MIRA_KEEP
leave:
    io.pc = pc;
    io.ma = ma;
    io.mb = mb;
    io.ac = ac;
    io.changed = changed;
    t.differ = differ;
    return t.left - n;
}
#pragma GCC diagnostic pop

// Runs whole WIF instructions from an instruction boundary; results as runNormal.
inline int runWif(Machine& m, Stretch& s) {
    using namespace wif;
    if (m.cycleState != kCycleExecute || m.t != 0 || s.maxInstructions == 0) return kStepContinue;
    const int32_t mask = m.addressMask;
    const int32_t* memory = m.memory.data();
    {
        const int top = kWifTop[(memory[m.pc & mask] & kWordMask) >> 10];
        const int k = top & 63;
        if (!(top & 64) || s.maxStates < uint64_t(kWifStates)) {
            // An instruction that calls a module, the serial port or a timer, or an I/O
            // instruction a timer falls inside, runs alone. Here is the line to the clock
            // path: any other instruction a timer falls inside is left to it.
            if (k >= kInputSkip && !(top & 128) &&
                s.limitStates >= uint64_t(instructionStates(k)))
                return ioInstruction<true>(m, s);
            return kStepContinue;
        }
    }
    m.pc &= mask;  // as the instruction's start does, before the breakpoint test
    if (m.breakpointStop()) {
        s.states += 1;  // the step that makes the test
        return kStepBreakpoint;
    }
    const bool stopAtEveryEnd = normal::stopRequested(m);
    const uint64_t maxN =
        stopAtEveryEnd ? 1 : std::min(s.maxInstructions, s.maxStates / kWifStates);
    // Lamp groups as in runNormal; every latch of a WIF instruction holds its end values.
    const LampLatch latch0 = m.lamps;
    WifThreadedRun t{
        WifRegs{m.pc, m.ma, m.mb, m.ac, m.c, m.z, m.dc, m.romPointer, m.h, m.l, m.skip,
                m.bankFlag, m.wifPcWritten, 0, mask},
        packWifLamps(latch0.pc, latch0.ma, latch0.mb, latch0.ac),
        packWifLamps(m.lampsDirty & kChangePc ? 1 : 0, m.lampsDirty & kChangeMa ? 1 : 0,
                     m.lampsDirty & kChangeMb ? 1 : 0, 0),
        !m.options.ignoreBreakpoints && m.continuous() ? m.breakpoints.data()
                                                       : kNoBreakpoints.data(),
        maxN};
    WifRegs& r = t.regs;
    int32_t word = 0, k = 0, validWord = -1, address = 0;
    uint64_t n = 0;
    int result = kStepInstructionEnd;
    for (;;) {
        // The first instruction's breakpoint test is made above.
        t.left = maxN - n;
        const uint64_t ran = wifThreaded(m, t, n > 0);
        if (ran) {
            n += ran;
            word = t.last;
            address = t.address;
            k = opcodeOf(word);
            validWord = word;
        }
        if (t.halt) {
            result = kStepStop;
            break;
        }
        if (n >= maxN) break;
        const int32_t next = memory[r.pc] & kWordMask;
        const int nextTop = kWifTop[next >> 10];
        if (!(nextTop & 64) || (n > 0 && t.breakpoints[r.pc])) break;
        // The threaded loop left before a number that is no instruction: its idle steps
        // advance PC and leave the skip flag and the instruction lamps as they were.
        word = next;
        k = nextTop & 63;
        address = r.pc;
        r.pc = (r.pc + 1) & mask;
        r.pcWritten = false;
        r.changed |= kChangePc | kChangeState | kChangeCycle;
        t.differ |= packWifLamps(r.pc, r.ma, r.mb, r.ac) ^ t.latched;
        if (++n >= maxN) break;
    }
    if (stopAtEveryEnd) result = kStepStop;

    m.pc = r.pc;
    m.ma = r.ma;
    m.mb = r.mb;
    m.ac = r.ac;
    m.c = r.c;
    m.z = r.z;
    m.dc = r.dc;
    m.romPointer = r.romPointer;
    m.h = r.h;
    m.l = r.l;
    m.skip = r.skip;
    m.bankFlag = r.bank;
    m.wifPcWritten = r.pcWritten;
    m.instructionAddress = address;
    m.wifWord = word;
    m.wifOpcode = k;
    if (validWord >= 0) setInstructionLamps(m, validWord, opcodeOf(validWord));
    uint32_t changed = r.changed;
    m.instructionCount = static_cast<int32_t>((m.instructionCount + n) & kInstructionCountMask);
    const uint64_t refresh = static_cast<uint64_t>(m.countRefreshCounter) + n;
    if (refresh > kCountRefreshLimit) changed |= kChangeCount;
    m.countRefreshCounter = static_cast<int32_t>(refresh % (kCountRefreshLimit + 1));
    m.fetchLamp = true;
    m.deferLamp = false;
    m.execLamp = false;
    m.t = 0;
    const uint64_t differ = t.differ;
    m.lampsDirty |= (differ & 0xFFFF ? kChangePc : 0u) | (differ >> 16 & 0xFFFF ? kChangeMa : 0u) |
                    (differ >> 32 & 0xFFFF ? kChangeMb : 0u) | (differ >> 48 ? kChangeAc : 0u) |
                    kChangeState;
    m.lamps = LampLatch{r.pc, r.ma, r.mb, r.ac};
    m.changed |= changed;
    s.states += n * kWifStates;
    s.instructions += n;
    return result;
}

}  // namespace mira::core::engine
