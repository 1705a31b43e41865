// The machine's signals over time: one sample per clock state kept in a ring, and the table
// of signals (clock state, cycle, registers as buses and serial lines, lamps, device slot
// handshakes, serial port lines) read from the samples. The timing diagram draws it and the
// VCD writer exports it; the run loops sample only while a recorder is attached.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"

namespace mira::core {

// Status bits of a sample.
enum SampleStatus : uint8_t {
    kSampleRun = 1u << 0,
    kSampleFetch = 1u << 1,
    kSampleDefer = 1u << 2,
    kSampleExec = 1u << 3,
    kSampleCarry = 1u << 4,
    kSampleSerialAccess = 1u << 5,
    kSampleLineDep = 1u << 6,  // WIF external control bit 0 (TG1)
    kSampleLineLa = 1u << 7,   // WIF external control bit 1
};

// The machine after one clock state. T and the cycle are those the state ran in.
struct SignalSample {
    uint16_t pc = 0, ma = 0, mb = 0, ac = 0, sr = 0;
    uint16_t instructionAddress = 0;
    uint32_t instruction = 0;  // instruction count: it moves at each fetch's T0
    uint8_t t = 0;
    uint8_t cycle = 0;    // CycleState
    uint8_t lamps = 0;    // instruction lamps, bit i = Normal opcode i
    uint8_t status = 0;   // SampleStatus bits
    uint8_t slots = 0;    // bits 0..3 the flag of slot i, bits 4..7 its pulse line
    uint8_t serial = 0;   // WIF serial register
    bool operator==(const SignalSample&) const = default;
};

// The last `capacity` clock states. States are numbered from 0 at the recorder's start
// (or the last reset()); number n is kept while end() - n <= size().
//
// The run loop pays for as little as it can: each clock state it records is one raw entry
// in a preallocated ring, with no change detection and no allocation, and a whole Normal
// cycle or WIF instruction run at once is a single entry holding the machine before it,
// with a second one for what a run again cannot know: the device lines state by state in
// an IOT cycle, the bytes a WIF instruction reads from RAM, stack and generator. The
// samples are made from the entries (run again on a machine of the recorder's own) only
// when someone reads them, so a long fast run decodes just its last stretch when it stops.
class SignalRecorder {
public:
    static constexpr std::size_t kDefaultCapacity = 100000;

    explicit SignalRecorder(std::size_t capacity = kDefaultCapacity);
    ~SignalRecorder();
    SignalRecorder(const SignalRecorder&) = delete;
    SignalRecorder& operator=(const SignalRecorder&) = delete;

