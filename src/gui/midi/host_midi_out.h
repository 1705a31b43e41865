// The melody player's MIDI output on the host: a MIDI port when the host lists one that can
// sound, otherwise the built-in General MIDI synthesiser played through the audio output,
// otherwise silence. Silence still takes every message, so the player keeps time and a
// program's tune runs to its end on a machine with no sound at all; only a port that fails
// while it plays makes MIDI unavailable.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/midi_out.h"
#include "midi/gm_synth.h"
#include "midi/pcm_output.h"

class RtMidiOut;

namespace mira::gui {

class HostMidiOut final : public devices::MidiOut {
public:
    static constexpr const char* kSilentDescription = "Silent: no sound output";

    enum class Kind { None, Port, BuiltIn, Silent };

    struct Options {
        bool tryPorts = true;
        std::vector<std::string> soundFonts = GmSynth::defaultSoundFonts();
    };

    // `pcm` carries the built-in synthesiser's samples; null: no audio output.
    explicit HostMidiOut(std::unique_ptr<PcmOutput> pcm);
    HostMidiOut(std::unique_ptr<PcmOutput> pcm, Options options);
    ~HostMidiOut() override;
    HostMidiOut(const HostMidiOut&) = delete;
    HostMidiOut& operator=(const HostMidiOut&) = delete;

    bool open() override;
    bool send(uint8_t status, uint8_t data1, uint8_t data2) override;
    std::string description() const override;

    Kind kind() const { return kind_; }
    const std::string& portName() const { return portName_; }
    GmSynth& synth() { return synth_; }

private:
    bool openPort();
    bool openBuiltIn();

    std::unique_ptr<PcmOutput> pcm_;
    Options options_;
    std::unique_ptr<RtMidiOut> port_;
    GmSynth synth_;
    Kind kind_ = Kind::None;
    bool tried_ = false;
    bool portFailed_ = false;  // set by RtMidi's error callback
    std::string portName_;
};

}  // namespace mira::gui
