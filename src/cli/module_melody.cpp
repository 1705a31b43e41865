// `melody`: the melody player logic without a window. Its MIDI output records each note
// on and off with the virtual time of the message instead of sounding it; the end of the
// run stops a sounding note as in the GUI, and that note off is recorded too.
#include <string>
#include <vector>

#include "cli_modules.h"
#include "devices/melody_player.h"
#include "devices/midi_out.h"

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
        for (const auto& e : events()) {
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
        for (const auto& e : events()) {
            if (!line.empty()) line += ' ';
            line += std::to_string(e.note) + (e.on ? "+@" : "-@") + std::to_string(e.us);
        }
        return line;
    }

    // The notes recorded before the state this run started from, then this run's.
    void saveState(core::SnapshotWriter& w) const override {
        const auto all = events();
        w.u32(static_cast<uint32_t>(all.size()));
        for (const auto& e : all) {
            w.i64(e.us);
            w.u8(static_cast<uint8_t>(e.note));
            w.boolean(e.on);
        }
    }
    void restoreState(core::SnapshotReader& r) override {
        const uint32_t n = r.u32();
        if (n > r.remaining()) throw core::SnapshotError("the state data is damaged");
        std::vector<Event> earlier(n);
        for (Event& e : earlier) {
            e.us = r.i64();
            e.note = r.u8();
            e.on = r.boolean();
        }
        earlier_ = std::move(earlier);
        recordedBefore_ = midi_.noteEvents().size();
    }

  private:
    using Event = devices::RecordingMidiOut::NoteEvent;
    std::vector<Event> events() const {
        std::vector<Event> all = earlier_;
        const auto now = midi_.noteEvents();
        all.insert(all.end(), now.begin() + static_cast<std::ptrdiff_t>(recordedBefore_), now.end());
        return all;
    }

    std::vector<Event> earlier_;
    size_t recordedBefore_ = 0;  // notes this run recorded before the state was loaded
    devices::RecordingMidiOut midi_;
    devices::MelodyPlayer player_;
};

}  // namespace

ModuleMade makeMelodyModule(const ModuleRequest& r, ModuleHost& host) {
    return ModuleMade::made(std::make_unique<HeadlessMelody>(r.slots.at(0), host));
}

}  // namespace mira::cli
