#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "asm_commands.h"
#include "cli_devices.h"
#include "cli_modules.h"
#include "commands.h"
#include "core/atomic_file.h"
#include "core/file_read.h"
#include "core/machine.h"
#include "core/machine_snapshot.h"
#include "core/run_control.h"
#include "core/serial_test_port.h"
#include "core/signal_recorder.h"
#include "core/vcd_writer.h"
#include "devices/module_catalogue.h"
#include "core/timer.h"
#include "json_writer.h"
#include "word_file.h"

namespace mira::cli {

namespace {

struct RunOptions {
    core::OperatingMode mode = core::OperatingMode::Normal;
    bool zeroPage = false;
    bool resetT1 = false;
    int pc = 0;
    int sr = 255;
    uint64_t maxInstructions = 1000000;
    std::optional<uint64_t> clockStates;
    std::vector<int> breaks;
    std::optional<std::vector<int>> inputs[2];
    bool outputs[2] = {false, false};
    std::optional<std::vector<int>> serialIn;
    bool trace = false;
    bool json = false;
    bool pcGiven = false;
    core::Answer answer = core::Answer::No;
    std::string compilerData;
    std::vector<ModuleRequest> modules;
    std::string file;
    std::string vcdFile;
    uint64_t vcdFrom = 0;
    uint64_t vcdStates = UINT64_MAX;
    std::optional<std::string> vcdSignals;
    std::string saveState;
    std::string loadState;
};

// Parses "B1,B2,..." into bytes.
bool parseByteList(const std::string& text, std::vector<int>& bytes) {
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        if (item.empty()) continue;
        const auto n = parseNumber(item);
        if (!n || *n < 0 || *n > 255) return false;
        bytes.push_back(static_cast<int>(*n));
    }
    return true;
}

// Returns an error text for bad usage, empty when the options are good.
std::string parseRunOptions(const Args& args, RunOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        auto number = [&](int64_t min, int64_t max, int64_t& v) -> bool {
            std::string s;
            if (!next(s)) return false;
            const auto n = parseNumber(s);
            if (!n || *n < min || *n > max) return false;
            v = *n;
            return true;
        };
        int64_t n = 0;
        std::string s;
        if (a == "--mode") {
            if (!next(s)) return "--mode needs normal or wif";
            if (s == "normal")
                o.mode = core::OperatingMode::Normal;
            else if (s == "wif")
                o.mode = core::OperatingMode::Wif;
            else
                return "--mode must be normal or wif";
        } else if (a == "--zero-page") {
            o.zeroPage = true;
        } else if (a == "--reset-t1") {
            o.resetT1 = true;
        } else if (a == "--pc") {
            if (!number(0, 1023, n)) return "--pc needs an address 0..1023";
            o.pc = static_cast<int>(n);
            o.pcGiven = true;
        } else if (a == "--sr") {
            if (!number(0, 255, n)) return "--sr needs a value 0..255";
            o.sr = static_cast<int>(n);
        } else if (a == "--max-instructions") {
            if (!number(1, INT64_MAX, n)) return "--max-instructions needs a positive count";
            o.maxInstructions = static_cast<uint64_t>(n);
        } else if (a == "--clock-states") {
            if (!number(0, INT64_MAX, n)) return "--clock-states needs a count";
            o.clockStates = static_cast<uint64_t>(n);
        } else if (a == "--break") {
            if (!number(0, 1023, n)) return "--break needs an address 0..1023";
            o.breaks.push_back(static_cast<int>(n));
        } else if (a == "--in") {
            if (!next(s)) return "--in needs D=B1,B2,...";
            const auto eq = s.find('=');
            if (eq != 1 || (s[0] != '0' && s[0] != '1')) return "--in needs D=B1,B2,... with D 0 or 1";
            std::vector<int> bytes;
            if (!parseByteList(s.substr(2), bytes)) return "--in bytes must be 0..255";
            o.inputs[s[0] - '0'] = std::move(bytes);
        } else if (a == "--out") {
            if (!number(0, 1, n)) return "--out needs 0 or 1";
            o.outputs[n] = true;
        } else if (a == "--serial-in") {
            if (!next(s)) return "--serial-in needs B1,B2,...";
            std::vector<int> bytes;
            if (!parseByteList(s, bytes)) return "--serial-in bytes must be 0..255";
            o.serialIn = std::move(bytes);
        } else if (a == "--answer") {
            if (!next(s)) return "--answer needs yes, no or cancel";
            if (s == "yes")
                o.answer = core::Answer::Yes;
            else if (s == "no")
                o.answer = core::Answer::No;
            else if (s == "cancel")
                o.answer = core::Answer::Cancel;
            else
                return "--answer must be yes, no or cancel";
        } else if (a == "--compiler-data") {
            if (!next(s)) return "--compiler-data needs a file";
            o.compilerData = s;
        } else if (a == "--module") {
            if (!next(s)) return "--module needs KIND@DEV[:ARG[:ARG]]";
            ModuleRequest r;
            if (std::string problem = parseModuleOption(s, r); !problem.empty()) return problem;
            o.modules.push_back(std::move(r));
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--save-state") {
            if (!next(o.saveState) || o.saveState.empty()) return "--save-state needs a file";
        } else if (a == "--load-state") {
            if (!next(o.loadState) || o.loadState.empty()) return "--load-state needs a file";
        } else if (a == "--vcd") {
            if (!next(o.vcdFile) || o.vcdFile.empty()) return "--vcd needs a file";
        } else if (a == "--vcd-from") {
            if (!number(0, INT64_MAX, n)) return "--vcd-from needs a clock state";
            o.vcdFrom = static_cast<uint64_t>(n);
        } else if (a == "--vcd-states") {
            if (!number(1, INT64_MAX, n)) return "--vcd-states needs a positive count";
            o.vcdStates = static_cast<uint64_t>(n);
        } else if (a == "--vcd-signals") {
            if (!next(s)) return "--vcd-signals needs a list of signals";
            o.vcdSignals = s;
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            return "more than one program file given";
        }
    }
    if (o.file.empty()) return "no program file given";
    if (o.vcdFile.empty() && (o.vcdFrom || o.vcdStates != UINT64_MAX || o.vcdSignals))
        return "--vcd-from, --vcd-states and --vcd-signals need --vcd";
    return {};
}

