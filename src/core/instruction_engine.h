// The instruction engine: whole instructions at a time for runs that nobody watches clock
// by clock. From an instruction boundary it leaves the machine exactly as the clock-state
// steps leave it at the same instruction end: registers, flags, memory, the changed-word
// list, the count and its refresh counter, the lamp latch with its dirty groups and the
// items views must redraw. Only the serial channels are not kept: every instruction loads a
// channel before it shifts it, so their contents at an instruction end are never read.
//
// Instructions that talk to a module, a timer, the serial port or the EEPROM (Normal IOT;
// WIF group 3 except the table instruction) are left to the clock-state steps, as are
// breakpoints after the first instruction of a stretch, so that every rule about them is
// the clock path's own.
//
// Virtual time. A Normal instruction takes 48 clock states (72 with a defer cycle), a WIF
// instruction 4; one clock state is 1 µs. The caller gives a stretch the number of clock
// states it may use: up to the run's state limit and ending strictly before the next timer
// falls due. The engine only runs an instruction that fits whole, adds its states to the
// stretch's count and leaves the clock to the caller, which moves it on by that count at the
// stretch's end. No timer can fire and no instruction in a stretch starts or reads one, so
// the clock, every timer and every module see the same times as on the clock path.
#pragma once

#include <cstdint>

#include "machine.h"
#include "normal_cpu.h"
#include "wif_cpu.h"