    // Records the clock state that just ran in cycle `cycle` at `t`. An idle step runs no
    // clock state and is not recorded.
    void sample(const Machine& m, int t, int cycle) {
        if (cycle == kCycleIdle) return;
        closeChain(0);
        const uint64_t n = total_++;
        // One compare for the export window: states before `from_` wrap to huge values.
        if (n - from_ >= span_) return;
        fill(push(), m, t, cycle);
    }
    // Whether whole cycles are worth keeping as one entry: not while a streaming export
    // decodes every state anyway, which costs less from entries of single states.
    bool wantsWholeCycles() const { return !onFull; }
    // Whole Normal cycles from T0, one after another: a chain of them is one entry holding
    // the machine before the first, then for each further cycle just the memory word it
    // reads (an IOT's cycle: its device lines). beginWholeCycle() comes before a cycle,
    // wholeCycleRan() once it ran all its states (a breakpoint runs none); nothing is
    // recorded in between. What ends a WIF chain ends this one too.
    void beginWholeCycle(const Machine& m) {
        cycleWord_ = static_cast<uint8_t>(m.memory[m.cycleState == kCycleFetch ? m.pc : m.mb]);
        if (chainOpen_ && chainLeft_) return;
        closeChain(0);
        reserve(2);
        fillWholeCycle(pending(0), m);
    }
    void wholeCycleRan() {
        if (!countWhole(kCycleStates)) {
            closeChain(kCycleStates);
        } else if (!chainOpen_) {
            commit(1);
            openNormalChain();
        } else {
            if (chainWords_ == kChainBytes) nextChainEntry(kNormalBytes);
            payloadByte(raw_[wordsEntry_], static_cast<int>(chainWords_++)) = cycleWord_;
        }
    }
    // An IOT cycle run whole: its payload keeps the device lines after T1..T14 and the byte
    // read from a module, for a module may answer or move its lines whenever the cycle
    // calls it. After T14 it calls none.
    static constexpr int kLastLinesState = 14, kIotInputByte = kLastLinesState;
    struct DeviceLines {
        static constexpr bool kWholeCycles = false;
        SignalSample* lines;
        uint8_t input = 0;
        uint8_t now = 0;
        uint64_t seenCalls = UINT64_MAX;
        [[gnu::always_inline]] void operator()(Machine& m, int t, int /*cycle*/, int /*result*/) {
            if (t == 1) input = static_cast<uint8_t>(m.bus.slots[(m.ir >> 3) & 1].input);
            if (t >= 1 && t <= kLastLinesState) {
                // Most states call no module: their lines are the last ones read.
                if (m.bus.slotCalls != seenCalls) {
                    seenCalls = m.bus.slotCalls;
                    now = slotLines(m);
                }
                payloadByte(*lines, t - 1) = now;
            }
        }
    };
    DeviceLines deviceLines() {
        // Opening a chain, the payload follows the entry; inside one it stands alone.
        if (chainOpen_) reserve(1);
        SignalSample& p = pending(chainOpen_ ? 0 : 1);
        p.cycle = kPayload;
        return {&p};
    }
    void ioCycleRan(const DeviceLines& d) {
        if (!countWhole(kCycleStates)) {
            closeChain(kCycleStates);
        } else if (!chainOpen_) {
            SignalSample& e = pending(0);
            e.instructionAddress = static_cast<uint16_t>((e.instructionAddress & 255) | d.input << 8);
            e.cycle |= kPayloadFollows;
            commit(2);
            openNormalChain();
        } else {
            endChainEntry();
            SignalSample& p = pending(0);
            p.cycle = kIotLines;
            payloadByte(p, kIotInputByte) = d.input;
            commit(1);
            chainWords_ = kChainBytes;  // the next cycle's word starts an entry after it
        }
    }
    // WIF instructions of groups 0..2 (no module, port or timer) run whole, one after
    // another: a chain of them is one entry holding the machine before the first, payloads
    // of the state only the machine knows (RAM, stack, flags, generator, instruction
    // classes), then just the instruction words. Anything recorded otherwise, a reset, a
    // read or breakChain() ends the chain, as must whatever may change the machine from
    // outside between its instructions (a yield of the run loop).
    void beginWifInstruction(const Machine& m) {
        if (!chainOpen_ || !chainLeft_) openChain(m);
    }
    // The instruction `word` ran all its states (a breakpoint runs none).
    // The open chain's entry and the newest state's number are brought up to date only
    // when the chain ends, to keep its steps short.
    void wifInstructionRan(int32_t word) {
        if (!countWhole(kWifInstructionStates)) {
            closeChain(kWifInstructionStates);
            return;
        }
        if (chainWords_ == kChainWords) nextChainEntry(kWifWords);
        const std::size_t i = chainWords_++;
        const auto v = static_cast<uint16_t>(word);
        std::memcpy(reinterpret_cast<unsigned char*>(&raw_[wordsEntry_]) + 2 * (i + (i >> 3)), &v, sizeof v);
    }
    void breakChain() { closeChain(0); }

    // Forgets every sample and numbers the next state 0.
    void reset();
    // Forgets the samples held; numbering goes on.
    void clear();
    // Forgets the samples before state n (kept for a serial line's look back).
    void dropBefore(uint64_t n) {
        decode();
        if (n > begin()) count_ = static_cast<std::size_t>(end() - std::min(n, end()));
    }
    // Keeps only states from..from+count-1 (numbered from the start), for an export window.
    void setWindow(uint64_t from, uint64_t count);

