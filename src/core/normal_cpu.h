// Normal-mode execution, one clock state per call: the bit-serial fetch, defer and
// execute cycles and the panel's deposit and examine cycles. This is the hottest code in
// the emulator: it is inline so the run loops can fold it in, and it neither allocates nor
// makes virtual calls except on the few clock states where an IOT talks to a module.
#pragma once

#include <type_traits>
#include <utility>

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

// Each clock state of each cycle is one function template instance. A single step picks
// the instance by T; a whole cycle runs the 24 instances in a row with no dispatch between
// them, which is what makes fast running cheap. Both paths run the same code.

// Runs clock state T of cycle `Cycle`, leaving T at the next state.
#define MIRA_NEXT_STATE(T) \
    m.t = (T) + 1;         \
    return kStepContinue

struct FetchCycle {
    template <int T>
    static int at(Machine& m) {
        if constexpr (T == 0) {
            if (m.breakpointStop()) return kStepBreakpoint;
            m.ma = 0;
            m.ir = 0;
            m.c = 0;
            m.fetchLamp = true;
            m.countInstruction();
        } else if constexpr (T == 1) {
            m.c = 1;
            m.instructionAddress = m.pc;
            m.chA.load(m.ma, m.pc);
            m.chB.load(m.pc, (m.pc + 1) & 255);
            m.changed |= kChangePc | kChangeMa | kChangeStatus;
        } else if constexpr (T >= 2 && T <= 9) {
            m.ma = m.chA.shift();
            m.pc = m.chB.shift();
            if constexpr (T == 9) m.latchLamps(kChangePc | kChangeMa);
        } else if constexpr (T == 12) {
            m.c = 0;
            m.chA.load(m.mb, m.memory[m.ma]);
            m.changed |= kChangeMb;
        } else if constexpr (T >= 14 && T <= 21) {
            m.mb = m.chA.shift();
            if constexpr (T == 21) {
                m.ir = m.mb;
                m.latchLamps(kChangeMb);
                m.changed |= kChangeIr;
            }
        } else if constexpr (T == kLastClockState) {
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
        MIRA_NEXT_STATE(T);
    }
};

struct DeferCycle {
    template <int T>
    static int at(Machine& m) {
        if constexpr (T == 0) {
            m.ma = 0;
            m.c = 0;
        } else if constexpr (T == 1) {
            m.ma = m.mb;
            m.changed |= kChangeMa;
        } else if constexpr (T == 12) {
            m.c = 0;
            m.chA.load(m.mb, m.memory[m.ma]);
            m.changed |= kChangeMb;
        } else if constexpr (T >= 14 && T <= 21) {
            m.mb = m.chA.shift();
            if constexpr (T == 21) m.latchLamps(kChangeMb);
        } else if constexpr (T == kLastClockState) {
            m.deferLamp = false;
            enterExecute(m);
            m.t = 0;
            m.latchLamps(kLampGroupsAll);
            m.changed |= kChangeState | kChangeCycle;
            return kStepContinue;
        }
        MIRA_NEXT_STATE(T);
    }
};

// Memory reference instructions, opcodes 0..5.
template <int Op>
struct MemoryReferenceCycle {
    template <int T>
    static int at(Machine& m) {
        if constexpr (T == 0) {
            m.ma = 0;
            m.c = 0;
        } else if constexpr (T == 1) {
            m.ma = m.mb;
            const int32_t word = m.memory[m.ma] & 255;
            if constexpr (Op == kOpAnd) {
                m.chA.load(m.mb, word);
                m.chB.load(m.ac, m.ac & word);
            } else if constexpr (Op == kOpTad) {
                m.chA.load(m.mb, word);
                m.chB.load(m.ac, (m.ac + word) & 255);
            } else if constexpr (Op == kOpIsz) {
                m.c = 1;
                m.chA.load(m.mb, (word + 1) & 255);
            } else if constexpr (Op == kOpDca) {
                m.chA.load(m.ac, 0);
                m.chB.load(m.mb, m.ac);
                m.chC.load(m.memory[m.ma], m.ac);
            } else if constexpr (Op == kOpJmb) {
                m.chA.load(m.mb, m.pc);
                m.chB.load(m.memory[m.ma], m.pc);
                m.chC.load(m.pc, m.pc);
            }
            m.changed |= kChangeMa | kChangeMb | kChangeAc | kChangeStatus;
        } else if constexpr (T >= 2 && T <= 9) {
            if constexpr (Op == kOpAnd || Op == kOpTad) {
                m.mb = m.chA.shift();
                m.ac = m.chB.shift();
            } else if constexpr (Op == kOpIsz) {
                m.mb = m.chA.shift();
            } else if constexpr (Op == kOpDca) {
                m.ac = m.chA.shift();
                m.mb = m.chB.shift();
                m.writeMemory(m.ma, m.chC.shift());
            } else if constexpr (Op == kOpJmb) {
                m.mb = m.chA.shift();
                m.writeMemory(m.ma, m.chB.shift());
                m.pc = m.chC.shift();
            }
        } else if constexpr (T == 12) {
            m.c = 0;
        } else if constexpr (T == 13) {
            if constexpr (Op == kOpIsz) {
                m.c = m.mb == 0;
                m.chA.load(m.pc, m.mb == 0 ? (m.pc + 1) & 255 : m.pc);
                m.chB.load(m.memory[m.ma], m.mb);
            } else if constexpr (Op == kOpJmb) {
                m.c = 1;
                m.chA.load(m.pc, (m.ma + 1) & 255);
            } else if constexpr (Op == kOpJmp) {
                m.c = 0;
                m.chA.load(m.pc, m.ma);
            }
            m.changed |= kChangePc | kChangeStatus;
        } else if constexpr (T >= 14 && T <= 21) {
            if constexpr (Op == kOpIsz) {
                m.writeMemory(m.ma, m.chB.shift());
                m.pc = m.chA.shift();
            } else if constexpr (Op >= kOpJmb) {
                m.pc = m.chA.shift();
            }
        } else if constexpr (T == kLastClockState) {
            return endOfInstruction(m, false);
        }
        MIRA_NEXT_STATE(T);
    }
};

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

struct IotCycle {
    template <int T>
    static int at(Machine& m) {
        const int32_t ir = m.ir;
        const bool output = ir & 16;
        const int slot = output ? kFirstOutputSlot + ((ir >> 3) & 1) : (ir >> 3) & 1;
        const bool transfer = ir & 2, pulse = ir & 4;
        // The output reset pulse sits at T1/T2 or at T13/T14; the input pulse is always late.
        const bool earlyPulse = output && pulse && m.options.outputResetMode == 0;
        const bool latePulse = pulse && !earlyPulse;
        DeviceSlot& s = m.bus.slots[slot];
        if constexpr (T == 0) {
            m.ma = 0;
            m.c = 0;
            m.pcTransferLoaded = false;
        } else if constexpr (T == 1) {
            if (output) {
                if (earlyPulse) m.bus.SetOutputResetFlag(slot, 0);
                m.chA.load(s.output, m.ac);
                m.chB.load(m.ac, 0);
            } else if (transfer) {
                m.chA.load(m.ac, m.bus.readInput(slot));
            }
        } else if constexpr (T >= 2 && T <= 9) {
            if constexpr (T == 2)
                if (earlyPulse) m.bus.SetOutputResetFlag(slot, 1);
            if (transfer) {
                if (output) {
                    s.output = m.chA.shift();
                    m.ac = m.chB.shift();
                    if constexpr (T == 9) m.bus.notifyOutput(slot);
                } else {
                    m.ac = m.chA.shift();
                    if (s.type == kModuleKeypad && s.device) s.device->shiftInputData();
                }
                m.changed |= kChangeAc | kChangeSlots;
            }
        } else if constexpr (T == 12) {
            m.c = 0;
        } else if constexpr (T == 13) {
            if (ir & 1) loadFlagSkip(m, slot);
            if (latePulse) {
                if (output)
                    m.bus.SetOutputResetFlag(slot, 0);
                else
                    m.bus.SetModuleInFlag(slot, 0);
            }
            m.changed |= kChangeStatus;
        } else if constexpr (T >= 14 && T <= 21) {
            if constexpr (T == 14) {
                if (latePulse) {
                    if (output)
                        m.bus.SetOutputResetFlag(slot, 1);
                    else
                        m.bus.SetModuleInFlag(slot, 1);
                }
            }
            if (m.pcTransferLoaded) {
                m.pc = m.chA.shift();
                m.changed |= kChangePc;
            }
        } else if constexpr (T == kLastClockState) {
            return endOfInstruction(m, false);
        }
        MIRA_NEXT_STATE(T);
    }
};

struct OprCycle {
    template <int T>
    static int at(Machine& m) {
        const int32_t ir = m.ir;
        const bool group2 = ir & 16;
        if constexpr (T == 0) {
            m.ma = 0;
            m.c = 0;
            m.pcTransferLoaded = false;
        } else if constexpr (T == 1) {
            if (!group2) {
                m.chA.load(m.ac, group1Result(ir, m.ac, m.c));
                m.changed |= kChangeAc | kChangeStatus;
            }
        } else if constexpr (T >= 2 && T <= 9) {
            if (!group2 && (ir & 15)) m.ac = m.chA.shift();
            if constexpr (T == 9) m.latchLamps(kChangeAc);
        } else if constexpr (T == 12) {
            m.c = 0;
        } else if constexpr (T == 13) {
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
        } else if constexpr (T >= 14 && T <= 21) {
            if (m.pcTransferLoaded) {
                m.pc = m.chA.shift();
                m.changed |= kChangePc;
            }
        } else if constexpr (T == kLastClockState) {
            const bool halt = group2 && (ir & 1);
            if (halt) m.changed |= kChangeCount;
            return endOfInstruction(m, halt);
        }
        MIRA_NEXT_STATE(T);
    }
};

// Deposit (memory[PC] = SR) and examine (MB = memory[PC]); both leave PC one past.
template <bool Deposit>
struct PanelCycle {
    template <int T>
    static int at(Machine& m) {
        if constexpr (T == 0) {
            m.ma = 0;
            m.run = true;
            m.fetchLamp = false;
            m.changed |= kChangeState;
        } else if constexpr (T == 1) {
            m.c = 1;
            m.chA.load(m.ma, m.pc);
            m.chB.load(m.pc, (m.pc + 1) & 255);
            m.changed |= kChangePc | kChangeMa;
        } else if constexpr (T >= 2 && T <= 9) {
            m.ma = m.chA.shift();
            m.pc = m.chB.shift();
            if constexpr (T == 9) m.latchLamps(kChangePc | kChangeMa);
        } else if constexpr (T == 12) {
            m.c = 0;
            if constexpr (!Deposit) m.chA.load(m.mb, m.memory[m.ma]);
        } else if constexpr (T == 13) {
            if constexpr (Deposit) {
                m.mb = m.sr;
                m.memory[m.ma] = m.sr;
                m.observer().memoryWordChanged(m.ma);
                m.chA.load(m.mb, m.mb);
            }
            m.changed |= kChangeMb;
        } else if constexpr (T >= 14 && T <= 21) {
            m.mb = m.chA.shift();
        } else if constexpr (T == kLastClockState) {
            m.run = false;
            m.fetchLamp = true;
            m.execLamp = false;
            m.t = kPanelCycleDone;
            m.latchLamps(kLampGroupsAll);
            m.changed |= kChangeState | kChangeCycle;
            return kStepPanelCycleEnd;
        }
        MIRA_NEXT_STATE(T);
    }
};

#undef MIRA_NEXT_STATE

// One clock state of `Cycle` at the current T. Past T23 (a finished panel cycle) nothing
// happens.
template <class Cycle>
inline int stepIn(Machine& m) {
    switch (m.t) {
#define MIRA_STATE(T) \
    case T: return Cycle::template at<T>(m);
        MIRA_STATE(0) MIRA_STATE(1) MIRA_STATE(2) MIRA_STATE(3) MIRA_STATE(4) MIRA_STATE(5)
        MIRA_STATE(6) MIRA_STATE(7) MIRA_STATE(8) MIRA_STATE(9) MIRA_STATE(10) MIRA_STATE(11)
        MIRA_STATE(12) MIRA_STATE(13) MIRA_STATE(14) MIRA_STATE(15) MIRA_STATE(16)
        MIRA_STATE(17) MIRA_STATE(18) MIRA_STATE(19) MIRA_STATE(20) MIRA_STATE(21)
        MIRA_STATE(22) MIRA_STATE(23)
#undef MIRA_STATE
        default: return kStepContinue;
    }
}

// What a whole-cycle run tells after each clock state; the default listens to nothing, so
// the plain run compiles to the same code as without it. A probe with kWholeCycles is
// told instead, while its wantsWholeCycles() says so, before and after each whole cycle:
// beforeWholeCycle(m) takes what it needs, wholeCycleRan(that) follows unless a
// breakpoint stopped the cycle before it ran. An IOT's cycle talks to devices: the
// probe's deviceLines() hears each of its states, then ioCycleRan(that, lines) follows.
struct NoProbe {
    static constexpr bool kWholeCycles = false;
    void operator()(Machine&, int /*t*/, int /*cycle*/, int /*result*/) const {}
};

// All 24 clock states of `Cycle` from T0, stopping early only on a breakpoint at T0.
// `states` receives how many clock states ran; `probe` sees each with its T and cycle.
template <class Cycle, class Probe, int... T>
inline int runStates(Machine& m, int& states, Probe& probe, std::integer_sequence<int, T...>) {
    int r = kStepContinue;
    states = 0;
    const int cycle = m.cycleState;
    static_cast<void>(((++states, r = Cycle::template at<T>(m), probe(m, T, cycle, r),
                        r == kStepContinue || T == kLastClockState) &&
                       ...));
    return r;
}

template <class Cycle, class Probe>
inline int runCycle(Machine& m, int& states, Probe& probe) {
    constexpr auto kStates = std::make_integer_sequence<int, kLastClockState + 1>{};
    if constexpr (Probe::kWholeCycles) {
        if (probe.wantsWholeCycles()) {
            const auto before = probe.beforeWholeCycle(m);
            if constexpr (std::is_same_v<Cycle, IotCycle>) {
                auto lines = probe.deviceLines();
                const int r = runStates<Cycle>(m, states, lines, kStates);
                probe.ioCycleRan(before, lines);
                return r;
            }
            NoProbe none;
            const int r = runStates<Cycle>(m, states, none, kStates);
            if (r != kStepBreakpoint) probe.wholeCycleRan(before);
            return r;
        }
    }
    return runStates<Cycle>(m, states, probe, kStates);
}

inline int executeStep(Machine& m) {
    switch (m.ir >> 5) {
        case kOpAnd: return stepIn<MemoryReferenceCycle<kOpAnd>>(m);
        case kOpTad: return stepIn<MemoryReferenceCycle<kOpTad>>(m);
        case kOpIsz: return stepIn<MemoryReferenceCycle<kOpIsz>>(m);
        case kOpDca: return stepIn<MemoryReferenceCycle<kOpDca>>(m);
        case kOpJmb: return stepIn<MemoryReferenceCycle<kOpJmb>>(m);
        case kOpJmp: return stepIn<MemoryReferenceCycle<kOpJmp>>(m);
        case kOpIot: return stepIn<IotCycle>(m);
        default: return stepIn<OprCycle>(m);
    }
}

// One clock state in Normal mode.
inline int step(Machine& m) {
    switch (m.cycleState) {
        case kCycleFetch: return stepIn<FetchCycle>(m);
        case kCycleExecute: return executeStep(m);
        case kCycleDefer: return stepIn<DeferCycle>(m);
        case kCycleDeposit: return stepIn<PanelCycle<true>>(m);
        case kCycleExamine: return stepIn<PanelCycle<false>>(m);
        default: return kStepContinue;
    }
}

// A single clock state, told to `probe` with the T and cycle it ran in.
template <class Probe>
inline int probedStep(Machine& m, int& states, Probe& probe) {
    states = 1;
    const int t = m.t, cycle = m.cycleState;
    const int r = step(m);
    probe(m, t, cycle, r);
    return r;
}

// The rest of the current processor cycle at once, for fast running. Only valid at T0 of a
// fetch, defer or execute cycle; otherwise it runs a single step. Equivalent to calling
// step() `states` times.
template <class Probe>
inline int runWholeCycle(Machine& m, int& states, Probe& probe) {
    if (m.t != 0) return probedStep(m, states, probe);
    switch (m.cycleState) {
        case kCycleFetch: return runCycle<FetchCycle>(m, states, probe);
        case kCycleDefer: return runCycle<DeferCycle>(m, states, probe);
        case kCycleExecute:
            switch (m.ir >> 5) {
                case kOpAnd: return runCycle<MemoryReferenceCycle<kOpAnd>>(m, states, probe);
                case kOpTad: return runCycle<MemoryReferenceCycle<kOpTad>>(m, states, probe);
                case kOpIsz: return runCycle<MemoryReferenceCycle<kOpIsz>>(m, states, probe);
                case kOpDca: return runCycle<MemoryReferenceCycle<kOpDca>>(m, states, probe);
                case kOpJmb: return runCycle<MemoryReferenceCycle<kOpJmb>>(m, states, probe);
                case kOpJmp: return runCycle<MemoryReferenceCycle<kOpJmp>>(m, states, probe);
                case kOpIot: return runCycle<IotCycle>(m, states, probe);
                default: return runCycle<OprCycle>(m, states, probe);
            }
        default: return probedStep(m, states, probe);
    }
}

inline int runWholeCycle(Machine& m, int& states) {
    NoProbe none;
    return runWholeCycle(m, states, none);
}

}  // namespace normal
}  // namespace mira::core