// The SR switches for a wanted SR value: a switch at rest (0) gives a 1 bit.
void setSrSwitches(core::Machine& m, int sr) {
    for (int i = 0; i < 8; ++i) m.switches[i] = (sr >> (7 - i)) & 1 ? 0 : 1;
    m.computeSr();
}

const char* stopName(core::RunControl::HeadlessStop s) {
    switch (s) {
        case core::RunControl::HeadlessStop::Stopped: return "halt";
        case core::RunControl::HeadlessStop::Breakpoint: return "breakpoint";
        case core::RunControl::HeadlessStop::InstructionLimit: return "limit";
        case core::RunControl::HeadlessStop::StateLimit: return "clock-states";
    }
    return "halt";
}

void writeJson(std::ostream& out, const core::Machine& m, const char* stop,
               const core::RunControl::HeadlessResult& res, const RecordingOutputDevice* outs[2],
               const core::ScriptedSerialPort& serial, const RunModules& modules) {
    JsonWriter j(out);
    j.beginObject();
    j.key("mode").value(m.isWif() ? "wif" : "normal");
    j.key("stop").value(stop);
    j.key("pc").value(int64_t{m.pc});
    j.key("ma").value(int64_t{m.ma});
    j.key("mb").value(int64_t{m.mb});
    j.key("ac").value(int64_t{m.ac});
    j.key("ir").value(int64_t{m.ir});
    j.key("sr").value(int64_t{m.sr});
    j.key("c").value(int64_t{m.c});
    j.key("z").value(int64_t{m.z});
    j.key("dc").value(int64_t{m.dc});
    j.key("t").value(int64_t{m.t});
    j.key("cycle").value(int64_t{m.cycleState});
    j.key("run").value(m.run);
    j.key("instruction_count").value(int64_t{m.instructionCount});
    j.key("instructions_executed").value(static_cast<int64_t>(res.instructions));
    j.key("clock_states").value(static_cast<int64_t>(res.clockStates));
    j.key("memory").beginArray();
    for (int i = 0; i < m.memorySize; ++i) j.value(int64_t{m.memory[i]});
    j.endArray();
    j.key("slots").beginArray();
    for (const auto& s : m.bus.slots) {
        j.beginObject();
        j.key("type").value(int64_t{s.type});
        j.key("flag").value(int64_t{s.flag});
        j.key("pulse").value(int64_t{s.pulse});
        j.key("input").value(int64_t{s.input});
        j.key("output").value(int64_t{s.output});
        j.endObject();
    }
    j.endArray();
    j.key("outputs").beginObject();
    for (int d = 0; d < 2; ++d) {
        if (!outs[d]) continue;
        j.key(std::to_string(d)).intArray(outs[d]->recorded());
    }
    j.endObject();
    // The lists keep the last 65 536 bytes; the totals count them all.
    j.key("outputs_total").beginObject();
    for (int d = 0; d < 2; ++d)
        if (outs[d]) j.key(std::to_string(d)).value(static_cast<int64_t>(outs[d]->recordedTotal()));
    j.endObject();
    // WIF state; kept in Normal mode too, where it simply stays at its reset values.
    j.key("ram").intArray(m.ram);
    j.key("eeprom").intArray(m.eeprom);
    j.key("stack").intArray(m.stack);
    j.key("stack_depth").value(int64_t{m.stackDepth});
    j.key("stack_overflow").value(m.stackOverflow);
    j.key("rom_pointer").value(int64_t{m.romPointer});
    j.key("h").value(int64_t{m.h});
    j.key("l").value(int64_t{m.l});
    j.key("bank").value(m.bankFlag);
    j.key("serial").value(int64_t{m.serialRegister});
    j.key("serial_access").value(m.serialAccess);
    j.key("skip").value(m.skip);
    j.key("serial_out").intArray(serial.sent());
    j.key("serial_out_total").value(static_cast<int64_t>(serial.sentTotal()));
    if (!modules.empty()) modules.writeJson(j);
    j.endObject();
    j.finish();
    out << '\n';
}