    std::size_t capacity() const { return ring_.size(); }
    std::size_t size() const {
        decode();
        return count_;
    }
    // The number of the state after the newest; the oldest held is end() - size().
    uint64_t end() const {
        decode();
        return decoding_ ? end_ : std::min(total_, from_ + span_);
    }
    uint64_t begin() const { return end() - count_; }
    uint64_t statesSeen() const { return total_; }
    // The sample of state n, begin() <= n < end().
    const SignalSample& at(uint64_t n) const {
        const std::size_t back = static_cast<std::size_t>(end() - n);
        return ring_[(head_ + ring_.size() - back) % ring_.size()];
    }

    // Called when the ring is full, before the oldest sample is overwritten: a streaming
    // export takes the samples here and clears the ring. While it is set, entries are
    // decoded before the raw ring overwrites any, so every state passes through it.
    std::function<void()> onFull;

private:
    static constexpr uint64_t kCycleStates = 24;
    // Every WIF instruction that touches no module, port or timer takes four steps.
    static constexpr uint64_t kWifInstructionStates = 4;
    // Marks a whole-cycle entry in its `cycle` byte; bit 6 holds the zero page option.
    static constexpr uint8_t kWholeCycle = 0x80, kWholeCycleZeroPage = 0x40;
    // Marks a clock state of the WIF machine in its entry's `cycle` byte; with kWholeCycle,
    // a whole WIF instruction.
    static constexpr uint8_t kWifEntry = 0x20;
    // The entry after this one is its payload.
    static constexpr uint8_t kPayloadFollows = 0x10;
    // A payload's `cycle` byte: no cycle state has this number, so a payload whose entry
    // the ring overwrote is still known for one.
    static constexpr uint8_t kPayload = 0x08;
    // The `cycle` byte of a chain's words: eight words, the count, the mark, three more.
    static constexpr uint8_t kWifWords = 0x09;
    static constexpr std::size_t kChainWords = 11, kWordsCountByte = 16;
    // The `cycle` byte of a Normal chain's memory words: 22 of them, then the count.
    static constexpr uint8_t kNormalBytes = 0x0A;
    static constexpr std::size_t kChainBytes = 22, kBytesCountByte = 22;
    // The `cycle` byte of an IOT's cycle inside a Normal chain.
    static constexpr uint8_t kIotLines = 0x0B;
    // Instructions (cycles) in a chain before the next starts afresh, so that reading the
    // last states never runs a long way again.
    static constexpr std::size_t kChainInstructions = 256, kChainCycles = 512;
    void openNormalChain() {
        chainOpen_ = true;
        chainLeft_ = kChainCycles / kChainBytes;
        chainWords_ = kChainBytes;  // the next cycle's word starts an entry
    }
    // Writes the count of words into the chain's open entry, which takes no more.
    void endChainEntry() const {
        if (!entryOpen_) return;
        entryOpen_ = false;
        SignalSample& w = raw_[wordsEntry_];
        payloadByte(w, w.cycle == kWifWords ? kWordsCountByte : kBytesCountByte) = static_cast<uint8_t>(chainWords_);
    }
    // Ends the open chain; its last `unrecorded` states were counted but not recorded.
    void closeChain(uint64_t unrecorded) const {
        if (!chainOpen_) return;
        endChainEntry();
        rawEnd_ = total_ - unrecorded;
        chainOpen_ = false;
    }

