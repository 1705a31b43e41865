#include "signal_recorder.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstddef>
#include <cstring>

#include "normal_cpu.h"
#include "wif_cpu.h"

namespace mira::core {

SignalRecorder::SignalRecorder(std::size_t capacity)
    // The raw entries must cover as many states as the samples: a chain's head takes ten
    // entries for the four states of its first instruction, and comes after at least four
    // of single states (or a yield), so that three entries a state are enough.
    : raw_(std::max<std::size_t>(3 * capacity, 128)), ring_(capacity ? capacity : 1) {}

SignalRecorder::~SignalRecorder() = default;

void SignalRecorder::reset() {
    clear();
    total_ = 0;
    wholeUntil_ = 0;
}

void SignalRecorder::clear() {
    closeChain(0);
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
    wholeUntil_ = 0;
}

void SignalRecorder::fillWholeCycle(SignalSample& s, const Machine& m) {
    fill(s, m, m.ir, m.cycleState);
    // T is 0 at a cycle's start: its byte holds IR instead. The one memory word the cycle
    // reads (at PC for a fetch, at MB's address otherwise) rides above the 8-bit
    // instruction address; an IOT's input byte takes its place once the cycle ran.
    const int address = m.cycleState == kCycleFetch ? m.pc : m.mb;
    s.instructionAddress = static_cast<uint16_t>((m.instructionAddress & 255) |
                                                 (m.memory[address] & 255) << 8);
    s.cycle = static_cast<uint8_t>(kWholeCycle | (m.options.zeroPageMode ? kWholeCycleZeroPage : 0) |
                                   m.cycleState);
}

namespace {

// What a chain's head keeps of the WIF machine besides the sample and its payloads of
// RAM and instruction classes, laid out over a sample with the payload mark on its cycle
// byte.
struct WifState {
    uint32_t random;  // the generator's state
    uint16_t stack[kStackSize];
    uint16_t romPointer, addressMask;
    uint8_t h, l, flags;
    uint8_t mark;
    uint8_t stackDepth;
    uint8_t pad[5];
};
static_assert(sizeof(WifState) == sizeof(SignalSample));
static_assert(offsetof(WifState, mark) == offsetof(SignalSample, cycle));
constexpr uint8_t kFlagDc = 1, kFlagZ = 2, kFlagBank = 4, kFlagSkip = 8;
// A chain's head: the sample, the state, then RAM and the instruction classes over three
// payloads each; its first words entry follows.
constexpr std::size_t kRamPayloads = 3, kClassPayloads = 3;
constexpr std::size_t kHeadEntries = 2 + kRamPayloads + kClassPayloads;
constexpr std::size_t kPayloadBytes = sizeof(SignalSample) - 1;
static_assert(kRamSize <= kRamPayloads * kPayloadBytes && 64 <= kClassPayloads * kPayloadBytes);

// The generator's state before the draw that gave `after`: minstd_rand multiplies by
// 48271 modulo 2^31 - 1, and this is that multiplier's inverse.
constexpr uint64_t kRandomModulus = 2147483647, kRandomInverse = 1899818559;
static_assert(48271 * kRandomInverse % kRandomModulus == 1);

// Copies n bytes into a payload or out of one, around its marking cycle byte.
void copyPayload(void* to, const void* from, std::size_t n, bool intoPayload) {
    constexpr std::size_t kMark = offsetof(SignalSample, cycle);
    const std::size_t first = std::min(n, kMark);
    std::memcpy(to, from, first);
    if (n == first) return;
    auto* t = static_cast<unsigned char*>(to) + (intoPayload ? kMark + 1 : kMark);
    const auto* f = static_cast<const unsigned char*>(from) + (intoPayload ? kMark : kMark + 1);
    std::memcpy(t, f, n - first);
}

// An input module that gives an IOT run again the byte the real module gave.
class ReplayInput final : public Device {
public:
    int value = 255;
    int moduleType() const override { return kModuleKeypad; }
    int getData() override { return value; }
};

}  // namespace

void SignalRecorder::openChain(const Machine& m) {
    closeChain(0);
    reserve(kHeadEntries + 1);
    SignalSample& e = pending(0);
    fill(e, m, 0, kCycleExecute);
    e.cycle = kWholeCycle | kWifEntry | kCycleExecute;
    WifState st{};
    // The generator's next draw undone, for the state itself is not to be read.
    auto g = m.wifRandom;
    st.random = static_cast<uint32_t>(g() * kRandomInverse % kRandomModulus);
    for (int i = 0; i < kStackSize; ++i) st.stack[i] = static_cast<uint16_t>(m.stack[i]);
    st.stackDepth = static_cast<uint8_t>(m.stackDepth);
    st.romPointer = static_cast<uint16_t>(m.romPointer);
    st.addressMask = static_cast<uint16_t>(m.addressMask);
    st.h = static_cast<uint8_t>(m.h);
    st.l = static_cast<uint8_t>(m.l);
    st.flags = static_cast<uint8_t>((m.dc ? kFlagDc : 0) | (m.z ? kFlagZ : 0) |
                                    (m.bankFlag ? kFlagBank : 0) | (m.skip ? kFlagSkip : 0));
    st.mark = kPayload;
    pending(1) = std::bit_cast<SignalSample>(st);
    auto putBytes = [this](std::size_t first, const void* from, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(from);
        for (std::size_t k = 0; n; ++k) {
            SignalSample& p = pending(first + k);
            p.cycle = kPayload;
            const std::size_t part = std::min(n, kPayloadBytes);
            copyPayload(reinterpret_cast<unsigned char*>(&p), b, part, true);
            b += part;
            n -= part;
        }
    };
    putBytes(2, m.ram.data(), kRamSize);
    putBytes(2 + kRamPayloads, m.wifInstructionClass.data(), m.wifInstructionClass.size());
    commit(kHeadEntries);
    chainOpen_ = true;
    chainLeft_ = kChainInstructions / kChainWords;
    nextChainEntry(kWifWords);
}

void SignalRecorder::nextChainEntry(uint8_t kind) {
    endChainEntry();
    if (chainLeft_) --chainLeft_;
    reserve(1);
    SignalSample& w = pending(0);
    w = SignalSample{};
    w.cycle = kind;
    wordsEntry_ = rawHead_;
    chainWords_ = 0;
    entryOpen_ = true;
    commit(1);
}

// Records each state of a whole cycle or instruction run again; the device lines of an
// IOT come from its payload, and the next state sees them as the real one did.
struct ReplayProbe {
    static constexpr bool kWholeCycles = false;
    const SignalRecorder& r;
    uint64_t n;
    const SignalSample* lines = nullptr;
    uint64_t quietBelow = 0;  // states before this are run only to reach the next
    void operator()(Machine& m, int t, int cycle, int /*result*/) {
        if (lines && t > 0) {
            const uint8_t slots = SignalRecorder::payloadByte(*lines, std::min(t, SignalRecorder::kLastLinesState) - 1);
            for (int i = 0; i < kSlotCount; ++i) {
                m.bus.slots[i].flag = static_cast<uint8_t>((slots >> i) & 1);
                m.bus.slots[i].pulse = static_cast<uint8_t>((slots >> (i + 4)) & 1);
            }
        }
        if (n < quietBelow) {
            ++n;
            return;
        }
        SignalSample s;
        SignalRecorder::fill(s, m, t, cycle);
        r.add(n++, SignalRecorder::decoded(s));
    }
};

Machine& SignalRecorder::replayFrom(const SignalSample& e, bool wif) const {
    if (!replay_) replay_ = std::make_unique<Machine>();
    Machine& m = *replay_;
    m.options.mode = wif ? OperatingMode::Wif : OperatingMode::Normal;
    m.pc = e.pc;
    m.ma = e.ma;
    m.mb = e.mb;
    m.ac = e.ac;
    m.sr = e.sr;
    m.c = (e.status & kSampleCarry) ? 1 : 0;
    m.instructionCount = static_cast<int32_t>(e.instruction);
    m.t = 0;
    for (int i = 0; i < kInstructionLampCount; ++i) m.instructionLamps[i] = (e.lamps >> i) & 1;
    m.run = e.status & kSampleRun;
    m.fetchLamp = e.status & kSampleFetch;
    m.deferLamp = e.status & kSampleDefer;
    m.execLamp = e.status & kSampleExec;
    m.serialAccess = e.status & kSampleSerialAccess;
    m.externalControl = ((e.status & kSampleLineDep) ? 1 : 0) | ((e.status & kSampleLineLa) ? 2 : 0);
    for (int i = 0; i < kSlotCount; ++i) {
        DeviceSlot& s = m.bus.slots[i];
        s.flag = static_cast<uint8_t>((e.slots >> i) & 1);
        s.pulse = static_cast<uint8_t>((e.slots >> (i + 4)) & 1);
        s.type = kModuleNone;
        s.device = nullptr;
    }
    m.serialRegister = e.serial;
    return m;
}

void SignalRecorder::replayInput(Machine& m, int input) const {
    if ((m.ir & 16) || !(m.ir & 2)) return;
    if (!replayInput_) replayInput_ = std::make_unique<ReplayInput>();
    static_cast<ReplayInput&>(*replayInput_).value = input;
    DeviceSlot& s = m.bus.slots[(m.ir >> 3) & 1];
    s.type = kModuleKeypad;
    s.device = replayInput_.get();
}

void SignalRecorder::decodeWholeCycle(const SignalSample& e, const SignalSample* lines,
                                      uint64_t first, uint64_t quietBelow) const {
    Machine& m = replayFrom(e, false);
    m.ir = e.t;
    m.instructionAddress = e.instructionAddress & 255;
    m.cycleState = e.cycle & 7;
    m.options.zeroPageMode = (e.cycle & kWholeCycleZeroPage) != 0;
    m.memory[m.cycleState == kCycleFetch ? m.pc : m.mb] = e.instructionAddress >> 8;
    if (lines) replayInput(m, e.instructionAddress >> 8);
    ReplayProbe probe{*this, first, lines, quietBelow};
    int states = 0;
    normal::runWholeCycle(m, states, probe);
}

void SignalRecorder::decodeNormalPart(const SignalSample& part, uint64_t first,
                                      uint64_t quietBelow) const {
    Machine& m = *replay_;
    int states = 0;
    if (part.cycle == kIotLines) {
        replayInput(m, payloadByte(part, kIotInputByte));
        ReplayProbe probe{*this, first, &part, quietBelow};
        normal::runWholeCycle(m, states, probe);
        return;
    }
    ReplayProbe probe{*this, first, nullptr, quietBelow};
    const int count = payloadByte(part, kBytesCountByte);
    for (int i = 0; i < count; ++i) {
        m.memory[m.cycleState == kCycleFetch ? m.pc : m.mb] = payloadByte(part, i);
        normal::runWholeCycle(m, states, probe);
    }
}

void SignalRecorder::decodeChainHead(std::size_t i) const {
    const std::size_t size = raw_.size();
    auto entry = [&](std::size_t k) -> const SignalSample& { return raw_[(i + k) % size]; };
    Machine& m = replayFrom(entry(0), true);
    const auto st = std::bit_cast<WifState>(entry(1));
    m.cycleState = kCycleExecute;
    m.addressMask = st.addressMask;
    for (int k = 0; k < kStackSize; ++k) m.stack[k] = st.stack[k];
    m.stackDepth = st.stackDepth;
    m.romPointer = st.romPointer;
    m.h = st.h;
    m.l = st.l;
    m.dc = (st.flags & kFlagDc) ? 1 : 0;
    m.z = (st.flags & kFlagZ) ? 1 : 0;
    m.bankFlag = (st.flags & kFlagBank) != 0;
    m.skip = (st.flags & kFlagSkip) != 0;
    m.wifRandom.seed(st.random);
    auto getBytes = [&](std::size_t first, void* to, std::size_t n) {
        auto* b = static_cast<uint8_t*>(to);
        for (std::size_t k = 0; n; ++k) {
            const std::size_t part = std::min(n, kPayloadBytes);
            copyPayload(b, reinterpret_cast<const unsigned char*>(&entry(first + k)), part, false);
            b += part;
            n -= part;
        }
    };
    getBytes(2, m.ram.data(), kRamSize);
    getBytes(2 + kRamPayloads, m.wifInstructionClass.data(), m.wifInstructionClass.size());
}

void SignalRecorder::decodeChainWords(const SignalSample& w, uint64_t first, uint64_t quietBelow) const {
    Machine& m = *replay_;
    ReplayProbe probe{*this, first, nullptr, quietBelow};
    const auto* bytes = reinterpret_cast<const unsigned char*>(&w);
    const int count = payloadByte(w, kWordsCountByte);
    for (int i = 0; i < count; ++i) {
        uint16_t word;
        std::memcpy(&word, bytes + 2 * (i + (i >> 3)), sizeof word);
        m.memory[m.pc & m.addressMask] = word;
        for (int r = kStepContinue; r == kStepContinue;) {
            const int t = m.t;
            r = wif::step(m);
            probe(m, t, kCycleExecute, r);
        }
    }
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
    // The open chain's words are taken now: the next instruction starts a new chain.
    closeChain(0);
    decoding_ = true;
    const std::size_t size = raw_.size();
    auto next = [size](std::size_t i) { return i + 1 == size ? 0 : i + 1; };
    auto previous = [size](std::size_t i) { return i == 0 ? size - 1 : i - 1; };
    std::size_t oldest = (rawHead_ + size - rawCount_) % size;
    uint64_t states = 0;
    for (std::size_t k = 0, i = oldest; k < rawCount_; ++k, i = next(i)) states += statesOf(raw_[i]);
    // Lost entries leave a gap after the samples held. Entries whose states the ring would
    // overwrite anyway are not decoded.
    if (overwritten_) count_ = 0;
    std::size_t dropped = 0;
    while (!onFull && rawCount_ > 1 && states - statesOf(raw_[oldest]) >= ring_.size()) {
        states -= statesOf(raw_[oldest]);
        oldest = next(oldest);
        --rawCount_;
        ++dropped;
        count_ = 0;
    }
    uint64_t n = rawEnd_ - states;
    const uint64_t quietBelow = n;
    // A chain runs again from its head: back to it, adding no state before the first kept.
    if (inChain(raw_[oldest])) {
        std::size_t i = oldest, back = 0;
        uint64_t before = 0;
        while (back < dropped && !chainHead(raw_[i]) && inChain(raw_[i])) {
            i = previous(i);
            ++back;
            before += statesOf(raw_[i]);
        }
        if (chainHead(raw_[i])) {
            oldest = i;
            rawCount_ += back;
            n -= before;
        }
    }
    if (!count_) end_ = quietBelow;
    bool chainReady = false;
    for (std::size_t i = oldest; rawCount_;) {
        const std::size_t at = i;
        const SignalSample& e = raw_[at];
        i = next(i);
        --rawCount_;
        // A payload read with its entry, or one whose entry the ring overwrote.
        if (e.cycle == kPayload) continue;
        if (inChain(e)) {
            // Without its head (overwritten) a chain's states are lost, before all kept.
            if (!chainReady) {
                if (!count_) end_ = n + statesOf(e);
            } else if (e.cycle == kWifWords)
                decodeChainWords(e, n, quietBelow);
            else
                decodeNormalPart(e, n, quietBelow);
            n += statesOf(e);
            continue;
        }
        chainReady = chainHead(e);
        if ((e.cycle & kWifEntry) && chainReady) {
            decodeChainHead(at);
            continue;
        }
        // A payload is written right after its entry, so it is always there.
        const SignalSample* payload = nullptr;
        if ((e.cycle & kPayloadFollows) && rawCount_) {
            payload = &raw_[i];
            i = next(i);
            --rawCount_;
        }
        if (e.cycle & kWholeCycle)
            decodeWholeCycle(e, payload, n, quietBelow);
        else
            add(n, decoded(e));
        n += statesOf(e);
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
