// WIF-mode execution, one numbered step per call: the 16-bit instruction set with its RAM
// register file, return stack, table pointer, EEPROM, serial, delay and line-test
// instructions. Inline like the Normal step so the run loops fold it in; it neither
// allocates nor makes virtual calls except at the steps that talk to a module, the serial
// test port or a timer, and those live in wif_cpu.cpp.
#pragma once

#include <array>

#include "machine.h"
#include "normal_cpu.h"

namespace mira::core::wif {

// Opcode numbers: group * 16 + operation. Mnemonics belong to the instruction table.
enum Opcode : int {
    // group 0: literal operations
    kLitNop = 0, kLitAdd = 1, kLitAnd = 2, kLitOr = 3, kLitLoad = 4, kLitSub = 5, kLitXor = 6,
    kLitCompare = 7, kLoadSr = 8, kDecimalAdjust = 9, kProduct = 10, kRandom = 11,
    // group 1: register operations
    kAdd = 16, kAnd = 17, kClear = 18, kDecrement = 19, kDecrementSkipZero = 20,
    kIncrement = 21, kIncrementSkipZero = 22, kOr = 23, kMove = 24, kRotateLeft = 25,
    kRotateRight = 26, kSubtract = 27, kXor = 28, kSwapNibbles = 29, kComplement = 30,
    // group 2: control and bit operations
    kCall = 32, kGoto = 33, kReturn = 34, kReturnLit = 35, kHalt = 36, kFlagTest = 37,
    kFlagSet = 38, kBitSet = 39, kBitClear = 40, kBitToggle = 41, kBitTestSkipSet = 42,
    kBitTestSkipClear = 43, kRomPointer = 44,
    // group 3: input/output, storage and serial
    kInputSkip = 48, kInput = 49, kInputPulse = 50, kInputAck = 51, kOutputSkip = 52,
    kOutput = 53, kOutputPulse = 54, kOutputWithPulses = 55, kSerialOut = 56, kSerialIn = 57,
    kSerialAccess = 58, kTable = 59, kLineTest = 60, kDelay = 61, kEeprom = 62,
};

inline constexpr int kOpcodeCount = 64;
// The last step of most instructions; the transfer instructions run longer.
inline constexpr int kLastStep = 3;
inline constexpr int kInputLastStep = 10;
inline constexpr int kInputAckLastStep = 12;
inline constexpr int kOutputLastStep = 11;
inline constexpr int kOutputWithPulsesLastStep = 12;
inline constexpr int32_t kWordMask = 0xFFFF;
// Selector 3 writes keep the ROM pointer's page bits (9..8).
inline constexpr int32_t kPageBits = 768;
// RAM register numbers move up by this much with the register bank flag set.
inline constexpr int kBankOffset = 32;

inline constexpr int opcodeOf(int32_t word) {
    return ((word >> 10) & 3) * 16 + ((word >> 12) & 15);
}
// The instruction word for opcode k with a 10-bit operand field.
inline constexpr int32_t encode(int k, int32_t operand) {
    return ((k & 15) << 12) | (((k >> 4) & 3) << 10) | (operand & 1023);
}

inline constexpr bool isValidOpcode(int k) {
    return (k >= 0 && k <= kRandom) || (k >= kAdd && k <= kComplement) ||
           (k >= kCall && k <= kRomPointer) || (k >= kInputSkip && k <= kEeprom);
}

// Group 3 instructions that act at step 1 also show it on the DEFER lamp; the others go
// from FETCH straight to EXEC at step 2.
inline constexpr bool namesStep1(int k) {
    if (k < kInputSkip) return isValidOpcode(k);
    switch (k) {
        case kInputSkip: case kInput: case kInputAck: case kOutputSkip: case kOutput:
        case kOutputPulse: case kOutputWithPulses: case kEeprom:
            return true;
        default:
            return false;
    }
}

// Packed-BCD correction after an addition. The low digit is corrected when it is above 9
// or a digit carry came out of it; the high digit when it (plus the low digit's carry) is
// above 9 or a carry came out of the byte. A correction of the high digit sets C.
struct DecimalAdjust {
    int32_t value;
    int32_t carry;
};
inline constexpr DecimalAdjust decimalAdjust(int32_t ac, int32_t dc, int32_t c) {
    const int32_t lowDigit = ac & 15;
    const int32_t lowCarry = lowDigit > 9 ? 1 : 0;  // adding 6 to 10..15 carries out
    const int32_t low = (lowCarry || dc) ? (lowDigit + 6) & 15 : lowDigit;
    int32_t high = (ac >> 4) & 15;
    const bool fixHigh = high + lowCarry > 9 || c != 0;
    high += lowCarry + (fixHigh ? 6 : 0);
    return {(low + 16 * high) & 255, (fixHigh || c) ? 1 : 0};
}

// The compare-literal skip condition, chosen by bits 9..8 (and bits 1..0 for 0).
inline constexpr bool compareSkips(int32_t word, int32_t ac) {
    const int32_t lit = word & 255;
    switch ((word >> 8) & 3) {
        case 3: return ac == lit;
        case 2: return ac < lit;
        case 1: return ac >= lit;
        default:
            if (word & 1) return (ac & 128) == 0;
            if (word & 2) return (ac & 128) != 0;
            return false;
    }
}

// The table pointer's step: it wraps through the whole memory.
inline int32_t stepPointer(int32_t pointer, int delta, int32_t mask) {
    const int32_t p = pointer + delta;
    if (p > mask) return 0;
    if (p < 0) return mask;
    return p;
}

// The table instruction on a pointer and AC held anywhere (the machine's own, or the
// instruction engine's copies): pre-step, read or write the word, post-step. True when AC
// was loaded.
inline bool tableAccessOn(Machine& m, int32_t word, int32_t& pointer, int32_t& ac) {
    const int32_t mask = m.addressMask;
    int32_t& p = pointer;
    if (word & 4)
        p = stepPointer(p, 1, mask);
    else if (word & 16)
        p = stepPointer(p, -1, mask);
    p &= mask;
    const int32_t stored = m.memory[p];
    const bool loads = (word & 2) != 0;
    if (loads) {
        ac = (word & 1) ? (stored >> 8) & 255 : stored & 255;
    } else {
        // A low-byte write keeps only the word's page bits (9..8): tables written this way
        // hold 10-bit values, as the ROM pointer does.
        const int32_t value = (word & 1) ? (stored & 255) | (ac << 8) : (stored & 768) | ac;
        m.writeMemory(p, value & kWordMask);
    }
    if (word & 8)
        p = stepPointer(p, 1, mask);
    else if (word & 32)
        p = stepPointer(p, -1, mask);
    return loads;
}

// The line test's skip condition. Both lines idle high: TG1 is pulled low by the external
// DEP line or the DEPOSIT switch, EXAMINE by its switch.
inline bool lineTestSkips(const Machine& m, int32_t word) {
    const bool high = (word & 1)
                          ? ((m.externalControl & 1) != 0 && m.switches[kSwitchDeposit] == 0)
                          : m.switches[kSwitchExamine] == 0;
    return high == ((word & 2) != 0);
}

// Clock states of a WIF instruction.
inline constexpr int instructionStates(int k) {
    switch (k) {
        case kInput: return kInputLastStep + 1;
        case kInputAck: return kInputAckLastStep + 1;
        case kOutput: return kOutputLastStep + 1;
        case kOutputWithPulses: return kOutputWithPulsesLastStep + 1;
        default: return kLastStep + 1;
    }
}

// --- cold steps (wif_cpu.cpp): timers, serial port, table and EEPROM access ---
void tableAccess(Machine& m);
void delayInstruction(Machine& m);
void eepromStep1(Machine& m);
void eepromStep2(Machine& m);
void eepromStep3(Machine& m);
void serialOut(Machine& m);
void serialIn(Machine& m);
void serialAccess(Machine& m);
void lineTest(Machine& m);
int32_t randomByte(Machine& m);

// --- operands ---

inline int ramRegister(const Machine& m, int32_t word) {
    return (word & 31) + (m.bankFlag ? kBankOffset : 0);
}
inline int selectorA(int32_t word) { return (word >> 8) & 3; }
inline int selectorB(int32_t word) { return (word >> 6) & 3; }

inline int32_t readOperand(const Machine& m, int selector, int32_t word) {
    switch (selector) {
        case 0: return m.ac;
        case 1: return m.ram[ramRegister(m, word)];
        case 2: return m.ram[m.ram[0] & 63];
        default: return m.pc & 255;
    }
}

inline void writeRam(Machine& m, int index, int32_t value) {
    m.ram[index] = static_cast<uint8_t>(value & 255);
    m.ramChanged |= uint64_t{1} << index;
    m.changed |= kChangeRam;
}

inline void writeOperand(Machine& m, int selector, int32_t word, int32_t value) {
    value &= 255;
    switch (selector) {
        case 0:
            m.ac = value;
            m.changed |= kChangeAc;
            break;
        case 1:
            writeRam(m, ramRegister(m, word), value);
            break;
        case 2:
            writeRam(m, m.ram[0] & 63, value);
            break;
        default:
            // A computed jump within the page the ROM pointer names; the +1 mirrors the
            // advance the instruction would otherwise have made.
            m.pc = ((m.romPointer & kPageBits) | ((value + 1) & 255)) & m.addressMask;
            m.wifPcWritten = true;
            m.changed |= kChangePc;
            break;
    }
}

// --- stack ---

// The stack moves; push and pop also tell the views, the instruction engine tells them
// once at its stretch's end.
inline void pushAddress(Machine& m, int32_t address) {
    if (++m.stackDepth > kStackSize) {
        m.stackDepth = 0;
        m.stackOverflow = true;
    }
    m.stack[2] = m.stack[1];
    m.stack[1] = m.stack[0];
    m.stack[0] = address & m.addressMask;
}

inline int32_t popAddress(Machine& m) {
    const int32_t top = m.stack[0];
    if (--m.stackDepth < 0) {
        m.stackDepth = 2;
        m.stackOverflow = true;
    }
    m.stack[0] = m.stack[1];
    m.stack[1] = m.stack[2];
    m.stack[2] = 0;
    return top;
}

inline void push(Machine& m, int32_t address) {
    pushAddress(m, address);
    m.changed |= kChangeStack;
}

inline int32_t pop(Machine& m) {
    m.changed |= kChangeStack;
    return popAddress(m);
}

// --- flags chosen by bits 4..1 of a flag instruction: C, DC, Z, bank; first set bit wins ---

inline int32_t* chosenFlag(Machine& m, int32_t word) {
    if (word & 2) return &m.c;
    if (word & 4) return &m.dc;
    if (word & 8) return &m.z;
    return nullptr;
}

// --- the frame of every instruction ---

// A selector-3 write is the instruction's own jump: neither the advance nor a skip moves it.
inline void advancePc(Machine& m) {
    if (!m.wifPcWritten) m.pc = (m.pc + (m.skip ? 1 : 0) + 1) & m.addressMask;
}

inline void setPc(Machine& m, int32_t address) {
    m.pc = address & m.addressMask;
    m.wifPcWritten = true;
}

// The instruction's last step: state lamps back to FETCH, T = 0, the cycle stays execute.
// The instruction lamps stay lit until the run stops.
inline int finish(Machine& m, bool halt) {
    m.fetchLamp = true;
    m.deferLamp = false;
    m.execLamp = false;
    m.t = 0;
    m.latchLamps(kLampGroupsAll);
    m.changed |= kChangePc | kChangeState | kChangeCycle;
    return (halt || normal::stopRequested(m)) ? kStepStop : kStepInstructionEnd;
}

inline int next(Machine& m) {
    ++m.t;
    return kStepContinue;
}

inline void setInstructionLamps(Machine& m, int32_t word, int k) {
    auto& lamp = m.instructionLamps;
    lamp[normal::kOpAnd] = (word & (512 | 128)) != 0;
    lamp[normal::kOpTad] = true;
    lamp[normal::kOpIsz] = (word & (256 | 64)) != 0;
    lamp[normal::kOpDca] = selectorA(word) == 3 || selectorB(word) == 3;
    const int cls = m.wifInstructionClass[k];
    lamp[normal::kOpOpr] = cls == 0;
    lamp[normal::kOpIot] = cls == 1;
    lamp[normal::kOpJmp] = cls == 2;
    lamp[normal::kOpJmb] = cls == 3;
}

// Before step 0: the breakpoint test, then the word is latched and counted.
inline int startInstruction(Machine& m) {
    // Whatever put PC out of range, the fetch and the breakpoint test stay inside memory.
    m.pc &= m.addressMask;
    if (m.breakpointStop()) return kStepBreakpoint;
    m.instructionAddress = m.pc;
    m.wifWord = m.memory[m.pc] & kWordMask;
    m.wifOpcode = opcodeOf(m.wifWord);
    m.wifPcWritten = false;
    m.countInstruction();
    if (isValidOpcode(m.wifOpcode)) {
        m.skip = false;
        m.fetchLamp = true;
        setInstructionLamps(m, m.wifWord, m.wifOpcode);
        m.changed |= kChangeState | kChangeStatus;
    }
    return kStepContinue;
}

// The group steps take T as an argument so that a caller running a whole instruction with
// constant steps (the instruction engine) gets each step's code alone.

// --- group 0: literal operations ---

inline void literalOperation(Machine& m, int k, int32_t word) {
    switch (k) {
        case kLitAdd: {
            const int32_t sum = m.ma + m.ac;
            m.dc = ((m.ma & 15) + (m.ac & 15)) > 15;
            m.z = sum == 0;  // the untruncated sum: 256 is not zero
            m.c = sum > 255;
            m.mb = sum & 255;
            break;
        }
        case kLitAnd: m.mb = m.ma & m.ac; m.z = m.mb == 0; break;
        case kLitOr: m.mb = m.ma | m.ac; m.z = m.mb == 0; break;
        case kLitLoad: m.mb = m.ma; break;
        case kLitSub: {
            const int32_t d = m.ac - m.ma;
            m.dc = (m.ac & 15) - (m.ma & 15) >= 0;
            m.c = d >= 0;
            m.mb = d & 255;
            m.z = m.mb == 0;
            break;
        }
        case kLitXor: m.mb = m.ma ^ m.ac; m.z = m.mb == 0; break;
        case kLitCompare:
            if (compareSkips(word, m.ac)) m.skip = true;
            m.mb = 0;
            break;
        case kLoadSr: m.mb = m.sr & 255; m.z = m.mb == 0; break;
        case kDecimalAdjust: {
            const DecimalAdjust r = decimalAdjust(m.ac, m.dc, m.c);
            m.mb = r.value;
            m.c = r.carry;
            break;
        }
        case kProduct:
            switch (selectorA(word)) {
                case 0: {
                    const int32_t p = m.ma * m.ac;
                    m.ma = (p >> 8) & 255;
                    m.mb = p & 255;
                    m.changed |= kChangeMa;
                    break;
                }
                case 1: m.mb = m.h; break;
                default: m.mb = m.l; break;
            }
            break;
        default:  // no-operation literal and the random byte leave MB = 0
            m.mb = 0;
            break;
    }
    m.changed |= kChangeMb | kChangeStatus;
}

inline int literalStep(Machine& m, int t) {
    const int k = m.wifOpcode;
    const int32_t word = m.wifWord;
    switch (t) {
        case 1:
            if (k == kRandom)
                m.ma = 0;
            else if (k != kDecimalAdjust)
                m.ma = word & 255;
            m.changed |= kChangeMa;
            break;
        case 2:
            literalOperation(m, k, word);
            break;
        case kLastStep:
            switch (k) {
                case kLitNop:
                case kLitCompare:
                    break;
                case kProduct:
                    if (selectorA(word) == 0) {
                        m.h = m.ma;
                        m.l = m.mb;
                        m.changed |= kChangeWifRegs;
                    } else {
                        m.ac = m.mb;
                        m.changed |= kChangeAc;
                    }
                    break;
                case kRandom:
                    m.ac = randomByte(m);
                    m.z = m.ac == 0;
                    m.changed |= kChangeAc | kChangeStatus;
                    break;
                default:
                    m.ac = m.mb;
                    m.changed |= kChangeAc;
                    break;
            }
            advancePc(m);
            return finish(m, false);
        default: break;
    }
    return next(m);
}

// --- group 1: register operations ---

inline void registerOperation(Machine& m, int k) {
    const int32_t a = m.ma, b = m.mb;
    switch (k) {
        case kAdd: {
            const int32_t sum = a + b;
            m.dc = ((a & 15) + (b & 15)) > 15;
            m.z = sum == 0;
            m.c = sum > 255;
            m.mb = sum & 255;
            return;
        }
        case kAnd: m.mb = b & a; m.z = m.mb == 0; return;
        case kClear: m.mb = 0; m.z = 1; return;
        case kDecrement: m.mb = (a - 1) & 255; m.z = m.mb == 0; return;
        case kDecrementSkipZero: m.mb = (a - 1) & 255; if (m.mb == 0) m.skip = true; return;
        case kIncrement: m.mb = (a + 1) & 255; m.z = m.mb == 0; return;
        case kIncrementSkipZero: m.mb = (a + 1) & 255; if (m.mb == 0) m.skip = true; return;
        case kOr: m.mb = b | a; m.z = m.mb == 0; return;
        case kMove: m.mb = a; m.z = m.mb == 0; return;
        case kRotateLeft:
            m.mb = ((a << 1) & 255) | (m.c ? 1 : 0);
            m.c = (a >> 7) & 1;
            return;
        case kRotateRight:
            m.mb = (a >> 1) | (m.c ? 128 : 0);
            m.c = a & 1;
            return;
        case kSubtract: {
            const int32_t d = b - a;
            m.dc = (b & 15) - (a & 15) >= 0;
            m.c = d >= 0;
            m.mb = d & 255;
            m.z = m.mb == 0;
            return;
        }
        case kXor: m.mb = b ^ a; m.z = m.mb == 0; return;
        case kSwapNibbles: m.mb = ((a << 4) | (a >> 4)) & 255; return;
        default: m.mb = a ^ 255; m.z = m.mb == 0; return;  // complement
    }
}

inline bool destinationByBit5(int k) {
    return k == kAdd || k == kAnd || k == kOr || k == kSubtract || k == kXor;
}

inline int registerStep(Machine& m, int t) {
    const int k = m.wifOpcode;
    const int32_t word = m.wifWord;
    switch (t) {
        case 1:
            m.ma = readOperand(m, selectorA(word), word);
            m.mb = readOperand(m, selectorB(word), word);
            m.changed |= kChangeMa | kChangeMb;
            break;
        case 2:
            registerOperation(m, k);
            m.changed |= kChangeMb | kChangeStatus;
            m.latchLamps(kChangeMb | kChangeState);
            break;
        case kLastStep: {
            const bool toB = !destinationByBit5(k) || (word & 32);
            writeOperand(m, toB ? selectorB(word) : selectorA(word), word, m.mb);
            advancePc(m);
            return finish(m, false);
        }
        default: break;
    }
    return next(m);
}

// --- group 2: control and bit operations ---

inline int controlStep(Machine& m, int t) {
    const int k = m.wifOpcode;
    const int32_t word = m.wifWord;
    switch (t) {
        case 1:
            if (k == kCall || k == kGoto) {
                m.ma = word & 255;
                m.mb = (word >> 8) & 3;
            } else if (k >= kBitSet && k <= kBitTestSkipClear) {
                m.ma = readOperand(m, selectorA(word), word);
                m.mb = 1 << ((word >> 5) & 7);
                if (k == kBitClear) m.mb ^= 255;
            } else if (k == kRomPointer) {
                m.ma = (word >> 8) & 1;
                m.mb = word & 255;
            } else {
                break;
            }
            m.changed |= kChangeMa | kChangeMb;
            break;
        case 2:
            switch (k) {
                case kCall:
                    push(m, m.pc + 1);
                    break;
                case kReturn:
                case kReturnLit: {
                    const int32_t top = pop(m);
                    m.ma = top & 255;
                    m.mb = (top >> 8) & 3;
                    break;
                }
                case kFlagTest: {
                    // Bits 4..1 choose C, DC, Z or the bank flag; none chosen never skips.
                    const int32_t* flag = chosenFlag(m, word);
                    if (flag) {
                        if ((word & 1) == (*flag ? 1 : 0)) m.skip = true;
                    } else if (word & 16) {
                        if ((word & 1) == (m.bankFlag ? 1 : 0)) m.skip = true;
                    }
                    m.ma = m.pc & 255;
                    m.mb = (m.pc >> 8) & 255;
                    break;
                }
                case kFlagSet:
                    if (int32_t* flag = chosenFlag(m, word)) {
                        *flag = word & 1;
                    } else if (word & 16) {
                        m.bankFlag = word & 1;
                        m.changed |= kChangeWifRegs;
                    }
                    break;
                case kBitSet: m.mb |= m.ma; break;
                case kBitClear: m.mb &= m.ma; break;
                case kBitToggle: m.mb ^= m.ma; break;
                case kBitTestSkipSet: if (m.ma & m.mb) m.skip = true; break;
                case kBitTestSkipClear: if (!(m.ma & m.mb)) m.skip = true; break;
                case kRomPointer:
                    if (word & 256) {
                        m.romPointer = ((m.mb * 256) & 1023) | (m.romPointer & 255);
                        m.mb &= 3;
                    } else {
                        m.romPointer = (m.romPointer & kPageBits) | m.mb;
                    }
                    m.changed |= kChangeWifRegs;
                    break;
                default: break;
            }
            m.changed |= kChangeMa | kChangeMb | kChangeStatus;
            m.latchLamps(kChangeMb | kChangeState);
            break;
        case kLastStep: {
            bool halt = false;
            switch (k) {
                case kCall:
                case kGoto:
                case kReturn:
                    setPc(m, m.mb * 256 + m.ma);
                    break;
                case kReturnLit:
                    m.ac = word & 255;
                    m.changed |= kChangeAc;
                    setPc(m, m.mb * 256 + m.ma);
                    break;
                case kHalt:
                    halt = true;
                    advancePc(m);
                    break;
                case kBitSet:
                case kBitClear:
                case kBitToggle:
                    writeOperand(m, selectorA(word), word, m.mb);
                    advancePc(m);
                    break;
                default:
                    advancePc(m);
                    break;
            }
            return finish(m, halt);
        }
        default: break;
    }
    return next(m);
}

// --- group 3: input/output, storage and serial ---

inline int inputSlot(int32_t word) { return (word >> 5) & 1; }
inline int outputSlot(int32_t word) { return kFirstOutputSlot + ((word >> 5) & 1); }

// The output reset pulse of the BO (before) or AO (after) reset mode.
inline void outputPulse(Machine& m, int slot, bool after, int level) {
    if (m.options.outputResetMode == (after ? 1 : 0)) m.bus.SetOutputResetFlag(slot, level);
}

// Input transfer, steps 0..9: read the module, shift the byte into MB, store it.
inline void inputTransferStep(Machine& m, int32_t word) {
    const int slot = inputSlot(word);
    switch (m.t) {
        case 0:
            m.chA.load(m.mb, m.bus.readInput(slot));
            m.changed |= kChangeSlots;
            break;
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: {
            m.mb = m.chA.shift();
            const DeviceSlot& s = m.bus.slots[slot];
            if (s.type == kModuleKeypad && s.device) s.device->shiftInputData();
            m.changed |= kChangeMb;
            if (m.t == 8) m.latchLamps(kChangeMb);
            break;
        }
        case 9:
            m.z = m.mb == 0;
            writeOperand(m, selectorB(word), word, m.mb);
            m.changed |= kChangeStatus;
            break;
        default: break;
    }
}

// Output transfer: `loadStep` loads the channel from MB, the next eight steps shift it into
// the slot's output value (MB shows the bits moving), and the module hears of it at the end.
inline void outputTransferStep(Machine& m, int32_t word, int loadStep) {
    const int slot = outputSlot(word);
    DeviceSlot& s = m.bus.slots[slot];
    const int i = m.t - loadStep;
    if (i == 0) {
        m.chA.load(s.output, m.mb);
    } else if (i >= 1 && i <= 8) {
        s.output = m.chA.shift();
        m.mb = s.output;
        m.changed |= kChangeMb | kChangeSlots;
        if (i == 8) m.bus.notifyOutput(slot);
    }
}

inline int ioStep(Machine& m) {
    const int k = m.wifOpcode;
    const int32_t word = m.wifWord;
    const int t = m.t;
    switch (k) {
        case kInputSkip:
        case kOutputSkip:
            if (t == 1) {
                const int slot = k == kInputSkip ? inputSlot(word) : outputSlot(word);
                if (m.bus.slots[slot].flag == 0) m.skip = true;
                m.changed |= kChangeStatus;
            }
            break;
        case kInput:
            if (t == kInputLastStep) break;
            inputTransferStep(m, word);
            return next(m);
        case kInputPulse:
            if (t == 2) m.bus.SetModuleInFlag(inputSlot(word), 0);
            if (t == kLastStep) m.bus.SetModuleInFlag(inputSlot(word), 1);
            break;
        case kInputAck:
            if (t == kInputAckLastStep) break;
            if (t <= 9) {
                inputTransferStep(m, word);
            } else {
                m.bus.SetModuleInFlag(inputSlot(word), t == 10 ? 0 : 1);
            }
            return next(m);
        case kOutput:
            if (t == kOutputLastStep) break;
            if (t == 1) {
                m.mb = readOperand(m, selectorA(word), word);
                m.changed |= kChangeMb;
            } else if (t >= 2) {
                outputTransferStep(m, word, 2);
            }
            return next(m);
        case kOutputPulse:
            outputPulse(m, outputSlot(word), t >= 2, (t & 1) ? 1 : 0);
            break;
        case kOutputWithPulses:
            if (t <= 1) {
                outputPulse(m, outputSlot(word), false, t);
            } else if (t == 2) {
                m.mb = readOperand(m, selectorA(word), word);
                m.changed |= kChangeMb;
                outputTransferStep(m, word, 2);
            } else if (t <= 10) {
                outputTransferStep(m, word, 2);
            } else {
                outputPulse(m, outputSlot(word), true, t == 11 ? 0 : 1);
            }
            if (t == kOutputWithPulsesLastStep) break;
            return next(m);
        case kSerialOut:
            if (t == kLastStep) serialOut(m);
            break;
        case kSerialIn:
            if (t == 2) serialIn(m);
            if (t == kLastStep && m.wifByteReceived) {
                m.ac = m.mb;
                m.changed |= kChangeAc;
            }
            break;
        case kSerialAccess:
            if (t == kLastStep) serialAccess(m);
            break;
        case kTable:
            if (t == kLastStep) tableAccess(m);
            break;
        case kLineTest:
            if (t == 2) lineTest(m);
            break;
        case kDelay:
            if (t == 2) delayInstruction(m);
            break;
        default:  // EEPROM
            if (t == 1) eepromStep1(m);
            if (t == 2) eepromStep2(m);
            if (t == kLastStep) eepromStep3(m);
            break;
    }
    if (t < kLastStep) return next(m);
    advancePc(m);
    return finish(m, false);
}

// Undefined numbers: three idle steps, then PC + 1. Being no instruction they leave the
// skip flag and the instruction lamps as the previous instruction left them.
inline int undefinedStep(Machine& m) {
    if (m.t < kLastStep) return next(m);
    m.pc = (m.pc + 1) & m.addressMask;
    return finish(m, false);
}

// One WIF step. Only the execute cycle runs code in this mode.
inline int step(Machine& m) {
    if (m.cycleState != kCycleExecute) return kStepContinue;
    const int t = m.t;
    if (t == 0) {
        if (startInstruction(m) == kStepBreakpoint) return kStepBreakpoint;
    }
    const int k = m.wifOpcode;
    if (!isValidOpcode(k)) return undefinedStep(m);
    if (t == 1 && namesStep1(k)) {
        m.deferLamp = true;
        m.fetchLamp = false;
    } else if (t == 2) {
        m.execLamp = true;
        m.deferLamp = false;
    }
    switch (k >> 4) {
        case 0: return literalStep(m, t);
        case 1: return registerStep(m, t);
        case 2: return controlStep(m, t);
        default: return ioStep(m);
    }
}

// The rest of the current instruction in one call, for run loops that know no timer falls
// due and no yield is needed inside it; `states` grows by the steps taken.
inline int runWholeInstruction(Machine& m, int& states) {
    for (;;) {
        const int r = step(m);
        ++states;
        if (r != kStepContinue) return r;
    }
}

}  // namespace mira::core::wif
