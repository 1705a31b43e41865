// The machine's signals over time: one sample per clock state kept in a ring, and the table
// of signals (clock state, cycle, registers as buses and serial lines, lamps, device slot
// handshakes, serial port lines) read from the samples. The timing diagram draws it and the
// VCD writer exports it; the run loops sample only while a recorder is attached.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
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
class SignalRecorder {
public:
    static constexpr std::size_t kDefaultCapacity = 100000;

    explicit SignalRecorder(std::size_t capacity = kDefaultCapacity)
        : ring_(capacity ? capacity : 1) {}

    // Records the clock state that just ran in cycle `cycle` at `t`.
    void sample(const Machine& m, int t, int cycle) {
        // One compare for the export window: states before `from_` wrap to huge values.
        if (total_ - from_ >= span_) {
            ++total_;
            return;
        }
        // The drain sees the ring as it is, without the state being recorded.
        if (count_ == ring_.size() && onFull) onFull();
        if (count_ < ring_.size()) ++count_;
        ++total_;
        SignalSample& s = ring_[head_];
        if (++head_ == ring_.size()) head_ = 0;
        s.pc = static_cast<uint16_t>(m.pc);
        s.ma = static_cast<uint16_t>(m.ma);
        s.mb = static_cast<uint16_t>(m.mb);
        s.ac = static_cast<uint16_t>(m.ac);
        s.sr = static_cast<uint16_t>(m.sr);
        s.instructionAddress = static_cast<uint16_t>(m.instructionAddress);
        s.instruction = static_cast<uint32_t>(m.instructionCount);
        s.t = static_cast<uint8_t>(t);
        s.cycle = static_cast<uint8_t>(m.isWif() ? wifCycle(m) : cycle);
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
        const auto& sl = m.bus.slots;
        s.slots = static_cast<uint8_t>((sl[0].flag & 1) | (sl[1].flag & 1) << 1 | (sl[2].flag & 1) << 2 |
                                       (sl[3].flag & 1) << 3 | (sl[0].pulse & 1) << 4 |
                                       (sl[1].pulse & 1) << 5 | (sl[2].pulse & 1) << 6 |
                                       (sl[3].pulse & 1) << 7);
        s.serial = static_cast<uint8_t>(m.serialRegister);
    }

    // Forgets every sample and numbers the next state 0.
    void reset();
    // Forgets the samples held; numbering goes on.
    void clear() {
        count_ = 0;
        head_ = 0;
    }
    // Forgets the samples before state n (kept for a serial line's look back).
    void dropBefore(uint64_t n) {
        if (n > begin()) count_ = static_cast<std::size_t>(end() - std::min(n, end()));
    }
    // Keeps only states from..from+count-1 (numbered from the start), for an export window.
    void setWindow(uint64_t from, uint64_t count);

    std::size_t capacity() const { return ring_.size(); }
    std::size_t size() const { return count_; }
    // The number of the state after the newest; the oldest held is end() - size().
    uint64_t end() const { return std::min(total_, from_ + span_); }
    uint64_t begin() const { return end() - count_; }
    uint64_t statesSeen() const { return total_; }
    // The sample of state n, begin() <= n < end().
    const SignalSample& at(uint64_t n) const {
        const std::size_t back = static_cast<std::size_t>(end() - n);
        return ring_[(head_ + ring_.size() - back) % ring_.size()];
    }

    // Called when the ring is full, before the oldest sample is overwritten: a streaming
    // export takes the samples here and clears the ring.
    std::function<void()> onFull;

private:
    static int wifCycle(const Machine& m) {
        if (m.execLamp) return kCycleExecute;
        if (m.deferLamp) return kCycleDefer;
        return m.fetchLamp && m.run ? kCycleFetch : kCycleIdle;
    }

    std::vector<SignalSample> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    uint64_t total_ = 0;
    uint64_t from_ = 0;
    uint64_t span_ = UINT64_MAX;
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
