// `melody`: the melody player logic without a window. Its MIDI output records each note
// on and off with the virtual time of the message instead of sounding it; the end of the
// run stops a sounding note as in the GUI, and that note off is recorded too.
#include <string>

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

  private:
    devices::RecordingMidiOut midi_;
    devices::MelodyPlayer player_;
};

}  // namespace

ModuleMade makeMelodyModule(const ModuleRequest& r, ModuleHost& host) {
    return ModuleMade::made(std::make_unique<HeadlessMelody>(r.slots.at(0), host));
}

}  // namespace mira::cli
