#include "machine_snapshot.h"

#include <algorithm>

#include "run_control.h"

namespace mira::core {

namespace {

constexpr uint16_t kEmulatorVersion = 1;
constexpr uint16_t kRunVersion = 1;
constexpr uint16_t kModuleVersion = 1;
// A whole WIF machine with its modules fits without growing the vector.
constexpr size_t kReserve = 8192;

Device* openModule(const EmulatorParts& parts, int type) {
    Device* d = parts.machine.bus.module(type);
    return d && (!parts.isOpen || parts.isOpen(*d)) ? d : nullptr;
}

std::string nameOf(const EmulatorParts& parts, int type) {
    if (parts.moduleName) {
        std::string name = parts.moduleName(type);
        if (!name.empty()) return name;
    }
    return "module type " + std::to_string(type);
}

void saveRun(SnapshotWriter& w, const RunControl* run) {
    w.beginSection("RUNC", kRunVersion);
    w.i32(run ? run->displayRefreshCounter : 0);
    w.u8(static_cast<uint8_t>(run ? run->throttleStep : 0));
    w.endSection();
}

void restoreRun(SnapshotReader& r, RunControl* run) {
    r.beginSection("RUNC", kRunVersion);
    const int32_t counter = r.i32In(0, 1 << 30);
    const int step = r.u8();
    if (step >= static_cast<int>(RunControl::kThrottleLimits.size()))
        throw SnapshotError("the state data is damaged");
    r.endSection();
    if (run) {
        run->displayRefreshCounter = counter;
        run->throttleStep = step;
    }
}

// Reads the module list of a snapshot without restoring anything; the reader stands after
// the modules.
std::vector<int> readModuleTypes(SnapshotReader& r) {
    std::vector<int> types;
    while (r.peekTag() == "MODL") {
        r.beginSection("MODL", kModuleVersion);
        const int type = r.u8();
        if (type <= kModuleNone || type >= kModuleTypeCount ||
            std::find(types.begin(), types.end(), type) != types.end())
            throw SnapshotError("the state data is damaged (modules)");
        types.push_back(type);
        while (!r.peekTag().empty()) r.skipSection();
        r.endSection();
    }
    return types;
}

void restoreAll(const EmulatorParts& parts, const std::vector<uint8_t>& snapshot) {
    SnapshotReader r(snapshot);
    r.beginSection("EMUL", kEmulatorVersion);
    parts.machine.restoreState(r);
    restoreRun(r, parts.run);
    while (r.peekTag() == "MODL") {
        r.beginSection("MODL", kModuleVersion);
        Device* module = openModule(parts, r.u8());
        if (!module) throw SnapshotError("the state data is damaged (modules)");
        module->restoreState(r);
        r.endSection();
    }
    while (!r.peekTag().empty()) {
        const std::string tag = r.peekTag();
        const auto part = std::find_if(parts.hostParts.begin(), parts.hostParts.end(),
                                       [&](const HostPart& p) { return p.tag == tag; });
        if (part == parts.hostParts.end())
            r.skipSection();
        else
            part->part->restoreState(r);
    }
    r.endSection();
    if (!r.atEnd()) throw SnapshotError("the state data is damaged (bytes after the end)");
}

}  // namespace

void SerialPortState::save(SnapshotWriter& w) const {
    w.beginSection(kTag, 1);
    w.u8(static_cast<uint8_t>(received));
    w.u32(static_cast<uint32_t>(offered.size()));
    for (int b : offered) w.u8(static_cast<uint8_t>(b));
    w.boolean(mirror);
    w.u8(static_cast<uint8_t>(mirrorDelayIndex));
    w.i64(mirrorDueUs);
    w.endSection();
}

void SerialPortState::restore(SnapshotReader& r) {
    r.beginSection(kTag, 1);
    received = r.u8();
    const uint32_t n = r.u32();
    if (n > r.remaining()) throw SnapshotError("the state data is damaged");
    offered.assign(n, 0);
    for (int& b : offered) b = r.u8();
    mirror = r.boolean();
    mirrorDelayIndex = r.u8();
    mirrorDueUs = r.i64();
    if (mirrorDelayIndex >= kMirrorDelayCount || mirrorDueUs < -1)
        throw SnapshotError("the state data is damaged");
    r.endSection();
}

std::vector<int> openModuleTypes(const EmulatorParts& parts) {
    std::vector<int> types;
    for (int type = kModuleNone + 1; type < kModuleTypeCount; ++type)
        if (openModule(parts, type)) types.push_back(type);
    return types;
}

void captureEmulator(const EmulatorParts& parts, std::vector<uint8_t>& out) {
    if (out.capacity() < kReserve) out.reserve(kReserve);
    SnapshotWriter w(std::move(out));
    w.beginSection("EMUL", kEmulatorVersion);
    parts.machine.saveState(w);
    saveRun(w, parts.run);
    for (int type = kModuleNone + 1; type < kModuleTypeCount; ++type) {
        const Device* module = openModule(parts, type);
        if (!module) continue;
        w.beginSection("MODL", kModuleVersion);
        w.u8(static_cast<uint8_t>(type));
        module->saveState(w);
        w.endSection();
    }
    for (const HostPart& p : parts.hostParts) p.part->saveState(w);
    w.endSection();
    out = w.take();
}

std::vector<uint8_t> captureEmulator(const EmulatorParts& parts) {
    std::vector<uint8_t> out;
    captureEmulator(parts, out);
    return out;
}

std::vector<int> snapshotModuleTypes(const std::vector<uint8_t>& snapshot) {
    SnapshotReader r(snapshot);
    r.beginSection("EMUL", kEmulatorVersion);
    r.skipSection();  // the machine
    r.skipSection();  // the run loop
    return readModuleTypes(r);
}

SnapshotOutline snapshotOutline(const std::vector<uint8_t>& snapshot) {
    SnapshotOutline o;
    o.modules = snapshotModuleTypes(snapshot);
    // The machine's section starts with the mode and ends with the slot table, five bytes
    // a slot with the type third (machine_state.cpp).
    SnapshotReader r(snapshot);
    r.beginSection("EMUL", kEmulatorVersion);
    const size_t start = snapshot.size() - r.remaining();
    r.beginSection("MACH", 0xFFFF);
    const size_t body = snapshot.size() - r.remaining();
    const uint32_t length = static_cast<uint32_t>(snapshot[start + 6]) |
                            static_cast<uint32_t>(snapshot[start + 7]) << 8 |
                            static_cast<uint32_t>(snapshot[start + 8]) << 16 |
                            static_cast<uint32_t>(snapshot[start + 9]) << 24;
    constexpr uint32_t kSlotBytes = 5;
    if (length < 1 + kSlotCount * kSlotBytes) throw SnapshotError("the state data is damaged");
    const int mode = r.u8();
    if (mode > 1) throw SnapshotError("the state data is damaged");
    o.mode = mode == 1 ? OperatingMode::Wif : OperatingMode::Normal;
    const size_t slots = body + length - kSlotCount * kSlotBytes;
    for (int i = 0; i < kSlotCount; ++i) {
        o.slotTypes[i] = snapshot[slots + i * kSlotBytes + 2];
        if (o.slotTypes[i] >= kModuleTypeCount) throw SnapshotError("the state data is damaged");
    }
    return o;
}

std::string moduleMismatch(const EmulatorParts& parts, const std::vector<uint8_t>& snapshot) {
    const std::vector<int> saved = snapshotModuleTypes(snapshot);
    const std::vector<int> open = openModuleTypes(parts);
    for (int type : saved)
        if (std::find(open.begin(), open.end(), type) == open.end())
            return "the state was saved with the " + nameOf(parts, type) +
                   " module, which is not open";
    for (int type : open)
        if (std::find(saved.begin(), saved.end(), type) == saved.end())
            return "the " + nameOf(parts, type) +
                   " module is open, but the state was saved without it";
    return {};
}

std::string restoreEmulator(const EmulatorParts& parts, const std::vector<uint8_t>& snapshot) {
    try {
        if (std::string mismatch = moduleMismatch(parts, snapshot); !mismatch.empty())
            return mismatch;
    } catch (const SnapshotError& e) {
        return e.what();
    }
    const std::vector<uint8_t> before = captureEmulator(parts);
    try {
        restoreAll(parts, snapshot);
        return {};
    } catch (const SnapshotError& e) {
        // The state taken a moment ago is always good.
        restoreAll(parts, before);
        return e.what();
    }
}

}  // namespace mira::core