    // Byte i of a payload, 0 <= i < 23, around its marking `cycle` byte.
    [[gnu::always_inline]] static uint8_t& payloadByte(SignalSample& p, int i) {
        constexpr int kMark = offsetof(SignalSample, cycle);
        return reinterpret_cast<uint8_t*>(&p)[i < kMark ? i : i + 1];
    }
    static uint8_t payloadByte(const SignalSample& p, int i) {
        return payloadByte(const_cast<SignalSample&>(p), i);
    }
    [[gnu::always_inline]] static uint8_t slotLines(const Machine& m) {
        // A slot's flag and pulse bytes read as one word: the flag on bit 0, the pulse on
        // bit 8. Four such words shifted by their slot put the flags on bits 0..3 and the
        // pulses on bits 8..11.
        static_assert(offsetof(DeviceSlot, pulse) == offsetof(DeviceSlot, flag) + 1 &&
                      std::endian::native == std::endian::little && kSlotCount == 4);
        const auto lines = [&m](int i) {
            uint16_t w;
            std::memcpy(&w, &m.bus.slots[i].flag, sizeof w);
            return (w & 0x0101u) << i;
        };
        const uint32_t x = lines(0) | lines(1) | lines(2) | lines(3);
        return static_cast<uint8_t>(x | x >> 4);
    }
    // Numbers the states of an entry run whole; false when they fall outside the window.
    // Once the window has begun, one compare tells (a fresh window asks the long way once).
    bool countWhole(uint64_t states) {
        const uint64_t n = total_;
        total_ = n + states;
        if (n < wholeUntil_) [[likely]]
            return true;
        if (n >= from_) wholeUntil_ = from_ + span_;
        return n + states > from_ && n < from_ + span_;
    }

