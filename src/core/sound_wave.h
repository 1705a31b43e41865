// The twelve sound effects as WAVE data, synthesised here from decaying tones and shaped
// noise (no recorded sound is used): switch and key clicks, a bell, printer, tape reader
// and punch mechanics, paper tearing and a cassette going in and out. The player plays
// the bytes from memory; durations come from the data, never from waiting for playback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sound.h"

namespace mira::core {

inline constexpr int kSoundCount = 12;
inline constexpr int kSoundSampleRate = 22050;
inline constexpr int kSoundBitsPerSample = 16;

// The sound's resource name ("SWC", "BELL", …).
const char* soundName(SoundId id);
SoundId soundAt(int index);  // 0..kSoundCount − 1, in SoundId order

// A whole WAVE file (RIFF header, "fmt " chunk, "data" chunk) of 16-bit mono PCM. The same
// id always gives the same bytes. LNFD is made to loop without a seam.
std::vector<uint8_t> synthesizeSound(SoundId id);

// What a WAVE file's header says; ok is false when it is not PCM WAVE data this program
// (or any ordinary player) can read.
struct WavInfo {
    bool ok = false;
    int format = 0;  // 1 = PCM
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    size_t dataOffset = 0;  // first byte of the samples
    size_t dataBytes = 0;

    size_t frames() const {
        const int frameBytes = channels * bitsPerSample / 8;
        return frameBytes > 0 ? dataBytes / static_cast<size_t>(frameBytes) : 0;
    }
    int durationMs() const {
        return sampleRate > 0 ? static_cast<int>(frames() * 1000 / static_cast<size_t>(sampleRate))
                              : 0;
    }
};
WavInfo parseWav(std::span<const uint8_t> bytes);

// How long the sound plays, from its data; for modules that must let a sound finish
// before they go on (the punch, the paper rip) without blocking on the player.
int soundDurationMs(SoundId id);

}  // namespace mira::core