// The basic serial port in a state: the CLI's port offers the rest of its script.
class CliSerialState final : public core::StatePart {
public:
    explicit CliSerialState(core::ScriptedSerialPort& port) : port_(port) {}
    void saveState(core::SnapshotWriter& w) const override {
        core::SerialPortState s;
        const std::vector<int> sent = port_.sent();
        s.received = sent.empty() ? 0 : sent.back();
        s.offered = port_.offered();
        s.save(w);
    }
    // A mirror set in the window has no counterpart here: the script alone offers bytes.
    void restoreState(core::SnapshotReader& r) override {
        core::SerialPortState s;
        s.restore(r);
        port_.setOffered(s.offered);
    }

private:
    core::ScriptedSerialPort& port_;
};

// What a headless run keeps beside the emulator, section "CLIR": virtual time, the clock
// states run before, the bytes sent to the serial port, the scripted devices and the
// modules' scripts. A state saved in the GUI has none of it: the run then starts them
// afresh.
class CliRunState final : public core::StatePart {
public:
    static constexpr const char* kTag = "CLIR";

    CliRunState(core::VirtualClock& clock, core::ScriptedSerialPort& serial,
                const std::unique_ptr<ScriptedInputDevice> (&inputs)[2],
                const std::unique_ptr<RecordingOutputDevice> (&outputs)[2], RunModules& modules)
        : clock_(clock), serial_(serial), inputs_(inputs), outputs_(outputs), modules_(modules) {}

