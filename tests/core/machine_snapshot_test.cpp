#include "core/machine_snapshot.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/timer.h"
#include "machine_rig.h"

namespace mira::core::test {

namespace {

// A rig on its own virtual clock, filled from a seed: random memory, RAM and stack, some
// breakpoints and SR switches, so that two rigs differ everywhere before a restore.
struct ClockRig {
    VirtualClock clock;
    Rig r;
    EmulatorParts parts{r.m, &r.rc, {}, {}, {}};

    ClockRig(OperatingMode mode, uint32_t seed) {
        r.m.attachTimers(clock);
        r.m.options.mode = mode;
        r.m.updateMemorySize();
        r.m.randomSeed = [seed] { return seed; };
        r.m.initMemory(2);
        r.m.initRam(2);
        r.m.seedWifRandom(seed * 7 + 1);
        for (int a = static_cast<int>(seed % 13); a < r.m.memorySize; a += 97) r.m.breakpoints[a] = 1;
        for (int i = 0; i < 8; ++i) r.m.setSwitch(i, (seed >> i) & 1);
        r.m.options.zeroPageMode = seed & 1;
        r.start(static_cast<int>(seed % 16));
    }

    // Runs `states` clock states; a stopped run is started again, as a user would.
    void runOn(uint64_t states) {
        while (states > 0) {
            const auto res = r.rc.runHeadless(states, UINT64_MAX, &clock);
            states -= std::min(states, std::max<uint64_t>(res.clockStates, 1));
            if (!r.m.run) {
                r.rc.startRun();
                r.rc.request = kRequestNone;
                r.rc.beginFastRun();
            }
        }
    }

