#include "signal_recorder.h"

#include <algorithm>
#include <cctype>

#include "normal_cpu.h"

namespace mira::core {

SignalRecorder::SignalRecorder(std::size_t capacity)
    : raw_(capacity ? capacity : 1), ring_(capacity ? capacity : 1) {}

SignalRecorder::~SignalRecorder() = default;

void SignalRecorder::reset() {
    clear();
    total_ = 0;
}

void SignalRecorder::clear() {
    rawCount_ = 0;
    overwritten_ = false;
    count_ = 0;
    head_ = 0;
}

void SignalRecorder::setWindow(uint64_t from, uint64_t count) {
    // Kept within the numbers left after `from`, so a state before it never passes the
    // window's single compare.
    from_ = from;
    span_ = std::min(count, UINT64_MAX - from);
}

SignalSample SignalRecorder::beforeWholeCycle(const Machine& m) {
    SignalSample s;
    fill(s, m, m.ir, m.cycleState);
    // T is 0 at a cycle's start: its byte holds IR instead. The one memory word the cycle
    // reads (at PC for a fetch, at MB's address otherwise) rides above the 8-bit
    // instruction address.
    const int address = m.cycleState == kCycleFetch ? m.pc : m.mb;
    s.instructionAddress = static_cast<uint16_t>((m.instructionAddress & 255) |
                                                 (m.memory[address] & 255) << 8);
    s.cycle = static_cast<uint8_t>(kWholeCycle | (m.options.zeroPageMode ? kWholeCycleZeroPage : 0) |
                                   m.cycleState);
    return s;
}

// Records each state of a whole cycle run again.
struct ReplayProbe {
    static constexpr bool kWholeCycles = false;
    const SignalRecorder& r;
    uint64_t n;
    void operator()(Machine& m, int t, int cycle, int /*result*/) {
        SignalSample s;
        SignalRecorder::fill(s, m, t, cycle);
        r.add(n++, s);
    }
};

void SignalRecorder::decodeWholeCycle(const SignalSample& e, uint64_t first) const {
    if (!replay_) replay_ = std::make_unique<Machine>();
    Machine& m = *replay_;
    m.pc = e.pc;
    m.ma = e.ma;
    m.mb = e.mb;
    m.ac = e.ac;
    m.sr = e.sr;
    m.ir = e.t;
    m.c = (e.status & kSampleCarry) ? 1 : 0;
    m.instructionAddress = e.instructionAddress & 255;
    m.instructionCount = static_cast<int32_t>(e.instruction);
    m.cycleState = e.cycle & 7;
    m.t = 0;
    m.options.zeroPageMode = (e.cycle & kWholeCycleZeroPage) != 0;
    for (int i = 0; i < kInstructionLampCount; ++i) m.instructionLamps[i] = (e.lamps >> i) & 1;
    m.run = e.status & kSampleRun;
    m.fetchLamp = e.status & kSampleFetch;
    m.deferLamp = e.status & kSampleDefer;
    m.execLamp = e.status & kSampleExec;
    m.serialAccess = e.status & kSampleSerialAccess;
    m.externalControl = ((e.status & kSampleLineDep) ? 1 : 0) | ((e.status & kSampleLineLa) ? 2 : 0);
    for (int i = 0; i < kSlotCount; ++i) {
        m.bus.slots[i].flag = static_cast<uint8_t>((e.slots >> i) & 1);
        m.bus.slots[i].pulse = static_cast<uint8_t>((e.slots >> (i + 4)) & 1);
    }
    m.serialRegister = e.serial;
    m.memory[m.cycleState == kCycleFetch ? m.pc : m.mb] = e.instructionAddress >> 8;
    ReplayProbe probe{*this, first};
    int states = 0;
    normal::runWholeCycle(m, states, probe);
}

void SignalRecorder::add(uint64_t n, const SignalSample& s) const {
    if (n - from_ >= span_) return;
    // The drain sees the ring as it is, without the state being added.
    if (count_ == ring_.size() && onFull) {
        end_ = n;
        onFull();
    }
    ring_[head_] = s;
    if (++head_ == ring_.size()) head_ = 0;
    if (count_ < ring_.size()) ++count_;
    end_ = n + 1;
}

void SignalRecorder::decodeEntries() const {
    decoding_ = true;
    const std::size_t size = raw_.size();
    std::size_t oldest = (rawHead_ + size - rawCount_) % size;
    uint64_t states = 0;
    for (std::size_t k = 0, i = oldest; k < rawCount_; ++k, i = i + 1 == size ? 0 : i + 1)
        states += statesOf(raw_[i]);
    // Lost entries leave a gap after the samples held. Entries whose states the ring would
    // overwrite anyway are not decoded.
    if (overwritten_) count_ = 0;
    while (!onFull && rawCount_ > 1 && states - statesOf(raw_[oldest]) >= ring_.size()) {
        states -= statesOf(raw_[oldest]);
        oldest = oldest + 1 == size ? 0 : oldest + 1;
        --rawCount_;
        count_ = 0;
    }
    uint64_t n = rawEnd_ - states;
    if (!count_) end_ = n;
    for (std::size_t i = oldest; rawCount_; --rawCount_) {
        const SignalSample& e = raw_[i];
        if (++i == size) i = 0;
        if (e.cycle & kWholeCycle) {
            decodeWholeCycle(e, n);
            n += kCycleStates;
        } else {
            add(n++, decoded(e));
        }
    }
    overwritten_ = false;
    decoding_ = false;
}

namespace {

uint32_t registerOf(const SignalSample& s, int reg) {
    switch (reg) {
        case kRegPc: return s.pc;
        case kRegMa: return s.ma;
        case kRegMb: return s.mb;
        case kRegAc: return s.ac;
        default: return s.sr;
    }
}

// The Normal machine shifts its registers at T2..T9 and T14..T21, one bit a state,
// entering at the top.
bool shiftState(int t) { return (t >= 2 && t <= 9) || (t >= 14 && t <= 21); }

}  // namespace

SignalValue signalValue(const SignalDef& def, const SignalRecorder& r, uint64_t n) {
    const SignalSample& s = r.at(n);
    switch (def.source) {
        case SignalSource::ClockState: return {s.t};
        case SignalSource::Cycle: return {s.cycle};
        case SignalSource::Register: return {registerOf(s, def.arg)};
        case SignalSource::SerialLine: {
            // The line carries a bit while the register shifts: from the window's first
            // state to this one every value is the one before shifted right with a new top
            // bit, and the register has moved. A register that only ever holds all zeros
            // (or all ones) in the window shows nothing: shifting or not, nothing moved.
            if (!shiftState(s.t) || s.cycle < kCycleDeposit) return {0, true};
            const int first = s.t <= 9 ? 2 : 14;
            bool moved = false;
            for (uint64_t k = n;; --k) {
                if (k == r.begin()) return {0, true};
                const SignalSample& cur = r.at(k);
                const uint32_t now = registerOf(cur, def.arg);
                const uint32_t before = registerOf(r.at(k - 1), def.arg);
                if (now > 255 || now != ((before >> 1) | (now & 128))) return {0, true};
                moved = moved || now != before;
                if (cur.t == first) break;
            }
            if (!moved) return {0, true};
            return {(registerOf(s, def.arg) >> 7) & 1};
        }
        case SignalSource::Lamp: return {(s.lamps >> def.arg) & 1u};
        case SignalSource::Status: return {(s.status & def.arg) ? 1u : 0u};
        case SignalSource::SlotFlag: return {(s.slots >> def.arg) & 1u};
        case SignalSource::SlotPulse: return {(s.slots >> (def.arg + 4)) & 1u};
        case SignalSource::SlotHandshake:
            return {(((s.slots >> def.arg) & 1u) << 1) | ((s.slots >> (def.arg + 4)) & 1u)};
        case SignalSource::SerialRegister: return {s.serial};
    }
    return {};
}

const char* cycleName(int cycle) {
    switch (cycle) {
        case kCycleDeposit: return "DEP";
        case kCycleExamine: return "EXAM";
        case kCycleFetch: return "FETCH";
        case kCycleDefer: return "DEFER";
        case kCycleExecute: return "EXEC";
        default: return "-";
    }
}

std::vector<SignalDef> machineSignals(const Machine& m, const ModuleNamer& moduleName) {
    const bool wif = m.isWif();
    const int addressBits = wif ? 10 : 8;
    const int wordBits = wif ? 16 : 8;
    std::vector<SignalDef> v;
    auto add = [&v](const char* scope, std::string name, int width, SignalSource src,
                    uint8_t arg = 0) { v.push_back({scope, std::move(name), width, src, arg}); };
    add("cpu", "T", 5, SignalSource::ClockState);
    add("cpu", "cycle", 3, SignalSource::Cycle);
    static constexpr const char* kRegNames[] = {"PC", "MA", "MB", "AC", "SR"};
    const int widths[] = {addressBits, addressBits, wordBits, wordBits, 8};
    for (uint8_t reg = kRegPc; reg <= kRegSr; ++reg)
        add(reg == kRegSr ? "panel" : "cpu", kRegNames[reg], widths[reg], SignalSource::Register,
            reg);
    if (!wif)
        for (uint8_t reg = kRegPc; reg <= kRegAc; ++reg)
            add("cpu", std::string(kRegNames[reg]) + "_ser", 1, SignalSource::SerialLine, reg);
    add("cpu", "C", 1, SignalSource::Status, kSampleCarry);
    static constexpr const char* kLampNames[] = {"AND", "TAD", "ISZ", "DCA",
                                                 "JMB", "JMP", "IOT", "OPR"};
    for (uint8_t op = 0; op < kInstructionLampCount; ++op)
        add("panel", kLampNames[op], 1, SignalSource::Lamp, op);
    add("panel", "FETCH", 1, SignalSource::Status, kSampleFetch);
    add("panel", "DEFER", 1, SignalSource::Status, kSampleDefer);
    add("panel", "EXEC", 1, SignalSource::Status, kSampleExec);
    add("panel", "RUN", 1, SignalSource::Status, kSampleRun);
    static constexpr const char* kSlotNames[] = {"IN0", "IN1", "OUT0", "OUT1"};
    for (uint8_t slot = 0; slot < kSlotCount; ++slot) {
        add("devices", std::string(kSlotNames[slot]) + "_flag", 1, SignalSource::SlotFlag, slot);
        add("devices", std::string(kSlotNames[slot]) + (slot < kFirstOutputSlot ? "_ready" : "_reset"),
            1, SignalSource::SlotPulse, slot);
    }
    if (wif) {
        add("devices", "SERIAL", 8, SignalSource::SerialRegister);
        add("devices", "SER_access", 1, SignalSource::Status, kSampleSerialAccess);
        add("devices", "LA", 1, SignalSource::Status, kSampleLineLa);
        add("devices", "DEP", 1, SignalSource::Status, kSampleLineDep);
    }
    for (uint8_t slot = 0; slot < kSlotCount; ++slot) {
        const int type = m.bus.slots[slot].type;
        if (type == kModuleNone) continue;
        std::string name = moduleName ? moduleName(type) : std::string();
        if (name.empty()) name = "module" + std::to_string(type);
        add("modules", name + "_" + kSlotNames[slot], 2, SignalSource::SlotHandshake, slot);
    }
    return v;
}

namespace {
bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

std::vector<SignalDef> pickSignals(const std::vector<SignalDef>& all, std::string_view list,
                                   std::string* unknown) {
    std::vector<SignalDef> picked;
    std::vector<bool> taken(all.size());
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (item.empty()) continue;
        bool found = false;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const SignalDef& d = all[i];
            if (sameText(item, d.name) || sameText(item, d.fullName()) || sameText(item, d.scope)) {
                found = true;
                if (!taken[i]) picked.push_back(d);
                taken[i] = true;
            }
        }
        if (!found && unknown && unknown->empty()) *unknown = std::string(item);
    }
    return picked;
}

}  // namespace mira::core