    uint64_t statesBefore = 0;   // clock states of the runs the loaded state came from
    uint64_t statesThisRun = 0;  // set before a save at the end of the run

    void saveState(core::SnapshotWriter& w) const override {
        w.beginSection(kTag, 1);
        w.i64(clock_.nowMicros());
        w.i64(static_cast<int64_t>(statesBefore + statesThisRun));
        serial_.sentRecord().saveState(w);
        for (int d = 0; d < 2; ++d) {
            for (const core::Device* dev : {static_cast<const core::Device*>(inputs_[d].get()),
                                            static_cast<const core::Device*>(outputs_[d].get())}) {
                w.boolean(dev != nullptr);
                if (dev) dev->saveState(w);
            }
        }
        modules_.saveState(w);
        w.endSection();
    }

    void restoreState(core::SnapshotReader& r) override {
        r.beginSection(kTag, 1);
        // The clock was moved to this time before the restore (savedClock below).
        if (r.i64() != clock_.nowMicros())
            throw core::SnapshotError("the state does not fit this run's options (its time has passed)");
        const int64_t before = r.i64();
        if (before < 0) throw core::SnapshotError("the state data is damaged");
        serial_.sentRecord().restoreState(r);
        for (int d = 0; d < 2; ++d) {
            for (core::Device* dev : {static_cast<core::Device*>(inputs_[d].get()),
                                      static_cast<core::Device*>(outputs_[d].get())}) {
                if (r.boolean() != (dev != nullptr))
                    throw core::SnapshotError(
                        "the --in and --out options differ from the run that saved the state");
                if (dev) dev->restoreState(r);
            }
        }
        modules_.restoreState(r);
        r.endSection();
        statesBefore = static_cast<uint64_t>(before);
    }

    // The virtual time a state was saved at, read before restoring it so that its timers
    // resume from there; 0 for a state without this part (saved in the GUI).
    static int64_t savedClock(const std::vector<uint8_t>& snapshot) {
        core::SnapshotReader r(snapshot);
        r.beginSection("EMUL", 0xFFFF);
        while (!r.peekTag().empty()) {
            if (r.peekTag() != kTag) {
                r.skipSection();
                continue;
            }
            r.beginSection(kTag, 1);
            const int64_t now = r.i64();
            if (now < 0) throw core::SnapshotError("the state data is damaged");
            return now;
        }
        return 0;
    }

private:
    core::VirtualClock& clock_;
    core::ScriptedSerialPort& serial_;
    const std::unique_ptr<ScriptedInputDevice> (&inputs_)[2];
    const std::unique_ptr<RecordingOutputDevice> (&outputs_)[2];
    RunModules& modules_;
};

std::string moduleKindName(int type) {
    const devices::ModuleKind* kind = devices::moduleKindOfType(type);
    return kind && *kind->cliKind ? std::string(kind->cliKind) : std::string();
}

}  // namespace

