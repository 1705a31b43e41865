// `reader`, `punch` and `magtape`: the tape modules without their windows. The reader
// feeds its tape through the loader before the run, in virtual time; the punch starts
// with a fresh tape; the recorder starts with its tape in and its key down.
#include <ostream>

#include "cli_modules.h"
#include "core/field_list.h"
#include "core/panel.h"
#include "core/run_control.h"
#include "core/tape_file.h"
#include "devices/mag_tape.h"
#include "devices/module_state.h"
#include "devices/slot_select.h"
#include "devices/tape_punch.h"
#include "devices/tape_reader.h"

namespace mira::cli {

namespace {

class HeadlessReader final : public HeadlessModule {
  public:
    HeadlessReader(const std::string& file, ModuleHost& host)
        : host_(host),
          run_(host.machine),
          panel_(host.machine, run_, host.clock, host.sounds),
          reader_(host.machine, panel_, host.clock, host.sounds, host.prompter),
          file_(file) {
        reader_.PutDevice(core::kModuleTapeReader);
        reader_.doInit();
    }

    // The tape is fed as with the clock at FAST and nothing running: one row each 150 ms
    // of virtual time until it runs out.
    int beforeRun(std::ostream&) override {
        if (!reader_.LoadTape(file_)) return kExitBadInput;
        host_.machine.switches[core::kSwitchSlowFast] = 1;
        reader_.buttonAction();
        while (reader_.feeding()) host_.clock.advance(devices::TapeReader::kFeedMs);
        pcAfter_ = host_.machine.pc;
        return kExitOk;
    }
    void writeJson(JsonWriter& j) const override {
        j.key("rows").value(int64_t{reader_.position()});
        j.key("deposited").value(int64_t{reader_.deposited()});
        j.key("pc").value(int64_t{pcAfter_});
    }
    std::string textLine() const override {
        return std::to_string(reader_.position()) + " rows, " +
               std::to_string(reader_.deposited()) + " bytes deposited, pc=" +
               std::to_string(pcAfter_);
    }

    // The reader and the PC its feed left, which the report shows.
    void saveState(core::SnapshotWriter& w) const override {
        w.beginSection("RDRC", 1);
        w.i32(pcAfter_);
        w.endSection();
    }
    void restoreState(core::SnapshotReader& r) override {
        r.beginSection("RDRC", 1);
        const int pc = r.i32In(0, core::kMaxMemory - 1);
        r.endSection();
        pcAfter_ = pc;
    }

  private:
    ModuleHost& host_;
    // The loader works the panel's LOAD ADDRESS and DEPOSIT; the run has its own control.
    core::RunControl run_;
    core::FrontPanel panel_;
    devices::TapeReader reader_;
    std::string file_;
    int pcAfter_ = 0;
};

class HeadlessPunch final : public HeadlessModule {
  public:
    // `file`, when given, receives the tape after the run as "Save Tape" writes it, with
    // the range [from, to] (to < 0: up to the last byte punched).
    HeadlessPunch(int slot, ModuleHost& host, std::string file, int from, int to)
        : punch_(host.machine.bus, host.clock, host.sounds, host.prompter),
          prompter_(host.prompter), file_(std::move(file)), from_(from), to_(to) {
        punch_.PutDevice(slot);
        punch_.doInit();
        punch_.fitTape();
    }
    int afterRun(std::ostream& err) override {
        if (file_.empty()) return kExitOk;
        // A saved tape comes off the punch: the report keeps what was on it.
        savedRows_ = punch_.punchedBytes();
        savedTotal_ = punch_.dataBytes();
        saved_ = true;
        int status = kExitOk;
        punch_.SaveTape([&](std::span<const int32_t> bytes, int highest) {
            const int to = to_ < 0 ? highest : to_;
            if (from_ > highest || to > highest) {
                err << "mira8-cli run: --module punch: the range " << from_ << "-" << to
                    << " is past the punched bytes (0-" << highest << ")\n";
                status = kExitBadInput;
                return false;
            }
            if (!core::writeTapeFile(file_, core::buildTapeLines(bytes, highest, from_, to))) {
                prompter_.error(core::kTapeSaveFailed);
                status = kExitBadInput;
                return false;
            }
            return true;
        });
        // Nothing punched: SaveTape has said so.
        if (savedTotal_ == 0) status = kExitBadInput;
        return status;
    }
    void writeJson(JsonWriter& j) const override {
        // The last rows (all of them in any short run) and how many were punched.
        j.key("rows").intArray(rows());
        j.key("rows_total").value(saved_ ? savedTotal_ : punch_.dataBytes());
    }
    std::string textLine() const override {
        std::string line;
        for (int b : rows()) line += (line.empty() ? "" : " ") + std::to_string(b);
        return line.empty() ? "(no rows)" : line;
    }

    // The punch, and what a tape saved after the run held (the report keeps it).
    void saveState(core::SnapshotWriter& w) const override {
        w.beginSection("PNCR", 1);
        w.boolean(saved_);
        devices::writeSmallList(w, std::vector<int>(savedRows_.begin(), savedRows_.end()));
        w.i64(savedTotal_);
        w.endSection();
    }
    void restoreState(core::SnapshotReader& r) override {
        r.beginSection("PNCR", 1);
        const bool saved = r.boolean();
        const std::vector<int> rows =
            devices::readSmallList(r, devices::TapePunch::kKeptRows, 0, 255);
        const int64_t total = r.i64();
        r.endSection();
        devices::refuseIf(total < static_cast<int64_t>(rows.size()));
        saved_ = saved;
        savedRows_.assign(rows.begin(), rows.end());
        savedTotal_ = total;
    }

