#include "midi/host_midi_out.h"

#include <RtMidi.h>

#include <exception>
#include <filesystem>

namespace mira::gui {

namespace {

constexpr const char* kSequencerDevice = "/dev/snd/seq";

// The kernel's loop-back port is listed first on most desktops but sounds nothing; a
// student would see MIDI available and hear no note.
bool canSound(const std::string& portName) {
    return portName.find("Midi Through") == std::string::npos;
}

// With a callback RtMidi neither prints nor throws: warnings are dropped, anything worse
// marks the port failed so that the player can give up on it.
void noteRtMidiError(RtMidiError::Type type, const std::string&, void* failed) {
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool*>(failed) = true;
}

}  // namespace

HostMidiOut::HostMidiOut(std::unique_ptr<PcmOutput> pcm) : HostMidiOut(std::move(pcm), Options{}) {}

HostMidiOut::HostMidiOut(std::unique_ptr<PcmOutput> pcm, Options options)
    : pcm_(std::move(pcm)), options_(std::move(options)) {}

HostMidiOut::~HostMidiOut() = default;

bool HostMidiOut::open() {
    if (tried_) return kind_ != Kind::None;
    tried_ = true;
    if (options_.tryPorts && openPort()) {
        kind_ = Kind::Port;
    } else if (openBuiltIn()) {
        kind_ = Kind::BuiltIn;
    } else {
        kind_ = Kind::Silent;
    }
    return true;
}

bool HostMidiOut::openPort() {
    // Only the ALSA sequencer: without a running JACK server RtMidi's JACK client cannot
    // open any port, and the JACK library complains on stderr while it finds that out.
    // Without the sequencer device there is nothing to ask, and asking only prints
    // ALSA's complaints on the console.
    std::error_code ec;
    if (!std::filesystem::exists(kSequencerDevice, ec)) return false;
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "MIRA-8");
        out->setErrorCallback(&noteRtMidiError, &portFailed_);
        const unsigned count = out->getPortCount();
        // Never open a port that is not listed: some back ends crash on it.
        for (unsigned i = 0; i < count; ++i) {
            const std::string name = out->getPortName(i);
            if (name.empty() || !canSound(name)) continue;
            portFailed_ = false;
            out->openPort(i, "MIRA-8 Melody Player");
            if (portFailed_ || !out->isPortOpen()) return false;
            portName_ = name;
            port_ = std::move(out);
            return true;
        }
    } catch (const std::exception&) {
        // No sequencer on this host (the usual desktop without a synth): not an error.
    }
    return false;
}

bool HostMidiOut::openBuiltIn() {
    if (!pcm_) return false;
    const int rate = pcm_->sampleRate();
    if (rate <= 0) return false;
    if (!synth_.load(rate, options_.soundFonts)) return false;
    return pcm_->start([this](int16_t* stereo, int frames) { synth_.render(stereo, frames); });
}

bool HostMidiOut::send(uint8_t status, uint8_t data1, uint8_t data2) {
    switch (kind_) {
        case Kind::Port:
            try {
                const unsigned char msg[3] = {status, data1, data2};
                portFailed_ = false;
                port_->sendMessage(msg, 3);
                return !portFailed_;
            } catch (const std::exception&) {
                return false;
            }
        case Kind::BuiltIn: return synth_.send(status, data1, data2);
        case Kind::Silent: return true;
        case Kind::None: break;
    }
    return false;
}

std::string HostMidiOut::description() const {
    switch (kind_) {
        case Kind::Port: return "MIDI port: " + portName_;
        case Kind::BuiltIn: return "Built-in synthesiser (" + synth_.soundFont() + ")";
        case Kind::Silent: return kSilentDescription;
        case Kind::None: break;
    }
    return {};
}

}  // namespace mira::gui