    std::vector<uint8_t> capture() const { return captureEmulator(parts); }
};

// A module that keeps one number of its own, for the module part of a state.
class CounterModule final : public Device {
public:
    CounterModule(DeviceBus& bus, int type) : bus_(bus), type_(type) { bus_.registerModule(*this); }
    ~CounterModule() override { bus_.unregisterModule(*this); }
    int moduleType() const override { return type_; }
    void saveState(SnapshotWriter& w) const override {
        w.beginSection("CNTR", 1);
        w.i32(value);
        w.endSection();
    }
    void restoreState(SnapshotReader& r) override {
        r.beginSection("CNTR", 1);
        value = r.i32In(0, 1000);
        r.endSection();
    }
    int value = 0;

private:
    DeviceBus& bus_;
    int type_;
};

class HostCounter final : public StatePart {
public:
    explicit HostCounter(const char* tag) : tag_(tag) {}
    void saveState(SnapshotWriter& w) const override {
        w.beginSection(tag_, 1);
        w.i32(value);
        w.endSection();
    }
    void restoreState(SnapshotReader& r) override {
        r.beginSection(tag_, 1);
        value = r.i32();
        r.endSection();
    }
    int value = 0;

private:
    const char* tag_;
};

struct SplitCase {
    OperatingMode mode;
    uint32_t seed;
    uint64_t before;  // clock states before the snapshot (any point inside an instruction)
};

}  // namespace

// A machine restored from a snapshot taken anywhere in a run, even inside an instruction,
// re-captures to the same bytes and runs on exactly as the original: registers, memories,
// timers, the random-byte generator and the slots all come back.
TEST(MachineSnapshot, RestoredMachineRunsOnAsTheOriginal) {
    const SplitCase cases[] = {
        {OperatingMode::Normal, 1, 0},      {OperatingMode::Normal, 2, 1001},
        {OperatingMode::Normal, 3, 50017},  {OperatingMode::Normal, 4, 700003},
        {OperatingMode::Wif, 5, 1},         {OperatingMode::Wif, 6, 3333},
        {OperatingMode::Wif, 7, 123457},    {OperatingMode::Wif, 8, 2000001},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE("seed " + std::to_string(c.seed));
        ClockRig a(c.mode, c.seed);
        a.runOn(c.before);
        const std::vector<uint8_t> snapshot = a.capture();

        // The other rig starts in the other mode with other contents.
        ClockRig b(c.mode == OperatingMode::Wif ? OperatingMode::Normal : OperatingMode::Wif,
                   c.seed + 100);
        b.runOn(c.seed * 31);
        ASSERT_EQ(restoreEmulator(b.parts, snapshot), "");
        ASSERT_EQ(b.capture(), snapshot);
        EXPECT_EQ(b.r.m.invariantViolation(), "");

        for (uint64_t more : {1u, 47u, 600000u}) {
            a.runOn(more);
            b.runOn(more);
            ASSERT_EQ(b.capture(), a.capture()) << "after " << more << " more clock states";
        }
    }
}

// Every cut of a snapshot is refused and changes nothing; a snapshot with any one byte
// flipped is either refused (nothing changed) or taken whole (it re-captures to itself).
TEST(MachineSnapshot, DamagedSnapshotIsRefusedWholeOrTakenWhole) {
    for (OperatingMode mode : {OperatingMode::Normal, OperatingMode::Wif}) {
        ClockRig a(mode, 11);
        a.runOn(9999);
        const std::vector<uint8_t> good = a.capture();
        ClockRig b(mode, 12);
        b.runOn(77);
        const std::vector<uint8_t> before = b.capture();

        for (size_t n = 0; n < good.size(); n += 1 + n / 64) {
            const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
            ASSERT_NE(restoreEmulator(b.parts, cut), "") << "cut at " << n;
            ASSERT_EQ(b.capture(), before) << "cut at " << n;
        }
        int refused = 0;
        for (size_t i = 0; i < good.size(); ++i) {
            std::vector<uint8_t> bad = good;
            bad[i] ^= 0xFF;
            if (restoreEmulator(b.parts, bad).empty()) {
                ASSERT_EQ(b.capture(), bad) << "byte " << i;
                ASSERT_EQ(b.r.m.invariantViolation(), "") << "byte " << i;
                ASSERT_EQ(restoreEmulator(b.parts, before), "");
            } else {
                ++refused;
                ASSERT_EQ(b.capture(), before) << "byte " << i;
            }
        }
        EXPECT_GT(refused, 100);
    }
}

// Modules are keyed by type; the open modules must be those of the state; host parts the
// host does not have are skipped, and those the state lacks stay as they are.
TEST(MachineSnapshot, ModulesAndHostPartsByTagAndType) {
    ClockRig a(OperatingMode::Normal, 21);
    CounterModule printer(a.r.m.bus, kModulePrinter), led(a.r.m.bus, kModuleOctalLed);
    a.r.m.bus.bind(kFirstOutputSlot, printer);
    printer.value = 7;
    led.value = 9;
    HostCounter serial("SERP"), cli("CLIR");
    serial.value = 3;
    cli.value = 4;
    a.parts.hostParts = {{"SERP", &serial}, {"CLIR", &cli}};
    const std::vector<uint8_t> snapshot = a.capture();
    const SnapshotOutline outline = snapshotOutline(snapshot);
    EXPECT_EQ(outline.modules, (std::vector<int>{kModuleOctalLed, kModulePrinter}));
    EXPECT_EQ(outline.mode, OperatingMode::Normal);
    EXPECT_EQ(outline.slotTypes, (std::array<int, kSlotCount>{0, 0, kModulePrinter, 0}));

    ClockRig b(OperatingMode::Wif, 22);
    HostCounter bSerial("SERP");
    b.parts.hostParts = {{"SERP", &bSerial}};  // a host without the CLI's part
    b.parts.moduleName = [](int type) { return type == kModulePrinter ? "Printer" : ""; };
    const std::vector<uint8_t> before = b.capture();
    {
        CounterModule bLed(b.r.m.bus, kModuleOctalLed);
        EXPECT_EQ(restoreEmulator(b.parts, snapshot),
                  "the state was saved with the Printer module, which is not open");
        CounterModule bPrinter(b.r.m.bus, kModulePrinter);
        CounterModule bSwitches(b.r.m.bus, kModuleDisplay10);
        EXPECT_EQ(restoreEmulator(b.parts, snapshot),
                  "the module type 12 module is open, but the state was saved without it");
        EXPECT_EQ(b.capture().size(), before.size() + 3 * 25);  // the modules' sections
    }
    CounterModule bLed(b.r.m.bus, kModuleOctalLed), bPrinter(b.r.m.bus, kModulePrinter);
    // A closed window's module is not open.
    b.parts.isOpen = [&](const Device& d) { return &d != &bLed; };
    EXPECT_NE(restoreEmulator(b.parts, snapshot), "");
    b.parts.isOpen = {};
    ASSERT_EQ(restoreEmulator(b.parts, snapshot), "");
    EXPECT_EQ(bPrinter.value, 7);
    EXPECT_EQ(bLed.value, 9);
    EXPECT_EQ(bSerial.value, 3);
    EXPECT_EQ(b.r.m.bus.slots[kFirstOutputSlot].device, &bPrinter);

    // A module's own bad data fails the whole restore.
    printer.value = 5000;
    const std::vector<uint8_t> bad = a.capture();
    bPrinter.value = 1;
    const std::vector<uint8_t> kept = b.capture();
    EXPECT_EQ(restoreEmulator(b.parts, bad), "the state data is damaged");
    EXPECT_EQ(b.capture(), kept);
    EXPECT_EQ(bPrinter.value, 1);
}

// A used slot binds to the device already in it when the type matches, else to the open
// module of the type; no module of the type is refused.
TEST(MachineSnapshot, SlotsBindToTheDeviceOfTheirType) {
    ClockRig a(OperatingMode::Normal, 31);
    CounterModule keypad(a.r.m.bus, kModuleKeypad);
    a.r.m.bus.bind(1, keypad);
    a.r.m.bus.slots[1].input = 0x5A;
    a.r.m.bus.slots[1].flag = 0;
    const std::vector<uint8_t> snapshot = a.capture();

    ClockRig b(OperatingMode::Normal, 32);
    CounterModule bKeypad(b.r.m.bus, kModuleKeypad);
    ASSERT_EQ(restoreEmulator(b.parts, snapshot), "");
    EXPECT_EQ(b.r.m.bus.slots[1].device, &bKeypad);
    EXPECT_EQ(b.r.m.bus.slots[1].input, 0x5A);
    EXPECT_EQ(b.r.m.bus.slots[1].flag, 0);
    EXPECT_EQ(b.r.m.bus.slots[0].device, nullptr);
}

}  // namespace mira::core::test
