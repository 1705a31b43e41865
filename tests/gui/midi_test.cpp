// The melody player's host output: the built-in synthesiser renders offline (no audio
// device), a note sounds and a rest stays silent, and a host without a MIDI sequencer falls
// back to the synthesiser without a word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/device.h"
#include "core/machine.h"
#include "core/timer.h"
#include "devices/melody_player.h"
#include "midi/gm_synth.h"
#include "midi/host_midi_out.h"

namespace mira::gui {
namespace {

constexpr int kRate = 44100;

// An audio output that exists but plays nothing: the test pulls the frames itself.
class PulledPcm final : public PcmOutput {
public:
    explicit PulledPcm(int rate) : rate_(rate) {}
    int sampleRate() override { return rate_; }
    bool start(Render render) override {
        render_ = std::move(render);
        return true;
    }
    // Peak magnitude of `ms` of output.
    int pullPeak(int ms) {
        std::vector<int16_t> buf(static_cast<size_t>(kRate * ms / 1000) * 2);
        if (render_) render_(buf.data(), static_cast<int>(buf.size() / 2));
        int peak = 0;
        for (int16_t s : buf) peak = std::max(peak, std::abs(static_cast<int>(s)));
        return peak;
    }
    bool started() const { return static_cast<bool>(render_); }

private:
    int rate_;
    Render render_;
};

bool soundFontInstalled() {
    GmSynth probe;
    return probe.load(kRate);
}

TEST(GmSynth, NoteSoundsAndFadesAfterItsNoteOff) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI sound font installed";
    GmSynth synth;
    ASSERT_TRUE(synth.load(kRate));
    EXPECT_EQ(synth.soundFont(), "TimGM6mb.sf2");
    PulledPcm pcm(kRate);
    pcm.start([&](int16_t* s, int n) { synth.render(s, n); });
    EXPECT_EQ(pcm.pullPeak(50), 0);  // nothing played yet
    ASSERT_TRUE(synth.send(0xC0, 0, 0));
    ASSERT_TRUE(synth.send(0x90, 60, 127));
    EXPECT_GT(pcm.pullPeak(100), 1000);
    ASSERT_TRUE(synth.send(0x80, 60, 127));
    pcm.pullPeak(2000);  // release and reverb tail
    EXPECT_LT(pcm.pullPeak(100), 50);
}

TEST(GmSynth, RefusesWithoutASoundFontAndRendersSilence) {
    GmSynth synth;
    EXPECT_FALSE(synth.load(kRate, {"/nonexistent/none.sf2"}));
    EXPECT_FALSE(synth.send(0x90, 60, 127));
    std::vector<int16_t> buf(200, 7);
    synth.render(buf.data(), 100);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](int16_t s) { return s == 0; }));
}

// The whole way: the player's note step into the built-in synthesiser and out as samples.
struct SynthRig {
    core::Machine m;
    core::VirtualClock clock;
    PulledPcm* pcm;
    HostMidiOut out;
    devices::MelodyPlayer player;

    SynthRig()
        : pcm(new PulledPcm(kRate)),
          out(std::unique_ptr<PcmOutput>(pcm), HostMidiOut::Options{false, GmSynth::defaultSoundFonts()}),
          player(m.bus, clock, m.melodyNoteDelay, &out) {
        player.PutDevice(2);
        player.doInit();
    }
    void play(int noteByte) {
        m.bus.slots[2].output = noteByte;
        m.bus.notifyOutput(2);
        m.bus.SetOutputResetFlag(2, 0);
        m.bus.SetOutputResetFlag(2, 1);
    }
};

TEST(BuiltInSynth, PlayerNoteIsHeardAndARestIsSilent) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI sound font installed";
    SynthRig rest;
    ASSERT_TRUE(rest.player.midiAvailable());
    ASSERT_TRUE(rest.pcm->started());
    rest.play(13);  // a rest
    EXPECT_EQ(rest.pcm->pullPeak(300), 0);

    SynthRig note;
    note.play(28);  // middle C
    EXPECT_GT(note.pcm->pullPeak(200), 1000);
}

TEST(HostMidiOut, WithoutASequencerFallsBackToTheBuiltInSynthesiser) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI sound font installed";
    // This host has no ALSA sequencer: RtMidi cannot even start. Where a sequencer with a
    // real port exists, that port wins instead.
    auto* pcm = new PulledPcm(kRate);
    HostMidiOut out{std::unique_ptr<PcmOutput>(pcm)};
    ASSERT_TRUE(out.open());
    if (out.kind() == HostMidiOut::Kind::Port) GTEST_SKIP() << "host has MIDI port " << out.portName();
    EXPECT_EQ(out.kind(), HostMidiOut::Kind::BuiltIn);
    EXPECT_EQ(out.description(), "Built-in synthesiser (TimGM6mb.sf2)");
    EXPECT_TRUE(pcm->started());
    EXPECT_TRUE(out.send(0x90, 60, 127));
    EXPECT_GT(pcm->pullPeak(100), 1000);
    EXPECT_TRUE(out.open());  // opened once; asking again changes nothing
}

// A machine with no MIDI port and no sound (or no sound font) still plays in time: the
// output is silent, takes every message, and the player's flag runs as with sound.
TEST(HostMidiOut, NoPortNoAudioOutputPlaysSilentlyInTime) {
    HostMidiOut noAudio{std::make_unique<PulledPcm>(0), HostMidiOut::Options{false, {}}};
    EXPECT_TRUE(noAudio.open());
    EXPECT_EQ(noAudio.kind(), HostMidiOut::Kind::Silent);
    EXPECT_EQ(noAudio.description(), "Silent: no sound output");
    EXPECT_TRUE(noAudio.send(0x90, 60, 127));
    HostMidiOut nothing{nullptr, HostMidiOut::Options{false, {}}};
    EXPECT_TRUE(nothing.open());
    EXPECT_EQ(nothing.kind(), HostMidiOut::Kind::Silent);

    HostMidiOut noFont{std::make_unique<PulledPcm>(kRate),
                       HostMidiOut::Options{false, {"/nonexistent/none.sf2"}}};
    core::Machine m;
    core::VirtualClock clock;
    devices::MelodyPlayer player(m.bus, clock, m.melodyNoteDelay, &noFont);
    player.PutDevice(2);
    player.doInit();
    EXPECT_EQ(noFont.kind(), HostMidiOut::Kind::Silent);
    EXPECT_TRUE(player.midiAvailable());
    // Note byte 0x41 (length code 1): the first pulse starts it, the second holds the flag
    // for two units of the note delay, then it is ready again.
    m.bus.slots[2].output = 0x41;
    m.bus.notifyOutput(2);
    for (int pulse = 0; pulse < 2; ++pulse) {
        m.bus.SetOutputResetFlag(2, 0);
        m.bus.SetOutputResetFlag(2, 1);
    }
    EXPECT_EQ(m.bus.slots[2].flag, 1);
    clock.advance(2 * m.melodyNoteDelay);
    EXPECT_EQ(m.bus.slots[2].flag, 0);
}

}  // namespace
}  // namespace mira::gui
