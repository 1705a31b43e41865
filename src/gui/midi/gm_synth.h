// The built-in General MIDI synthesiser: FluidSynth with a GM sound font, taking the
// player's short messages and rendering 16-bit stereo samples on demand. It needs no MIDI
// device at all; whoever pulls the samples decides where they go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace mira::gui {

class GmSynth {
public:
    // Where Debian's GM sound fonts live, best first.
    static std::vector<std::string> defaultSoundFonts();

    GmSynth() = default;
    ~GmSynth();
    GmSynth(const GmSynth&) = delete;
    GmSynth& operator=(const GmSynth&) = delete;

    // Creates the synthesiser at `sampleRate` with the first sound font that loads.
    bool load(int sampleRate, const std::vector<std::string>& soundFonts = defaultSoundFonts());
    bool loaded() const { return synth_ != nullptr; }
    // File name of the sound font in use.
    const std::string& soundFont() const { return soundFont_; }

    // One MIDI short message (note on, note off, program change); false for anything the
    // synthesiser refuses.
    bool send(uint8_t status, uint8_t data1, uint8_t data2);
    // Renders `frames` interleaved stereo frames; silence when nothing is loaded.
    void render(int16_t* stereo, int frames);

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    std::string soundFont_;
    std::vector<float> floats_;
};

}  // namespace mira::gui