  private:
    devices::TapePunch punch_;
    core::Prompter& prompter_;
    std::vector<int32_t> rows() const { return saved_ ? savedRows_ : punch_.punchedBytes(); }

    std::string file_;
    int from_;
    int to_;
    bool saved_ = false;
    std::vector<int32_t> savedRows_;
    int64_t savedTotal_ = 0;
};

// Saving is the window's business; a headless recorder never asks for a file.
class NoDialog final : public devices::MagTapeHost {
  public:
    void drawRecorder() override {}
    bool windowVisible() const override { return false; }
    std::string askSaveFile(const std::string&) override { return {}; }
};

class HeadlessMagTape final : public HeadlessModule {
  public:
    HeadlessMagTape(int in, int out, ModuleHost& host)
        : mag_(host.machine.bus, host.clock, host.sounds, host.prompter, &noDialog_) {
        mag_.PutInDevice(in);
        mag_.PutOutDevice(out);
        mag_.doInit();
    }
    bool insert(const std::string& file) { return file.empty() ? mag_.NewTape() : mag_.loadFile(file); }
    void press(int key) {
        if (key) mag_.pressKey(key);
    }
    void writeJson(JsonWriter& j) const override {
        j.key("mode").value(int64_t{mag_.mode()});
        j.key("position").value(int64_t{mag_.position()});
        j.key("counter").value(int64_t{mag_.counter()});
        j.key("cells").beginArray();
        const auto& cells = mag_.cells();
        for (size_t i = 0; i < cells.size(); ++i) {
            if (cells[i] == devices::kMagBlank) continue;
            j.beginArray();
            j.value(static_cast<int64_t>(i));
            j.value(int64_t{cells[i]});
            j.endArray();
        }
        j.endArray();
    }
    std::string textLine() const override {
        int bytes = 0;
        for (int c : mag_.cells()) bytes += c != devices::kMagBlank;
        return "mode " + std::to_string(mag_.mode()) + ", position " +
               std::to_string(mag_.position()) + ", counter " + std::to_string(mag_.counter()) +
               ", " + std::to_string(bytes) + " bytes on tape";
    }


  private:
    NoDialog noDialog_;
    devices::MagTape mag_;
};

}  // namespace

ModuleMade makeReaderModule(const ModuleRequest& r, ModuleHost& host) {
    const std::string& file = r.args.at(0);
    if (file.empty()) return ModuleMade::usage("reader needs a tape file (reader:FILE.ptp)");
    if (host.machine.bus.slots[0].type != core::kModuleNone)
        return ModuleMade::usage("input device 0 is already taken");
    // As the Modules menu asks; the run's --answer decides.
    if (!devices::confirmSwitchRegisterAllOnes(host.machine.switches, host.prompter))
        return ModuleMade::usage("the switch register must be all 1's (--sr 255)");
    // The file is checked here so that a bad tape ends the command before anything runs.
    const devices::ReaderTapeFile tape = devices::readReaderTapeFile(file);
    if (!tape.ok) return ModuleMade::badInput(tape.message);
    return ModuleMade::made(std::make_unique<HeadlessReader>(file, host));
}

ModuleMade makePunchModule(const ModuleRequest& r, ModuleHost& host) {
    std::string file;
    int from = 0, to = -1;
    if (!r.args.empty()) {
        file = r.args[0];
        if (file.empty()) return ModuleMade::usage("the tape file is missing (punch@D:FILE.ptp)");
    }
    if (r.args.size() == 2) {
        // FROM-TO, as the range dialog takes it.
        const std::string& range = r.args[1];
        const size_t dash = range.find('-');
        constexpr int kAny = 1 << 30;
        if (dash != std::string::npos) {
            from = core::parseIntInRange(range.substr(0, dash), 0, kAny, -1);
            to = core::parseIntInRange(range.substr(dash + 1), 0, kAny, -1);
        } else {
            from = -1;
        }
        if (from < 0 || to < from)
            return ModuleMade::usage("the range must be FROM-TO with 0 <= FROM <= TO");
    }
    return ModuleMade::made(std::make_unique<HeadlessPunch>(r.slots.at(0), host, file, from, to));
}

ModuleMade makeMagTapeModule(const ModuleRequest& r, ModuleHost& host) {
    std::string file;
    int key = 0;
    auto keyOf = [](const std::string& a) {
        return a == "record" ? devices::kMagRecord : a == "play" ? devices::kMagPlay : 0;
    };
    if (r.args.size() == 1) {
        key = keyOf(r.args[0]);
        if (!key) file = r.args[0];
    } else if (r.args.size() == 2) {
        file = r.args[0];
        key = keyOf(r.args[1]);
        if (!key) return ModuleMade::usage("the key must be record or play");
    }
    if (r.args.size() == 2 && file.empty()) return ModuleMade::usage("the tape file is missing");
    if (!file.empty()) {
        const devices::MagTapeRead read = devices::readMagTapeFile(file);
        if (!read.ok) return ModuleMade::badInput(read.message);
    }
    auto m = std::make_unique<HeadlessMagTape>(r.slots.at(0), r.slots.at(1), host);
    if (!m->insert(file)) return ModuleMade::badInput(devices::kMagLoadFailed);
    m->press(key);
    return ModuleMade::made(std::move(m));
}

}  // namespace mira::cli