namespace mira::core::engine {

struct Stretch {
    // Limits given by the caller.
    uint64_t maxStates = 0;
    uint64_t maxInstructions = 0;
    // What ran.
    uint64_t states = 0;
    uint64_t instructions = 0;
};

inline constexpr int kNormalStates = 2 * (normal::kLastClockState + 1);
inline constexpr int kNormalDeferStates = 3 * (normal::kLastClockState + 1);
inline constexpr int kWifStates = wif::kLastStep + 1;

// Runs whole Normal instructions from the start of a fetch cycle. Returns kStepContinue
// when it ran none (not at a boundary, the next one is left to the clock path, or it does
// not fit), kStepBreakpoint when the first instruction stops on a breakpoint (one clock
// state, as on the clock path), else the result of the last instruction run: kStepInstructionEnd or kStepStop.
// The ends of all earlier instructions were plain ends.
inline int runNormal(Machine& m, Stretch& s) {
    using namespace normal;
    if (m.cycleState != kCycleFetch || m.t != 0 || s.maxInstructions == 0) return kStepContinue;
    {
        const int op = (m.memory[m.pc] & 255) >> 5;
        const bool indirect = op <= kOpJmp && (m.memory[m.pc] & 16);
        if (op == kOpIot || s.maxStates < uint64_t(indirect ? kNormalDeferStates : kNormalStates))
            return kStepContinue;
    }
    if (m.breakpointStop()) {
        s.states += 1;  // the fetch's first clock state makes the test
        return kStepBreakpoint;
    }

    int32_t pc = m.pc, ma = m.ma, mb = m.mb, ac = m.ac, ir = m.ir, c = m.c;
    int32_t instructionAddress = m.instructionAddress;
    bool deferPending = m.deferPending, pcTransferLoaded = m.pcTransferLoaded;
    const bool zeroPage = m.options.zeroPageMode;
    const bool stopAtEveryEnd = stopRequested(m);
    const bool breakpointsOn = !m.options.ignoreBreakpoints && m.continuous();
    const uint8_t* breakpoints = m.breakpoints.data();
    int32_t* memory = m.memory.data();
    // The lamp latch at the stretch's start: a group is dirty at the end when any value
    // latched in between differs from it (the first such latch is the one that marks it).
    const int32_t lpc = m.lamps.pc, lma = m.lamps.ma, lmb = m.lamps.mb, lac = m.lamps.ac;
    int32_t dpc = 0, dma = 0, dmb = 0, dac = ac ^ lac;
    uint32_t changed = kChangePc | kChangeMa | kChangeMb | kChangeStatus | kChangeIr |
                       kChangeState | kChangeCycle;
    uint64_t states = 0, n = 0;
    int result = kStepInstructionEnd;

    for (;;) {
        const int32_t word = memory[pc] & 255;
        const int op = word >> 5;
        const int32_t pc1 = (pc + 1) & 255;
        instructionAddress = pc;
        ir = word;
        // Fetch: T9 latches PC+1 and MA = PC, T21 the word, T23 all with MB = the address.
        int32_t ea = effectiveAddress(word, pc, word, zeroPage);
        dpc |= pc1 ^ lpc;
        dma |= pc ^ lma;
        dmb |= (word ^ lmb) | (ea ^ lmb);
        deferPending = op <= kOpJmp && (word & 16);
        if (deferPending) {
            // Defer: MA = the pointer, MB = the word it holds; both latched at T21/T23.
            dma |= ea ^ lma;
            ea = memory[ea] & 255;
            dmb |= ea ^ lmb;
            states += kNormalDeferStates;
        } else {
            states += kNormalStates;
        }
        pc = pc1;
        switch (op) {
            case kOpAnd:
                ma = ea;
                mb = memory[ea] & 255;
                ac &= mb;
                c = 0;
                changed |= kChangeAc;
                break;
            case kOpTad:
                ma = ea;
                mb = memory[ea] & 255;
                ac = (ac + mb) & 255;
                c = 0;
                changed |= kChangeAc;
                break;
            case kOpIsz:
                ma = ea;
                mb = ((memory[ea] & 255) + 1) & 255;
                c = mb == 0;
                pc = (pc + c) & 255;
                memory[ea] = mb;
                m.markMemoryChanged(ea);
                changed |= kChangeAc;
                break;
            case kOpDca:
                ma = ea;
                mb = ac;
                memory[ea] = ac;
                m.markMemoryChanged(ea);
                ac = 0;
                c = 0;
                changed |= kChangeAc;
                break;
            case kOpJmb:
                ma = ea;
                mb = pc1;
                memory[ea] = pc1;
                m.markMemoryChanged(ea);
                pc = (ea + 1) & 255;
                c = 1;
                changed |= kChangeAc;
                break;
            case kOpJmp:
                ma = ea;
                mb = ea;
                pc = ea;
                c = 0;
                changed |= kChangeAc;
                break;
            default: {  // OPR (IOT never gets here)
                ma = 0;
                mb = word;
                if (!(word & 16)) {
                    int32_t carry = 0;
                    ac = group1Result(word, ac, carry);
                    c = 0;  // T12 clears the carry group 1 set at T1
                    pcTransferLoaded = false;
                    changed |= kChangeAc;
                } else {
                    c = ((word & 8) && ac == 0) || ((word & 4) && (ac & 128));
                    if (word & 2) {
                        ac = ((ac >> 1) | ((ac & 1) << 7)) & 255;
                        changed |= kChangeAc;
                    }
                    pcTransferLoaded = (word & 12) != 0;
                    if (pcTransferLoaded) pc = (pc + c) & 255;
                    if (word & 1) {
                        changed |= kChangeCount;
                        result = kStepStop;
                    }
                }
                break;
            }
        }
        // The end latches every group; the OPR's T9 latch of AC holds a value latched here
        // or at the fetch.
        dpc |= pc ^ lpc;
        dma |= ma ^ lma;
        dmb |= mb ^ lmb;
        dac |= ac ^ lac;
        ++n;
        if (result == kStepStop || stopAtEveryEnd) {
            result = kStepStop;
            break;
        }
        if (n >= s.maxInstructions) break;
        const int32_t next = memory[pc] & 255;
        if ((next >> 5) == kOpIot || (breakpointsOn && breakpoints[pc])) break;
        const bool nextDefers = (next >> 5) <= kOpJmp && (next & 16);
        if (states + uint64_t(nextDefers ? kNormalDeferStates : kNormalStates) > s.maxStates) break;
    }

    m.pc = pc;
    m.ma = ma;
    m.mb = mb;
    m.ac = ac;
    m.ir = ir;
    m.c = c;
    m.instructionAddress = instructionAddress;
    m.deferPending = deferPending;
    m.pcTransferLoaded = pcTransferLoaded;
    m.instructionCount = static_cast<int32_t>((m.instructionCount + n) & kInstructionCountMask);
    // The count display is redrawn each time the refresh counter passes 897.
    const uint64_t refresh = static_cast<uint64_t>(m.countRefreshCounter) + n;
    if (refresh > kCountRefreshLimit) changed |= kChangeCount;
    m.countRefreshCounter = static_cast<int32_t>(refresh % (kCountRefreshLimit + 1));
    m.setInstructionLampsOff();
    m.fetchLamp = true;
    m.deferLamp = false;
    m.execLamp = false;
    m.cycleState = kCycleFetch;
    m.t = 0;
    m.lampsDirty |= (dpc ? kChangePc : 0u) | (dma ? kChangeMa : 0u) | (dmb ? kChangeMb : 0u) |
                    (dac ? kChangeAc : 0u) | kChangeState;
    m.lamps = LampLatch{pc, ma, mb, ac};
    m.changed |= changed;
    s.states += states;
    s.instructions += n;
    return result;
}

// WIF instructions the engine runs itself: all but group 3's module, serial, timer and
// EEPROM instructions. Undefined numbers are plain idle steps and qualify too.
inline bool wifRunsWhole(int opcode) {
    return opcode < wif::kInputSkip || opcode == wif::kTable || !wif::isValidOpcode(opcode);
}

// One whole WIF instruction after its start (word latched, counted, lamps set): the group
// steps with constant T, without the per-step dispatch. The DEFER and EXEC lamps that steps
// 1 and 2 light are put out again by the last step, so they are left alone.
inline int wifWhole(Machine& m) {
    using namespace wif;
    const int k = m.wifOpcode;
    if (!isValidOpcode(k)) {
        m.pc = (m.pc + 1) & m.addressMask;
        return finish(m, false);
    }
    switch (k >> 4) {
        case 0:
            literalStep(m, 1);
            literalStep(m, 2);
            return literalStep(m, kLastStep);
        case 1:
            registerStep(m, 1);
            registerStep(m, 2);
            return registerStep(m, kLastStep);
        case 2:
            controlStep(m, 1);
            controlStep(m, 2);
            return controlStep(m, kLastStep);
        default:  // the table instruction
            tableAccess(m);
            advancePc(m);
            return finish(m, false);
    }
}

// Runs whole WIF instructions from an instruction boundary; results as runNormal.
inline int runWif(Machine& m, Stretch& s) {
    using namespace wif;
    if (m.cycleState != kCycleExecute || m.t != 0 || s.maxInstructions == 0) return kStepContinue;
    const int32_t mask = m.addressMask;
    const bool breakpointsOn = !m.options.ignoreBreakpoints && m.continuous();
    uint64_t n = 0;
    int result = kStepContinue;
    for (;;) {
        const int32_t pc = m.pc & mask;
        if (!wifRunsWhole(opcodeOf(m.memory[pc] & kWordMask)) ||
            s.states + kWifStates > s.maxStates)
            break;
        if (n > 0 && breakpointsOn && m.breakpoints[pc]) break;
        if (startInstruction(m) == kStepBreakpoint) {
            s.states += 1;  // the step that makes the test
            return kStepBreakpoint;
        }
        result = wifWhole(m);
        s.states += kWifStates;
        ++n;
        if (result == kStepStop || n >= s.maxInstructions) break;
    }
    s.instructions += n;
    return result;
}

}  // namespace mira::core::engine
