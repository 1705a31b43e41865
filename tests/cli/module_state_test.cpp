// The headless run's own state: its modules with what it keeps beside them (key scripts'
// places, recorded notes, a saved punch tape), the scripted input and the recording
// output devices. Saved mid-run and loaded into a fresh run with the same options, they
// go on exactly as the first; a state that does not fit changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_devices.h"
#include "cli/cli_modules.h"
#include "core/machine_snapshot.h"
#include "core/scrambled_file.h"
#include "core/snapshot.h"
#include "param_name.h"

namespace mira::cli {
namespace {

using Bytes = std::vector<uint8_t>;

std::string tapeFile() {
    const auto path = std::filesystem::temp_directory_path() / "mira8_cli_module_state.ptp";
    core::writeContainerFile(path, {"128", "20", "7", "8", "9"});
    return path.string();
}

// One headless run's modules on a machine of its own.
struct HeadlessRun {
    core::Machine m;
    core::VirtualClock clock;
    std::ostringstream err;
    ModulePrompter prompter{core::Answer::Yes, err};
    core::SoundEffects silence;
    RunModules modules{ModuleHost{m, clock, prompter, silence}};

    explicit HeadlessRun(const std::vector<std::string>& options) {
        m.liveDisplay = false;
        for (const std::string& o : options) {
            ModuleRequest r;
            EXPECT_EQ(parseModuleOption(o, r), "");
            EXPECT_EQ(modules.open(r, err), kExitOk) << err.str();
        }
        EXPECT_EQ(modules.beforeRun(err), kExitOk) << err.str();
        modules.runStarts();
    }
    // The whole emulator, as --save-state writes it: the modules' logic with the machine,
    // the run's own part of them under "CMOD".
    core::EmulatorParts parts() { return {m, nullptr, {{"CMOD", &modules}}, {}, {}}; }
    Bytes save() { return core::captureEmulator(parts()); }
    void restore(const Bytes& b) {
        if (const std::string why = core::restoreEmulator(parts(), b); !why.empty())
            throw core::SnapshotError(why);
    }
    // A millisecond of a program that reads both inputs and writes both outputs.
    void step(int i) {
        core::DeviceBus& bus = m.bus;
        for (int slot : {2, 3}) {
            bus.slots[slot].output = (i * 37 + slot) & 0xFF;
            bus.notifyOutput(slot);
            bus.SetOutputResetFlag(slot, 0);
            bus.SetOutputResetFlag(slot, 1);
        }
        if (i % 2 == 1) {
            for (int slot : {0, 1}) {
                bus.readInput(slot);
                bus.SetModuleInFlag(slot, 0);
                bus.SetModuleInFlag(slot, 1);
            }
        }
        clock.advance(1);
    }
    std::string json() const {
        JsonWriter j;
        j.beginObject();
        modules.writeJson(j);
        j.endObject();
        return j.str();
    }
    void copySlotsFrom(const HeadlessRun& other) {
        for (int s = 0; s < core::kSlotCount; ++s) {
            const core::DeviceSlot& a = other.m.bus.slots[s];
            core::DeviceSlot& b = m.bus.slots[s];
            b.output = a.output;
            b.input = a.input;
            b.flag = a.flag;
            b.pulse = a.pulse;
        }
    }
};

struct Options {
    const char* name;
    std::vector<std::string> modules;
};

void PrintTo(const Options& o, std::ostream* os) { *os << o.name; }

const Options kOptionSets[] = {
    {"KeysLedMelodySwitches",
     {"keypad@0:1,2,3,4,5,6,7", "ascii@1:a,b,shift+c,d", "led@0", "melody@1", "switches:200"}},
    {"Keypad2PrinterPunch", {"keypad2@0:7,8,9,MC,1", "printer@0", "punch@1"}},
    {"MagTapeTenDigit", {"magtape@0,0:record", "tendigit@1"}},
    {"ReaderDisplays", {"reader:" + tapeFile(), "alpha@0", "decled@1"}},
};

class RunState : public ::testing::TestWithParam<Options> {};

TEST_P(RunState, LoadedRunGoesOnAsTheSavedOne) {
    HeadlessRun a(GetParam().modules);
    for (int i = 0; i < 40; ++i) a.step(i);
    const Bytes bytes = a.save();

    // Notes are recorded at the clock's time, which the loading run brings to the saved one.
    HeadlessRun b(GetParam().modules);
    b.clock.advanceTo(a.clock.nowMicros());
    b.copySlotsFrom(a);
    b.restore(bytes);
    EXPECT_EQ(b.save(), bytes);
    for (int i = 40; i < 400; ++i) {
        a.step(i);
        b.step(i);
    }
    a.modules.runEnded();
    b.modules.runEnded();
    EXPECT_EQ(b.json(), a.json());
}

TEST_P(RunState, DamagedOrForeignStateChangesNoModule) {
    HeadlessRun a(GetParam().modules);
    for (int i = 0; i < 40; ++i) a.step(i);
    const Bytes good = a.save();
    HeadlessRun c(GetParam().modules);
    c.step(0);
    const Bytes before = c.save();
    // Cut anywhere, the modules read before the cut go back to what they were.
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        EXPECT_THROW(c.restore(Bytes(good.begin(), good.begin() + long(cut))),
                     core::SnapshotError);
        ASSERT_EQ(c.save(), before) << "cut at " << cut;
    }
    HeadlessRun other({"tendigit@0"});
    EXPECT_THROW(c.restore(other.save()), core::SnapshotError);
    EXPECT_EQ(c.save(), before);
}

INSTANTIATE_TEST_SUITE_P(Modules, RunState, ::testing::ValuesIn(kOptionSets),
                         mira::test::caseNames([](const Options& o) { return o.name; }));

TEST(RunDevices, ScriptedInputAndRecordingOutputComeBackAndRefuseAnotherSlot) {
    core::Machine a, b;
    ScriptedInputDevice inA(a.bus, 1, {5, 6, 7, 8}), inB(b.bus, 1, {5, 6, 7, 8});
    RecordingOutputDevice outA(a.bus, 2), outB(b.bus, 2);
    a.bus.bind(1, inA);
    a.bus.bind(2, outA);
    b.bus.bind(1, inB);
    b.bus.bind(2, outB);
    inA.execReady(0);
    for (int v : {40, 41, 42}) {
        a.bus.slots[2].output = v;
        outA.outputNotification(2);
    }
    core::SnapshotWriter w;
    inA.saveState(w);
    outA.saveState(w);
    const Bytes bytes = w.take();
    core::SnapshotReader r(bytes);
    inB.restoreState(r);
    outB.restoreState(r);
    EXPECT_EQ(inB.remaining(), 3u);
    EXPECT_EQ(inB.getData(), 6);
    EXPECT_EQ(outB.recorded(), (std::vector<int>{40, 41, 42}));
    EXPECT_EQ(outB.recordedTotal(), 3u);
    b.bus.slots[2].output = 43;
    outB.outputNotification(2);
    EXPECT_EQ(outB.recordedTotal(), 4u);

    // Devices on other slots: not this run's.
    ScriptedInputDevice in0(b.bus, 0, {1});
    RecordingOutputDevice out3(b.bus, 3);
    core::SnapshotReader again(bytes);
    EXPECT_THROW(in0.restoreState(again), core::SnapshotError);
    EXPECT_EQ(in0.remaining(), 1u);
    core::SnapshotWriter one;
    outA.saveState(one);
    core::SnapshotReader outOnly(one.bytes());
    EXPECT_THROW(out3.restoreState(outOnly), core::SnapshotError);
    EXPECT_EQ(out3.recordedTotal(), 0u);
}

}  // namespace
}  // namespace mira::cli