    [[gnu::always_inline]] static void fill(SignalSample& s, const Machine& m, int t, int cycle) {
        s.pc = static_cast<uint16_t>(m.pc);
        s.ma = static_cast<uint16_t>(m.ma);
        s.mb = static_cast<uint16_t>(m.mb);
        s.ac = static_cast<uint16_t>(m.ac);
        s.sr = static_cast<uint16_t>(m.sr);
        s.instructionAddress = static_cast<uint16_t>(m.instructionAddress);
        s.instruction = static_cast<uint32_t>(m.instructionCount);
        s.t = static_cast<uint8_t>(t);
        // A WIF state's cycle is read from its lamps when decoded.
        s.cycle = static_cast<uint8_t>(cycle | (m.isWif() ? kWifEntry : 0));
        // Eight 0/1 bytes to eight bits in one multiply: byte i lands on bit 56 + i.
        uint64_t lampBytes;
        std::memcpy(&lampBytes, m.instructionLamps.data(), sizeof lampBytes);
        s.lamps = static_cast<uint8_t>((lampBytes * 0x0102040810204080ull) >> 56);
        s.status = static_cast<uint8_t>(
            (m.run ? kSampleRun : 0) | (m.fetchLamp ? kSampleFetch : 0) |
            (m.deferLamp ? kSampleDefer : 0) | (m.execLamp ? kSampleExec : 0) |
            (m.c ? kSampleCarry : 0) | (m.serialAccess ? kSampleSerialAccess : 0) |
            ((m.externalControl & 1) ? kSampleLineDep : 0) |
            ((m.externalControl & 2) ? kSampleLineLa : 0));
        s.slots = slotLines(m);
        s.serial = static_cast<uint8_t>(m.serialRegister);
    }
    // A single state's entry as its sample.
    static SignalSample decoded(SignalSample e) {
        if (e.cycle & kWifEntry) e.cycle = static_cast<uint8_t>(wifCycle(e.status));
        return e;
    }
    static int wifCycle(uint8_t status) {
        if (status & kSampleExec) return kCycleExecute;
        if (status & kSampleDefer) return kCycleDefer;
        return (status & kSampleFetch) && (status & kSampleRun) ? kCycleFetch : kCycleIdle;
    }
    // The entry k after the newest, written before it is counted.
    SignalSample& pending(std::size_t k) {
        const std::size_t i = rawHead_ + k;
        return raw_[i < raw_.size() ? i : i - raw_.size()];
    }
    // Room for k entries after the newest; a full ring gives up its oldest (or, streaming,
    // decodes them first).
    void reserve(std::size_t k) {
        if (rawCount_ + k <= raw_.size()) return;
        if (onFull) {
            decodeEntries();
        } else {
            overwritten_ = true;
            rawCount_ = raw_.size() - k;
        }
    }
    void commit(std::size_t k) {
        rawHead_ += k;
        if (rawHead_ >= raw_.size()) rawHead_ -= raw_.size();
        rawCount_ += k;
        rawEnd_ = total_;
    }
    static void fillWholeCycle(SignalSample& s, const Machine& m);
    // The next raw entry. A full ring overwrites its oldest entry (the entries left still
    // cover more states than the samples hold) unless a streaming export must see every
    // state: then the entries are decoded first.
    SignalSample& push() {
        if (rawCount_ == raw_.size()) {
            if (onFull)
                decodeEntries();
            else
                overwritten_ = true;
        }
        SignalSample& e = raw_[rawHead_];
        if (++rawHead_ == raw_.size()) rawHead_ = 0;
        if (rawCount_ < raw_.size()) ++rawCount_;
        rawEnd_ = total_;
        return e;
    }
    static uint64_t statesOf(const SignalSample& e) {
        switch (e.cycle) {
            case kPayload: return 0;
            case kWifWords: return kWifInstructionStates * payloadByte(e, kWordsCountByte);
            case kNormalBytes: return kCycleStates * payloadByte(e, kBytesCountByte);
            case kIotLines: return kCycleStates;
            default: break;
        }
        if (!(e.cycle & kWholeCycle)) return 1;
        return (e.cycle & kWifEntry) ? 0 : kCycleStates;  // a WIF chain's head runs nothing itself
    }
    // A chain's part after its head; a whole entry is a chain's head.
    static bool inChain(const SignalSample& e) { return e.cycle >= kPayload && e.cycle <= kIotLines; }
    static bool chainHead(const SignalSample& e) { return (e.cycle & kWholeCycle) != 0; }
    // Turns the raw entries into samples.
    void decode() const {
        if (rawCount_ && !decoding_) decodeEntries();
    }
    void decodeEntries() const;
    // The recorder's own machine set to an entry's sample.
    Machine& replayFrom(const SignalSample& e, bool wif) const;
    void decodeWholeCycle(const SignalSample& before, const SignalSample* lines, uint64_t first,
                          uint64_t quietBelow) const;
    // Runs the cycles of a Normal chain's part again from state `first`.
    void decodeNormalPart(const SignalSample& part, uint64_t first, uint64_t quietBelow) const;
    // The recorder's machine at an IOT's cycle that is to read `input` from a module.
    void replayInput(Machine& m, int input) const;
    void openChain(const Machine& m);
    void nextChainEntry(uint8_t kind);
    // Sets the recorder's machine to a chain's head and its payloads from raw_[i] on.
    void decodeChainHead(std::size_t i) const;
    // Runs a chain's words again from state `first`, adding states from `quietBelow` on.
    void decodeChainWords(const SignalSample& words, uint64_t first, uint64_t quietBelow) const;
    // Adds decoded state n to the ring.
    void add(uint64_t n, const SignalSample& s) const;
    friend struct ReplayProbe;

    // Raw entries not decoded yet, the oldest rawCount_ before rawHead_. Reading the
    // samples decodes them, so all that follows changes under const.
    mutable std::vector<SignalSample> raw_;
    std::size_t rawHead_ = 0;
    mutable std::size_t rawCount_ = 0;
    mutable uint64_t rawEnd_ = 0;     // the number of the state after the newest entry's last
    mutable bool overwritten_ = false;  // entries were lost since the last decode
    mutable bool decoding_ = false;
    // The open chain: its words entry, the words in it (written when it ends), words
    mutable bool chainOpen_ = false;
    // entries left before the next head.
    std::size_t wordsEntry_ = 0, chainWords_ = 0, chainLeft_ = 0;
    mutable bool entryOpen_ = false;
    uint8_t cycleWord_ = 0;  // the memory word the Normal cycle running reads
    mutable std::unique_ptr<Machine> replay_;  // runs whole cycles again
    mutable std::unique_ptr<Device> replayInput_;  // gives an IOT run again the byte it read

