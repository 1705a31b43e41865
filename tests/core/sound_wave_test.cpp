// The synthesised sound effects: well-formed WAVE data of the expected lengths, never
// silent, never clipped, ending quietly, and the same bytes every time.
#include "core/sound_wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace mira::core;

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
int16_t sampleAt(const std::vector<uint8_t>& b, const WavInfo& w, size_t i) {
    const size_t at = w.dataOffset + 2 * i;
    return static_cast<int16_t>(b[at] | b[at + 1] << 8);
}

struct Expected {
    SoundId id;
    const char* name;
    int minMs, maxMs;
};
// Short mechanical clicks, a bell that rings out, feeds and tears of a few tenths.
constexpr Expected kExpected[] = {
    {SoundId::Bell, "BELL", 800, 1500},   {SoundId::BtDown, "BTDOWN", 60, 200},
    {SoundId::BtOff, "BTOFF", 60, 200},   {SoundId::Lnfd, "LNFD", 300, 300},
    {SoundId::Prnf, "PRNF", 100, 400},    {SoundId::Prnp, "PRNP", 30, 150},
    {SoundId::Prnr, "PRNR", 150, 260},    {SoundId::Punch, "PUNCH", 30, 120},
    {SoundId::Rip, "RIP", 300, 800},      {SoundId::Swc, "SWC", 30, 120},
    {SoundId::Tapin, "TAPIN", 100, 400},  {SoundId::Tpout, "TPOUT", 100, 400},
};

}  // namespace

TEST(SoundWave, EveryEffectIsPcmWaveOfItsLength) {
    ASSERT_EQ(std::size(kExpected), size_t(kSoundCount));
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.name);
        EXPECT_STREQ(soundName(e.id), e.name);
        const std::vector<uint8_t> b = synthesizeSound(e.id);
        ASSERT_GE(b.size(), size_t(44));
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(le32(b, 4), b.size() - 8);
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(le32(b, 16), 16u);
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
        EXPECT_EQ(le32(b, 40), b.size() - 44);
        EXPECT_EQ(le32(b, 28), uint32_t(kSoundSampleRate * 2));  // bytes per second

        const WavInfo w = parseWav(b);
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.format, 1);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.sampleRate, kSoundSampleRate);
        EXPECT_EQ(w.bitsPerSample, 16);
        EXPECT_EQ(w.dataOffset, size_t(44));
        EXPECT_GE(w.durationMs(), e.minMs);
        EXPECT_LE(w.durationMs(), e.maxMs);
        EXPECT_EQ(soundDurationMs(e.id), w.durationMs());
    }
}

TEST(SoundWave, LoudButNotClippedAndEndsQuietly) {
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.name);
        const std::vector<uint8_t> b = synthesizeSound(e.id);
        const WavInfo w = parseWav(b);
        int peak = 0;
        for (size_t i = 0; i < w.frames(); ++i) peak = std::max(peak, std::abs(int(sampleAt(b, w, i))));
        EXPECT_GT(peak, 16000);
        EXPECT_LT(peak, 32000);
        // A one-shot fades to nothing; the reader's feed loop ends where it starts.
        EXPECT_LT(std::abs(int(sampleAt(b, w, w.frames() - 1))), 400);
    }
}

TEST(SoundWave, SameBytesEveryTime) {
    for (const Expected& e : kExpected) EXPECT_EQ(synthesizeSound(e.id), synthesizeSound(e.id));
    EXPECT_NE(synthesizeSound(SoundId::Swc), synthesizeSound(SoundId::Punch));
}

TEST(SoundWave, ParseRejectsWhatIsNotPcmWave) {
    std::vector<uint8_t> b = synthesizeSound(SoundId::Swc);
    EXPECT_FALSE(parseWav(std::span(b).first(20)).ok);         // cut inside the header
    EXPECT_FALSE(parseWav(std::span(b).first(b.size() - 1)).ok);  // data shorter than announced
    std::vector<uint8_t> notPcm = b;
    notPcm[20] = 3;  // IEEE float
    EXPECT_FALSE(parseWav(notPcm).ok);
    std::vector<uint8_t> garbage(100, 0x41);
    EXPECT_FALSE(parseWav(garbage).ok);
    EXPECT_FALSE(parseWav({}).ok);
    // An extra chunk before the data is skipped.
    const uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    std::vector<uint8_t> withList;
    for (size_t i = 0; i < b.size(); ++i) {
        if (i == 36)
            for (uint8_t c : list) withList.push_back(c);
        withList.push_back(b[i]);
    }
    const WavInfo w = parseWav(withList);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.dataOffset, size_t(56));
    EXPECT_EQ(w.durationMs(), parseWav(b).durationMs());
}

TEST(SoundEffects, GateStopsPlayButNotStop) {
    struct Recorder : SoundPlayer {
        std::string log;
        void play(SoundId id) override { log += std::string("play ") + soundName(id) + ";"; }
        void playLooping(SoundId id) override { log += std::string("loop ") + soundName(id) + ";"; }
        void stop(SoundId id) override { log += std::string("stop ") + soundName(id) + ";"; }
    } rec;
    SoundEffects fx;
    fx.play(SoundId::Swc);  // no player: nothing
    fx.setPlayer(&rec);
    fx.play(SoundId::Swc);
    fx.playLooping(SoundId::Lnfd);
    fx.enabled = false;
    fx.play(SoundId::Bell);
    fx.playLooping(SoundId::Lnfd);
    fx.stop(SoundId::Lnfd);
    EXPECT_EQ(rec.log, "play SWC;loop LNFD;stop LNFD;");
}
