#include "midi/gm_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace mira::gui {

namespace {
// Loud enough beside the sound effects without clipping a chord of a few notes.
constexpr double kGain = 0.6;
}  // namespace

std::vector<std::string> GmSynth::defaultSoundFonts() {
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
}

GmSynth::~GmSynth() {
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

bool GmSynth::load(int sampleRate, const std::vector<std::string>& soundFonts) {
    if (synth_) return true;
    // A missing sound font is an expected outcome, told through the return value; the
    // library's own complaints on stderr would only puzzle a student.
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);

    settings_ = new_fluid_settings();
    if (!settings_) return false;
    fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings_, "synth.gain", kGain);
    fluid_settings_setint(settings_, "synth.chorus.active", 0);
    // No threads of its own: samples are made only when the audio output asks.
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    synth_ = new_fluid_synth(settings_);
    if (!synth_) return false;
    for (const std::string& path : soundFonts) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        if (fluid_synth_sfload(synth_, path.c_str(), 1) != FLUID_FAILED) {
            soundFont_ = std::filesystem::path(path).filename().string();
            return true;
        }
    }
    delete_fluid_synth(synth_);
    synth_ = nullptr;
    return false;
}

bool GmSynth::send(uint8_t status, uint8_t data1, uint8_t data2) {
    if (!synth_) return false;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
        case 0x90:
            return fluid_synth_noteon(synth_, channel, data1 & 0x7F, data2 & 0x7F) != FLUID_FAILED;
        case 0x80:
            // A note that has already died away is no failure of the output.
            fluid_synth_noteoff(synth_, channel, data1 & 0x7F);
            return true;
        case 0xC0: return fluid_synth_program_change(synth_, channel, data1 & 0x7F) != FLUID_FAILED;
        default: return false;
    }
}

void GmSynth::render(int16_t* stereo, int frames) {
    const size_t n = static_cast<size_t>(frames) * 2;
    if (!synth_) {
        std::fill_n(stereo, n, int16_t{0});
        return;
    }
    // Rendered as floats and converted here without dither, so silence is exactly zero.
    floats_.resize(n);
    fluid_synth_write_float(synth_, frames, floats_.data(), 0, 2, floats_.data(), 1, 2);
    for (size_t i = 0; i < n; ++i)
        stereo[i] = static_cast<int16_t>(std::lround(std::clamp(floats_[i], -1.0f, 1.0f) * 32767.0f));
}

}  // namespace mira::gui
