// The machine's part of a machine state: section "MACH".
#include <string>

#include "machine.h"

namespace mira::core {

namespace {

constexpr uint16_t kMachineStateVersion = 1;
constexpr int32_t kWordMaxWif = 65535;
constexpr int32_t kByteMax = 255;
// The last clock state a cycle can be left at (a finished panel cycle), both modes.
constexpr int32_t kLastT = 24;
constexpr int32_t kNoteDelayLimit = 100000;

// The random-byte generator keeps one number; minstd_rand has no reader for it, so it is
// found from the next output: state = next × 48271⁻¹ mod (2³¹ − 1).
uint32_t randomState(const std::minstd_rand& engine) {
    std::minstd_rand copy = engine;
    const uint64_t next = copy();
    constexpr uint64_t kInverse = 1899818559;  // of 48271, modulo 2147483647
    return static_cast<uint32_t>(next * kInverse % std::minstd_rand::modulus);
}

template <size_t N>
void saveBytes(SnapshotWriter& w, const std::array<uint8_t, N>& a) {
    w.raw(a.data(), N);
}

template <size_t N>
void restoreFlags(SnapshotReader& r, std::array<uint8_t, N>& a) {
    for (auto& v : a) v = r.boolean() ? 1 : 0;
}

void saveChannel(SnapshotWriter& w, const SerialChannel& ch) {
    w.u8(static_cast<uint8_t>(ch.dest));
    w.u8(static_cast<uint8_t>(ch.src));
}

void restoreChannel(SnapshotReader& r, SerialChannel& ch) {
    ch.dest = r.u8();
    ch.src = r.u8();
}

void saveTimerOrNone(SnapshotWriter& w, const std::unique_ptr<Timer>& t) {
    w.boolean(t != nullptr);
    if (t) saveTimer(w, *t);
}

// A machine without timers (a bare test machine) skips a saved timer's values.
void restoreTimerOrNone(SnapshotReader& r, std::unique_ptr<Timer>& t) {
    if (!r.boolean()) return;
    if (t) {
        restoreTimer(r, *t);
    } else {
        r.i32In(0, 1 << 30);
        r.i64();
    }
}

}  // namespace

void Machine::saveState(SnapshotWriter& w) const {
    w.beginSection("MACH", kMachineStateVersion);
    // Options that decide execution.
    w.u8(isWif() ? 1 : 0);
    w.boolean(options.zeroPageMode);
    w.boolean(options.slowDepositExamine);
    w.u8(static_cast<uint8_t>(options.outputResetMode));
    w.boolean(options.autoSlowStepOnBreak);
    w.boolean(options.ignoreBreakpoints);
    w.i32(melodyNoteDelay);

    for (int32_t v : {pc, ma, mb, ac, ir, sr, c, z, dc}) w.i32(v);
    for (int i = 0; i < memorySize; ++i) w.u16(static_cast<uint16_t>(memory[i]));
    w.raw(breakpoints.data(), static_cast<size_t>(memorySize));
    w.i32(lastBreakStop);

    w.boolean(run);
    w.u8(static_cast<uint8_t>(cycleState));
    w.u8(static_cast<uint8_t>(t));
    saveChannel(w, chA);
    saveChannel(w, chB);
    saveChannel(w, chC);
    for (bool lamp : instructionLamps) w.boolean(lamp);
    for (bool b : {fetchLamp, deferLamp, execLamp, deferPending, pcTransferLoaded}) w.boolean(b);
    w.i32(instructionAddress);
    w.i32(instructionCount);
    w.i32(countRefreshCounter);

    saveBytes(w, switches);
    w.u8(static_cast<uint8_t>(externalMask1));
    w.u8(static_cast<uint8_t>(externalMask2));
    for (int32_t v : {lamps.pc, lamps.ma, lamps.mb, lamps.ac}) w.i32(v);

    saveBytes(w, ram);
    saveBytes(w, eeprom);
    w.u8(static_cast<uint8_t>(eepromPointer));
    for (int32_t v : stack) w.u8(static_cast<uint8_t>(v));
    w.u8(static_cast<uint8_t>(stackDepth));
    w.boolean(stackOverflow);
    w.u16(static_cast<uint16_t>(romPointer));
    w.u8(static_cast<uint8_t>(h));
    w.u8(static_cast<uint8_t>(l));
    w.u8(static_cast<uint8_t>(serialRegister));
    w.boolean(serialAccess);
    w.u8(static_cast<uint8_t>(externalControl));
    w.boolean(bankFlag);
    w.u8(static_cast<uint8_t>(instructionTableState));
    w.boolean(codeTimerFlag);
    w.boolean(skip);
    w.u16(static_cast<uint16_t>(wifWord));
    w.u8(static_cast<uint8_t>(wifOpcode));
    w.boolean(wifPcWritten);
    w.boolean(wifByteReceived);
    for (int8_t k : wifInstructionClass) w.u8(static_cast<uint8_t>(k));
    w.u32(randomState(wifRandom));
    saveTimerOrNone(w, codeTimer);
    saveTimerOrNone(w, eepTimer);

    for (const DeviceSlot& s : bus.slots) {
        w.u8(static_cast<uint8_t>(s.output));
        w.u8(static_cast<uint8_t>(s.input));
        w.u8(static_cast<uint8_t>(s.type));
        w.u8(s.flag);
        w.u8(s.pulse);
    }
    w.endSection();
}

void Machine::restoreState(SnapshotReader& r) {
    r.beginSection("MACH", kMachineStateVersion);
    const int mode = r.u8();
    if (mode > 1) throw SnapshotError("the state data is damaged");
    options.mode = mode == 1 ? OperatingMode::Wif : OperatingMode::Normal;
    updateMemorySize();
    options.zeroPageMode = r.boolean();
    options.slowDepositExamine = r.boolean();
    options.outputResetMode = r.u8();
    if (options.outputResetMode > 1) throw SnapshotError("the state data is damaged");
    options.autoSlowStepOnBreak = r.boolean();
    options.ignoreBreakpoints = r.boolean();
    melodyNoteDelay = r.i32In(1, kNoteDelayLimit);

    const int32_t wordMax = isWif() ? kWordMaxWif : kByteMax;
    const int32_t lastAddress = memorySize - 1;
    pc = r.i32In(0, lastAddress);
    ma = r.i32In(0, lastAddress);
    mb = r.i32In(0, wordMax);
    ac = r.i32In(0, wordMax);
    ir = r.i32In(0, kWordMaxWif);
    sr = r.i32In(0, kByteMax);
    c = r.i32In(0, 1);
    z = r.i32In(0, 1);
    dc = r.i32In(0, 1);
    for (int i = 0; i < memorySize; ++i) {
        memory[i] = r.u16();
        if (memory[i] > wordMax) throw SnapshotError("the state data is damaged");
    }
    for (int i = 0; i < memorySize; ++i) breakpoints[i] = r.boolean() ? 1 : 0;
    lastBreakStop = r.i32In(-1, lastAddress);

    run = r.boolean();
    cycleState = r.u8();
    if (cycleState > kCycleExecute) throw SnapshotError("the state data is damaged");
    t = r.u8();
    if (t > kLastT) throw SnapshotError("the state data is damaged");
    restoreChannel(r, chA);
    restoreChannel(r, chB);
    restoreChannel(r, chC);
    for (bool& lamp : instructionLamps) lamp = r.boolean();
    for (bool* b : {&fetchLamp, &deferLamp, &execLamp, &deferPending, &pcTransferLoaded})
        *b = r.boolean();
    instructionAddress = r.i32In(0, lastAddress);
    instructionCount = r.i32In(0, kInstructionCountMask);
    countRefreshCounter = r.i32In(0, kCountRefreshLimit + 1);

    restoreFlags(r, switches);
    externalMask1 = r.u8();
    externalMask2 = r.u8();
    lamps.pc = r.i32In(0, lastAddress);
    lamps.ma = r.i32In(0, lastAddress);
    lamps.mb = r.i32In(0, wordMax);
    lamps.ac = r.i32In(0, wordMax);

    r.raw(ram.data(), ram.size());
    r.raw(eeprom.data(), eeprom.size());
    eepromPointer = r.u8();
    if (eepromPointer >= kEepromSize) throw SnapshotError("the state data is damaged");
    for (int32_t& v : stack) v = r.u8();
    stackDepth = r.u8();
    if (stackDepth > kStackSize) throw SnapshotError("the state data is damaged");
    stackOverflow = r.boolean();
    romPointer = r.u16();
    if (romPointer >= kMaxMemory) throw SnapshotError("the state data is damaged");
    h = r.u8();
    l = r.u8();
    serialRegister = r.u8();
    serialAccess = r.boolean();
    externalControl = r.u8();
    if (externalControl > 3) throw SnapshotError("the state data is damaged");
    bankFlag = r.boolean();
    instructionTableState = r.u8();
    if (instructionTableState > 2) throw SnapshotError("the state data is damaged");
    codeTimerFlag = r.boolean();
    skip = r.boolean();
    wifWord = r.u16();
    wifOpcode = r.u8();
    if (wifOpcode > 63) throw SnapshotError("the state data is damaged");
    wifPcWritten = r.boolean();
    wifByteReceived = r.boolean();
    for (int8_t& k : wifInstructionClass) {
        k = static_cast<int8_t>(r.u8());
        if (k < -1 || k > 3) throw SnapshotError("the state data is damaged");
    }
    const uint32_t random = r.u32();
    if (random == 0 || random >= std::minstd_rand::modulus)
        throw SnapshotError("the state data is damaged");
    wifRandom.seed(random);
    restoreTimerOrNone(r, codeTimer);
    restoreTimerOrNone(r, eepTimer);

    for (int slot = 0; slot < kSlotCount; ++slot) {
        DeviceSlot& s = bus.slots[slot];
        s.output = r.u8();
        s.input = r.u8();
        const int type = r.u8();
        if (type >= kModuleTypeCount) throw SnapshotError("the state data is damaged");
        s.flag = r.boolean() ? 1 : 0;
        s.pulse = r.boolean() ? 1 : 0;
        // The device already in the slot stays when it is of the type (the CLI's own
        // scripted devices are bound, not registered); else the open module of the type.
        Device* device = nullptr;
        if (type != kModuleNone) {
            device = s.device && s.device->moduleType() == type ? s.device : bus.module(type);
            if (!device)
                throw SnapshotError(std::string(slot < kFirstOutputSlot ? "input" : "output") +
                                    " device " + std::to_string(slot % kFirstOutputSlot) +
                                    " of the state uses a module that is not open");
        }
        s.type = type;
        s.device = device;
    }
    r.endSection();

    // The panel value follows from the switches; SR stays as saved.
    const int32_t savedSr = sr;
    computeSr();
    sr = savedSr;

    clearChangedList();
    changed = ~0u;
    lampsDirty = kLampGroupsAll;
    observer_->allMemoryChanged();
    for (int slot = 0; slot < kSlotCount; ++slot) observer_->slotChanged(slot);
}

}  // namespace mira::core
