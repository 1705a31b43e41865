// Normal-mode execution, one clock state per call: the bit-serial fetch, defer and
// execute cycles and the panel's deposit and examine cycles. This is the hottest code in
// the emulator: it is inline so the run loops can fold it in, and it neither allocates nor
// makes virtual calls except on the few clock states where an IOT talks to a module.
#pragma once

#include "machine.h"

namespace mira::core {

enum StepResult : int {
    kStepContinue = 0,
    kStepInstructionEnd = 1,  // an instruction ended and the run goes on
    kStepStop = 2,            // an instruction ended with a stop condition
    kStepBreakpoint = 3,      // stopped before a fetch on a breakpoint
    kStepPanelCycleEnd = 4,   // a deposit or examine cycle ended
};

namespace normal {

inline constexpr int kOpAnd = 0, kOpTad = 1, kOpIsz = 2, kOpDca = 3, kOpJmb = 4, kOpJmp = 5,
                     kOpIot = 6, kOpOpr = 7;
inline constexpr int kLastClockState = 23;
// Clock state at which the deposit and examine cycles leave T, so further steps do nothing.
inline constexpr int kPanelCycleDone = 24;

// The effective address formed at the end of fetch; `ma` holds the instruction's address.
inline int32_t effectiveAddress(int32_t instruction, int32_t ma, int32_t mb, bool zeroPage) {
    const int op = instruction >> 5;
    if (op > kOpJmp) return mb;
    // Zero page mode reaches words 0..7 of page 0 for the data instructions and for an
    // indirect JMB; a direct JMB and JMP always stay in the current page.
    if (zeroPage && !(instruction & 8) && (op <= kOpDca || (op == kOpJmb && (instruction & 16))))
        return instruction & 15;
    return (ma & 240) + (instruction & 15);
}

// Group 1 micro-operations on a working copy of AC, in the hardware's order.
inline int32_t group1Result(int32_t instruction, int32_t ac, int32_t& carry) {
    int32_t v = ac;
    if (instruction & 8) v = 0;
    if (instruction & 4) v ^= 255;
    if (instruction & 2) v = ((v << 1) | (v >> 7)) & 255;
    if (instruction & 1) {
        v = (v + 1) & 255;
        carry = 1;
    }
    return v;
}

inline bool stopRequested(const Machine& m) {
    return m.switches[kSwitchHalt] != 0 || m.switches[kSwitchSingleCont] == 0;
}

inline int endOfInstruction(Machine& m, bool halt) {
    m.setInstructionLampsOff();
    m.execLamp = false;
    m.deferLamp = false;
    m.fetchLamp = true;
    m.t = 0;
    m.cycleState = kCycleFetch;
    m.latchLamps(kLampGroupsAll);
    m.changed |= kChangeState | kChangeCycle;
    return (halt || stopRequested(m)) ? kStepStop : kStepInstructionEnd;
}

inline void enterExecute(Machine& m) {
    m.execLamp = true;
    m.instructionLamps[m.ir >> 5] = true;
    m.cycleState = kCycleExecute;
}

inline int fetchStep(Machine& m) {
    switch (m.t) {
        case 0: {
            if (m.breakpoints[m.pc] && !m.options.ignoreBreakpoints && m.continuous() &&
                m.lastBreakStop < 0) {
                m.lastBreakStop = m.pc;
                return kStepBreakpoint;
            }
            m.lastBreakStop = -1;
            m.ma = 0;
            m.ir = 0;
            m.c = 0;
            m.fetchLamp = true;
            m.incrementInstructionCount();
            if (m.liveDisplay) {
                m.changed |= kChangeCount;
            } else if (++m.countRefreshCounter > kCountRefreshLimit) {
                m.countRefreshCounter = 0;
                m.changed |= kChangeCount;
            }
            break;
        }
        case 1:
            m.c = 1;
            m.instructionAddress = m.pc;
            m.chA.load(m.ma, m.pc);
            m.chB.load(m.pc, (m.pc + 1) & 255);
            m.changed |= kChangePc | kChangeMa | kChangeStatus;
            break;
        case 2: case 3: case 4: case 5: case 6: case 7: case 8:
            m.ma = m.chA.shift();
            m.pc = m.chB.shift();
            break;
        case 9:
            m.ma = m.chA.shift();
            m.pc = m.chB.shift();
            m.latchLamps(kChangePc | kChangeMa);
            break;
        case 12:
            m.c = 0;
            m.chA.load(m.mb, m.memory[m.ma]);
            m.changed |= kChangeMb;
            break;
        case 14: case 15: case 16: case 17: case 18: case 19: case 20:
            m.mb = m.chA.shift();
            break;
        case 21:
            m.mb = m.chA.shift();
            m.ir = m.mb;
            m.latchLamps(kChangeMb);
            m.changed |= kChangeIr;
            break;
        case kLastClockState: {
            const int op = m.ir >> 5;
            m.deferPending = op <= kOpJmp && (m.mb & 16);
            m.deferLamp = m.deferPending;
            m.mb = effectiveAddress(m.ir, m.ma, m.mb, m.options.zeroPageMode);
            m.fetchLamp = false;
            if (m.deferPending)
                m.cycleState = kCycleDefer;
            else
                enterExecute(m);
            m.t = 0;
            m.latchLamps(kLampGroupsAll);
            m.changed |= kChangeState | kChangeCycle;
            return kStepContinue;
        }
        default: break;
    }
    ++m.t;
    return kStepContinue;
}

inline int deferStep(Machine& m) {
    switch (m.t) {
        case 0:
            m.ma = 0;
            m.c = 0;
            break;
        case 1:
            m.ma = m.mb;
            m.changed |= kChangeMa;
            break;
        case 12:
            m.c = 0;
            m.chA.load(m.mb, m.memory[m.ma]);
            m.changed |= kChangeMb;
            break;
        case 14: case 15: case 16: case 17: case 18: case 19: case 20:
            m.mb = m.chA.shift();
            break;
        case 21:
            m.mb = m.chA.shift();
            m.latchLamps(kChangeMb);
            break;
        case kLastClockState:
            m.deferLamp = false;
            enterExecute(m);
            m.t = 0;
            m.latchLamps(kLampGroupsAll);
            m.changed |= kChangeState | kChangeCycle;
            return kStepContinue;
        default: break;
    }
    ++m.t;
    return kStepContinue;
}

// Memory reference instructions, opcodes 0..5.
inline int memoryReferenceStep(Machine& m, int op) {
    switch (m.t) {
        case 0:
            m.ma = 0;
            m.c = 0;
            break;
        case 1: {
            m.ma = m.mb;
            const int32_t word = m.memory[m.ma] & 255;
            switch (op) {
                case kOpAnd:
                    m.chA.load(m.mb, word);
                    m.chB.load(m.ac, m.ac & word);
                    break;
                case kOpTad:
                    m.chA.load(m.mb, word);
                    m.chB.load(m.ac, (m.ac + word) & 255);
                    break;
                case kOpIsz:
                    m.c = 1;
                    m.chA.load(m.mb, (word + 1) & 255);
                    break;
                case kOpDca:
                    m.chA.load(m.ac, 0);
                    m.chB.load(m.mb, m.ac);
                    m.chC.load(m.memory[m.ma], m.ac);
                    break;
                case kOpJmb:
                    m.chA.load(m.mb, m.pc);
                    m.chB.load(m.memory[m.ma], m.pc);
                    m.chC.load(m.pc, m.pc);
                    break;
                default: break;
            }
            m.changed |= kChangeMa | kChangeMb | kChangeAc | kChangeStatus;
            break;
        }
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9:
            switch (op) {
                case kOpAnd:
                case kOpTad:
                    m.mb = m.chA.shift();
                    m.ac = m.chB.shift();
                    break;
                case kOpIsz:
                    m.mb = m.chA.shift();
                    break;
                case kOpDca:
                    m.ac = m.chA.shift();
                    m.mb = m.chB.shift();
                    m.writeMemory(m.ma, m.chC.shift());
                    break;
                case kOpJmb:
                    m.mb = m.chA.shift();
                    m.writeMemory(m.ma, m.chB.shift());
                    m.pc = m.chC.shift();
                    break;
                default: break;
            }
            break;
        case 12:
            m.c = 0;
            break;
        case 13:
            switch (op) {
                case kOpIsz:
                    m.c = m.mb == 0;
                    m.chA.load(m.pc, m.mb == 0 ? (m.pc + 1) & 255 : m.pc);
                    m.chB.load(m.memory[m.ma], m.mb);
                    break;
                case kOpJmb:
                    m.c = 1;
                    m.chA.load(m.pc, (m.ma + 1) & 255);
                    break;
                case kOpJmp:
                    m.c = 0;
                    m.chA.load(m.pc, m.ma);
                    break;
                default: break;
            }
            m.changed |= kChangePc | kChangeStatus;
            break;
        case 14: case 15: case 16: case 17: case 18: case 19: case 20: case 21:
            if (op == kOpIsz) {
                m.writeMemory(m.ma, m.chB.shift());
                m.pc = m.chA.shift();
            } else if (op >= kOpJmb) {
                m.pc = m.chA.shift();
            }
            break;
        case kLastClockState:
            return endOfInstruction(m, false);
        default: break;
    }
    ++m.t;
    return kStepContinue;
}

inline void loadFlagSkip(Machine& m, int slot) {
    if (m.bus.slots[slot].flag == 0) {
        m.c = 1;
        m.chA.load(m.pc, (m.pc + 1) & 255);
    } else {
        m.c = 0;
        m.chA.load(m.pc, m.pc);
    }
    m.pcTransferLoaded = true;
}

inline int iotStep(Machine& m) {
    const int32_t ir = m.ir;
    const bool output = ir & 16;
    const int slot = output ? kFirstOutputSlot + ((ir >> 3) & 1) : (ir >> 3) & 1;
    const bool transfer = ir & 2, pulse = ir & 4, skipTest = ir & 1;
    // The output reset pulse sits at T1/T2 or at T13/T14; the input pulse is always late.
    const bool earlyPulse = output && pulse && m.options.outputResetMode == 0;
    const bool latePulse = pulse && !earlyPulse;
    DeviceSlot& s = m.bus.slots[slot];
    switch (m.t) {
        case 0:
            m.ma = 0;
            m.c = 0;
            m.pcTransferLoaded = false;
            break;
        case 1:
            if (output) {
                if (earlyPulse) m.bus.SetOutputResetFlag(slot, 0);
                m.chA.load(s.output, m.ac);
                m.chB.load(m.ac, 0);
            } else if (transfer) {
                m.chA.load(m.ac, m.bus.readInput(slot));
            }
            break;
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9:
            if (earlyPulse && m.t == 2) m.bus.SetOutputResetFlag(slot, 1);
            if (transfer) {
                if (output) {
                    s.output = m.chA.shift();
                    m.ac = m.chB.shift();
                    if (m.t == 9) m.bus.notifyOutput(slot);
                } else {
                    m.ac = m.chA.shift();
                    if (s.type == kModuleKeypad && s.device) s.device->shiftInputData();
                }
                m.changed |= kChangeAc | kChangeSlots;
            }
            break;
        case 12:
            m.c = 0;
            break;
        case 13:
            if (skipTest) loadFlagSkip(m, slot);
            if (latePulse) {
                if (output)
                    m.bus.SetOutputResetFlag(slot, 0);
                else
                    m.bus.SetModuleInFlag(slot, 0);
            }
            m.changed |= kChangeStatus;
            break;
        case 14: case 15: case 16: case 17: case 18: case 19: case 20: case 21:
            if (m.t == 14 && latePulse) {
                if (output)
                    m.bus.SetOutputResetFlag(slot, 1);
                else
                    m.bus.SetModuleInFlag(slot, 1);
            }
            if (m.pcTransferLoaded) {
                m.pc = m.chA.shift();
                m.changed |= kChangePc;
            }
            break;
        case kLastClockState:
            return endOfInstruction(m, false);
        default: break;
    }
    ++m.t;
    return kStepContinue;
}

inline int oprStep(Machine& m) {
    const int32_t ir = m.ir;
    const bool group2 = ir & 16;
    switch (m.t) {
        case 0:
            m.ma = 0;
            m.c = 0;
            m.pcTransferLoaded = false;
            break;
        case 1:
            if (!group2) {
                m.chA.load(m.ac, group1Result(ir, m.ac, m.c));
                m.changed |= kChangeAc | kChangeStatus;
            }
            break;
        case 2: case 3: case 4: case 5: case 6: case 7: case 8:
            if (!group2 && (ir & 15)) m.ac = m.chA.shift();
            break;
        case 9:
            if (!group2 && (ir & 15)) m.ac = m.chA.shift();
            m.latchLamps(kChangeAc);
            break;
        case 12:
            m.c = 0;
            break;
        case 13:
            if (group2) {
                // The skip conditions see AC before a rotate in the same instruction, and
                // the skip still applies with the rotate: the hardware would otherwise
                // shift a stale channel into PC, which no program can use.
                if ((ir & 8) && m.ac == 0) m.c = 1;
                if ((ir & 4) && (m.ac & 128)) m.c = 1;
                if (ir & 2) {
                    m.ac = ((m.ac >> 1) | ((m.ac & 1) << 7)) & 255;
                    m.changed |= kChangeAc;
                }
                if (ir & 12) {
                    m.chA.load(m.pc, m.c ? (m.pc + 1) & 255 : m.pc);
                    m.pcTransferLoaded = true;
                }
                m.changed |= kChangeStatus;
            }
            break;
        case 14: case 15: case 16: case 17: case 18: case 19: case 20: case 21:
            if (m.pcTransferLoaded) {
                m.pc = m.chA.shift();
                m.changed |= kChangePc;
            }
            break;
        case kLastClockState: {
            const bool halt = group2 && (ir & 1);
            if (halt) m.changed |= kChangeCount;
            return endOfInstruction(m, halt);
        }
        default: break;
    }
    ++m.t;
    return kStepContinue;
}

inline int executeStep(Machine& m) {
    const int op = m.ir >> 5;
    if (op <= kOpJmp) return memoryReferenceStep(m, op);
    if (op == kOpIot) return iotStep(m);
    return oprStep(m);
}

// Deposit (memory[PC] = SR) and examine (MB = memory[PC]); both leave PC one past.
inline int panelCycleStep(Machine& m, bool deposit) {
    switch (m.t) {
        case 0:
            m.ma = 0;
            m.run = true;
            m.fetchLamp = false;
            m.changed |= kChangeState;
            break;
        case 1:
            m.c = 1;
            m.chA.load(m.ma, m.pc);
            m.chB.load(m.pc, (m.pc + 1) & 255);
            m.changed |= kChangePc | kChangeMa;
            break;
        case 2: case 3: case 4: case 5: case 6: case 7: case 8:
            m.ma = m.chA.shift();
            m.pc = m.chB.shift();
            break;
        case 9:
            m.ma = m.chA.shift();
            m.pc = m.chB.shift();
            m.latchLamps(kChangePc | kChangeMa);
            break;
        case 12:
            m.c = 0;
            if (!deposit) m.chA.load(m.mb, m.memory[m.ma]);
            break;
        case 13:
            if (deposit) {
                m.mb = m.sr;
                m.memory[m.ma] = m.sr;
                m.observer().memoryWordChanged(m.ma);
                m.chA.load(m.mb, m.mb);
            }
            m.changed |= kChangeMb;
            break;
        case 14: case 15: case 16: case 17: case 18: case 19: case 20: case 21:
            m.mb = m.chA.shift();
            break;
        case kLastClockState:
            m.run = false;
            m.fetchLamp = true;
            m.execLamp = false;
            m.t = kPanelCycleDone;
            m.latchLamps(kLampGroupsAll);
            m.changed |= kChangeState | kChangeCycle;
            return kStepPanelCycleEnd;
        default:
            if (m.t > kLastClockState) return kStepContinue;
            break;
    }
    ++m.t;
    return kStepContinue;
}

// One clock state in Normal mode.
inline int step(Machine& m) {
    switch (m.cycleState) {
        case kCycleFetch: return fetchStep(m);
        case kCycleExecute: return executeStep(m);
        case kCycleDefer: return deferStep(m);
        case kCycleDeposit: return panelCycleStep(m, true);
        case kCycleExamine: return panelCycleStep(m, false);
        default: return kStepContinue;
    }
}

}  // namespace normal
}  // namespace mira::core
