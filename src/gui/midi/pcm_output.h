// Where the built-in synthesiser's samples go: an audio output that pulls interleaved
// 16-bit stereo frames. The application plays them through Qt; tests pull them by hand.
#pragma once

#include <cstdint>
#include <functional>

namespace mira::gui {

class PcmOutput {
public:
    using Render = std::function<void(int16_t* stereo, int frames)>;

    virtual ~PcmOutput() = default;
    // The rate the output plays at; 0 when the host has no audio output.
    virtual int sampleRate() = 0;
    // Starts pulling frames from `render`; false when the output cannot start.
    virtual bool start(Render render) = 0;
};

}  // namespace mira::gui