    mutable std::vector<SignalSample> ring_;
    mutable std::size_t head_ = 0;
    mutable std::size_t count_ = 0;
    mutable uint64_t end_ = 0;  // while decoding: the number after the newest sample
    uint64_t total_ = 0;
    uint64_t from_ = 0;
    uint64_t span_ = UINT64_MAX;
    uint64_t wholeUntil_ = 0;  // states numbered below this lie inside the window's span
};

// What a signal is read from.
enum class SignalSource : uint8_t {
    ClockState,
    Cycle,
    Register,      // arg: kRegPc..kRegSr
    SerialLine,    // arg: register; the bit shifted in at the top (Normal)
    Lamp,          // arg: opcode
    Status,        // arg: SampleStatus bit
    SlotFlag,      // arg: slot
    SlotPulse,     // arg: slot
    SlotHandshake, // arg: slot; two bits, flag then pulse line
    SerialRegister,
};
enum SignalRegister : uint8_t { kRegPc, kRegMa, kRegMb, kRegAc, kRegSr };

struct SignalDef {
    std::string scope;  // cpu, panel, devices or modules
    std::string name;
    int width = 1;
    SignalSource source = SignalSource::ClockState;
    uint8_t arg = 0;

    std::string fullName() const { return scope + "." + name; }
    bool operator==(const SignalDef&) const = default;
};

// A signal's value at one clock state; `none` is a line that carries nothing then (a
// register that does not shift), drawn and exported as high impedance.
struct SignalValue {
    uint32_t bits = 0;
    bool none = false;
    bool operator==(const SignalValue&) const = default;
};

// The value of `def` at state n of `r` (begin() <= n < end()).
SignalValue signalValue(const SignalDef& def, const SignalRecorder& r, uint64_t n);
// Whether `def` surely reads the same from samples a and b: what it is read from is the
// same in both, and it does not look further back.
inline bool sameSource(const SignalDef& def, const SignalSample& a, const SignalSample& b) {
    switch (def.source) {
        case SignalSource::ClockState: return a.t == b.t;
        case SignalSource::Cycle: return a.cycle == b.cycle;
        case SignalSource::Register: {
            const uint16_t SignalSample::*regs[] = {&SignalSample::pc, &SignalSample::ma, &SignalSample::mb,
                                                    &SignalSample::ac, &SignalSample::sr};
            const auto reg = regs[std::min<int>(def.arg, kRegSr)];
            return a.*reg == b.*reg;
        }
        case SignalSource::SerialLine: return false;
        case SignalSource::Lamp: return a.lamps == b.lamps;
        case SignalSource::Status: return ((a.status ^ b.status) & def.arg) == 0;
        case SignalSource::SlotFlag:
        case SignalSource::SlotPulse:
        case SignalSource::SlotHandshake: return a.slots == b.slots;
        case SignalSource::SerialRegister: return a.serial == b.serial;
    }
    return false;
}

// Names of modules for the modules scope, by module type; empty for none.
using ModuleNamer = std::function<std::string(int type)>;

// Every signal of the machine in its present mode, with a handshake row per slot that holds
// a module.
std::vector<SignalDef> machineSignals(const Machine& m, const ModuleNamer& moduleName);

// The signals a list picks: comma-separated names, each a signal's name, its scope.name or
// a whole scope, in any case. Signals come in the list's order. `unknown` gets the first
// entry that names nothing.
std::vector<SignalDef> pickSignals(const std::vector<SignalDef>& all, std::string_view list,
                                   std::string* unknown = nullptr);

// A cycle state's short name (FETCH, DEFER, EXEC, DEP, EXAM, or "-" when idle).
const char* cycleName(int cycle);

}  // namespace mira::core
