#include "signal_recorder.h"

#include <algorithm>
#include <cctype>

#include "normal_cpu.h"

namespace mira::core {

void SignalRecorder::reset() {
    clear();
    total_ = 0;
}

void SignalRecorder::setWindow(uint64_t from, uint64_t count) {
    // Kept within the numbers left after `from`, so a state before it never passes the
    // window's single compare.
    from_ = from;
    span_ = std::min(count, UINT64_MAX - from);
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
