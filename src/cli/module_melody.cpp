// `melody`: the melody player logic without a window. Its MIDI output records each note
// on and off with the virtual time of the message instead of sounding it; the end of the
// run stops a sounding note as in the GUI, and that note off is recorded too.
#include <string>

#include "cli_modules.h"
#include "devices/melody_player.h"
#include "devices/midi_out.h"
#include "devices/module_state.h"

namespace mira::cli {

namespace {

class HeadlessMelody final : public HeadlessModule {
  public:
    HeadlessMelody(int slot, ModuleHost& host)
        : midi_([&clock = host.clock] { return clock.nowMicros(); }),
          player_(host.machine.bus, host.clock, host.machine.melodyNoteDelay, &midi_) {
        player_.PutDevice(slot);
        player_.doInit();
    }
    void runEnded() override { player_.StopSound(); }
    void writeJson(JsonWriter& j) const override {
        j.key("voice").value(int64_t{player_.voice()});
        j.key("events").beginArray();
        for (const auto& e : midi_.noteEvents()) {
            j.beginObject();
            j.key("us").value(e.us);
            j.key("note").value(int64_t{e.note});
            j.key("on").value(e.on);
            j.endObject();
        }
        j.endArray();
    }
    // The notes as played: "37+@1000 37-@101000 ...".
    std::string textLine() const override {
        std::string line;
        for (const auto& e : midi_.noteEvents()) {
            if (!line.empty()) line += ' ';
            line += std::to_string(e.note) + (e.on ? "+@" : "-@") + std::to_string(e.us);
        }
        return line;
    }

    // The player, then the messages recorded so far (the restore's own note off is not
    // one of them).
    void saveState(core::SnapshotWriter& w) const override {
        w.beginSection("MIDR", 1);
        w.u32(static_cast<uint32_t>(midi_.messages().size()));
        for (const auto& m : midi_.messages()) {
            w.i64(m.us);
            w.u8(m.status);
            w.u8(m.data1);
            w.u8(m.data2);
        }
        w.endSection();
    }
    void restoreState(core::SnapshotReader& r) override;

  private:
    devices::RecordingMidiOut midi_;
    devices::MelodyPlayer player_;
};

void HeadlessMelody::restoreState(core::SnapshotReader& r) {
    r.beginSection("MIDR", 1);
    const uint32_t n = r.u32();
    // Eleven bytes a message: the count cannot outrun the data.
    if (n > r.remaining() / 11) throw core::SnapshotError("the state data ends too early");
    std::vector<devices::RecordingMidiOut::Message> messages(n);
    int64_t last = 0;
    for (auto& m : messages) {
        m.us = r.i64();
        m.status = r.u8();
        m.data1 = r.u8();
        m.data2 = r.u8();
        const bool known = m.status == devices::midi::kNoteOn ||
                           m.status == devices::midi::kNoteOff ||
                           m.status == devices::midi::kProgramChange;
        devices::refuseIf(m.us < last || !known || m.data1 > 127 || m.data2 > 127);
        last = m.us;
    }
    r.endSection();
    midi_.restoreMessages(std::move(messages));
}

}  // namespace

ModuleMade makeMelodyModule(const ModuleRequest& r, ModuleHost& host) {
    return ModuleMade::made(std::make_unique<HeadlessMelody>(r.slots.at(0), host));
}

}  // namespace mira::cli