int runCommand(const Args& args, std::ostream& out, std::ostream& err) {
    RunOptions o;
    if (const std::string problem = parseRunOptions(args, o); !problem.empty()) {
        err << "mira8-cli run: " << problem << "\n";
        return kExitUsage;
    }

    // A state to start from is read first: a bad one stops the command before anything runs.
    std::vector<uint8_t> loaded;
    if (!o.loadState.empty()) {
        const core::FileRead file = core::readWholeFile(o.loadState);
        if (!file.ok) {
            err << o.loadState << ": " << core::fileReadErrorText(file.error) << "\n";
            return kExitBadInput;
        }
        core::StateFileRead state = core::parseStateFile(file.bytes);
        if (!state.ok) {
            err << o.loadState << ": " << state.error << "\n";
            return kExitBadInput;
        }
        loaded = std::move(state.snapshot);
    }

    core::Machine m;
    core::VirtualClock clock;
    m.attachTimers(clock);
    m.options.mode = o.mode;
    m.updateMemorySize();
    m.options.zeroPageMode = o.zeroPage;
    m.options.outputResetMode = o.resetT1 ? 0 : 1;

    const bool isSource = o.file.size() > 4 && o.file.compare(o.file.size() - 4, 4, ".asm") == 0;
    if (isSource) {
        // Assembled and transferred as the editor's Transfer To Memory does; runs from 0.
        const int status = assembleAndTransfer(m, o.file, o.compilerData, o.answer, err);
        if (status != kExitOk) return status;
        if (!o.pcGiven) o.pc = 0;
    } else {
        const core::FileRead file = core::readWholeFile(o.file);
        if (!file.ok) {
            err << o.file << ": " << core::fileReadErrorText(file.error) << "\n";
            return kExitBadInput;
        }
        const WordFileResult words =
            parseWordFile(file.bytes, m.memorySize, m.isWif() ? 65535 : 255);
        if (!words.ok) {
            err << o.file << ":" << words.errorLine << ": " << words.error << "\n";
            return kExitBadInput;
        }
        for (const auto& w : words.words) m.memory[w.address] = w.word;
    }
    if (o.pc >= m.memorySize) {
        err << "mira8-cli run: --pc " << o.pc << " is past the memory\n";
        return kExitUsage;
    }
    for (int b : o.breaks) {
        if (b >= m.memorySize) {
            err << "mira8-cli run: --break " << b << " is past the memory\n";
            return kExitUsage;
        }
        m.breakpoints[b] = 1;
    }
    m.pc = o.pc;
    setSrSwitches(m, o.sr);

    std::unique_ptr<ScriptedInputDevice> inputs[2];
    std::unique_ptr<RecordingOutputDevice> outputs[2];
    for (int d = 0; d < 2; ++d) {
        if (o.inputs[d]) {
            inputs[d] = std::make_unique<ScriptedInputDevice>(m.bus, d, *o.inputs[d]);
            m.bus.bind(d, *inputs[d]);
            inputs[d]->doInit(0);
        }
        if (o.outputs[d]) {
            const int slot = core::kFirstOutputSlot + d;
            outputs[d] = std::make_unique<RecordingOutputDevice>(m.bus, slot);
            m.bus.bind(slot, *outputs[d]);
            outputs[d]->doInit(0);
        }
    }

    // Modules open in the order given, after the program is in memory (so the transfer's
    // module reset came before any of them); then a tape is fed and --pc takes over.
    ModulePrompter modulePrompter(o.answer, err);
    core::SoundEffects silence;
    RunModules modules(ModuleHost{m, clock, modulePrompter, silence});
    for (const ModuleRequest& r : o.modules)
        if (const int status = modules.open(r, err); status != kExitOk) return status;
    if (const int status = modules.beforeRun(err); status != kExitOk) return status;
    if (o.pcGiven) m.pc = o.pc;

    // The basic serial port's window counts as open; the program sets its access.
    core::ScriptedSerialPort serial(o.serialIn.value_or(std::vector<int>{}));
    m.serialPort = &serial;

    core::RunControl rc(m);
    if (o.trace) {
        rc.onInstructionEnd = [&m, &err] {
            const int addr = m.instructionAddress;
            char line[96];
            if (m.isWif())
                std::snprintf(line, sizeof line, "%04X %d ac=%d c=%d\n", addr, m.memory[addr], m.ac,
                              m.c);
            else
                std::snprintf(line, sizeof line, "%d %d ac=%d c=%d\n", addr, m.memory[addr], m.ac,
                              m.c);
            err << line;
        };
    }
    // The dump streams out through the ring: each time it fills, its states are written.
    std::ofstream vcdOut;
    core::SignalRecorder recorder;
    std::unique_ptr<core::VcdWriter> vcd;
    if (!o.vcdFile.empty()) {
        const auto all = core::machineSignals(m, devices::moduleSignalName);
        std::vector<core::SignalDef> signals = all;
        if (o.vcdSignals) {
            std::string unknown;
            signals = core::pickSignals(all, *o.vcdSignals, &unknown);
            if (!unknown.empty()) {
                err << "mira8-cli run: --vcd-signals: no signal " << unknown << "\n";
                return kExitUsage;
            }
        }
        vcdOut.open(o.vcdFile, std::ios::binary | std::ios::trunc);
        if (!vcdOut) {
            err << o.vcdFile << ": cannot write the file\n";
            return kExitBadInput;
        }
        vcd = std::make_unique<core::VcdWriter>(vcdOut, std::move(signals), "mira8-cli");
        recorder.setWindow(o.vcdFrom, o.vcdStates);
        recorder.onFull = [&] {
            vcd->write(recorder);
            recorder.dropBefore(recorder.end() - 1);
        };
        rc.setRecorder(&recorder);
    }

    CliSerialState serialState(serial);
    CliRunState runState(clock, serial, inputs, outputs, modules);
    const core::EmulatorParts parts{
        m, &rc, {{core::SerialPortState::kTag, &serialState}, {CliRunState::kTag, &runState}},
        moduleKindName, {}};
    if (!o.loadState.empty()) {
        std::string problem;
        try {
            clock.advanceTo(CliRunState::savedClock(loaded));
            problem = core::restoreEmulator(parts, loaded);
        } catch (const core::SnapshotError& e) {
            problem = e.what();
        }
        if (!problem.empty()) {
            err << o.loadState << ": " << problem << "\n";
            return kExitBadInput;
        }
    }

    // A run starts as a release of RUN does with the clock at FAST, continuous; a loaded
    // state's run goes on from where it was, its key scripts included.
    rc.startContinuousFastRun();
    if (o.loadState.empty()) modules.runStarts();
    auto res = rc.runHeadless(o.clockStates.value_or(UINT64_MAX), o.maxInstructions, &clock);
    // Saved before the modules see the end of the run, so that a loaded state goes on as
    // if this run had not stopped (a sounding note keeps sounding).
    bool stateSaved = true;
    if (!o.saveState.empty()) {
        runState.statesThisRun = res.clockStates;
        stateSaved = core::writeFileAtomically(o.saveState,
                                               core::stateFileBytes(core::captureEmulator(parts)));
    }
    res.clockStates += runState.statesBefore;
    modules.runEnded();
    if (vcd) {
        rc.setRecorder(nullptr);
        vcd->write(recorder);
        vcd->finish();
        if (!vcdOut) {
            err << o.vcdFile << ": cannot write the file\n";
            return kExitBadInput;
        }
    }
    const int afterStatus = modules.afterRun(err);

    const char* stop = stopName(res.reason);
    const RecordingOutputDevice* outs[2] = {outputs[0].get(), outputs[1].get()};
    if (o.json) {
        writeJson(out, m, stop, res, outs, serial, modules);
    } else {
        out << "stop: " << stop << "\n"
            << "pc=" << m.pc << " ac=" << m.ac << " mb=" << m.mb << " ma=" << m.ma
            << " c=" << m.c << " run=" << (m.run ? 1 : 0) << "\n"
            << "instructions: " << res.instructions << "  clock states: " << res.clockStates
            << "\n";
        for (int d = 0; d < 2; ++d) {
            if (!outs[d]) continue;
            const std::vector<int> kept = outs[d]->recorded();
            out << "output " << d;
            if (kept.size() < outs[d]->recordedTotal())
                out << " (last " << kept.size() << " of " << outs[d]->recordedTotal() << ")";
            out << ":";
            for (int b : kept) out << ' ' << b;
            out << "\n";
        }
        modules.writeText(out);
    }
    if (!stateSaved) {
        err << oneLine(core::saveFailureText("ERROR: The machine state could not be saved.",
                                             o.saveState))
            << "\n";
        return kExitBadInput;
    }
    if (afterStatus != kExitOk) return afterStatus;
    return res.reason == core::RunControl::HeadlessStop::Stopped ? kExitOk : kExitNotHalted;
}

}  // namespace mira::cli
