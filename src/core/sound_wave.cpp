#include "sound_wave.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace mira::core {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Loudest sample of every effect: loud enough to hear, with headroom when several overlap.
constexpr double kPeak = 0.7;
constexpr double kFadeOutMs = 3.0;
constexpr int kRiffHeaderBytes = 12;
constexpr int kChunkHeaderBytes = 8;
constexpr int kFmtChunkBytes = 16;
constexpr int kPcmFormat = 1;

// Deterministic noise (xorshift): the same sound every time, on every machine.
class Noise {
public:
    explicit Noise(uint32_t seed) : s_(seed ? seed : 1u) {}
    double next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return static_cast<double>(s_) / 2147483648.0 - 1.0;  // −1 .. 1
    }
    double uniform() { return (next() + 1.0) / 2.0; }  // 0 .. 1

private:
    uint32_t s_;
};

int samplesFor(double ms) { return static_cast<int>(ms * kSoundSampleRate / 1000.0 + 0.5); }

// A mono mix in floating point, built from a few physical-sounding parts.
class Mix {
public:
    Mix(double ms, uint32_t seed) : buf_(static_cast<size_t>(samplesFor(ms)), 0.0), noise_(seed) {}

    // A damped sine: the ring of a struck part (a paddle, a solenoid, a bell, a roller).
    void ring(double atMs, double hz, double amp, double decayMs) {
        const int start = samplesFor(atMs);
        const int end = std::min(size(), start + samplesFor(decayMs * 7));
        const double w = 2 * kPi * hz / kSoundSampleRate;
        const double k = 1000.0 / (decayMs * kSoundSampleRate);
        for (int i = start; i < end; ++i) {
            const int n = i - start;
            buf_[static_cast<size_t>(i)] += amp * std::exp(-n * k) * std::sin(w * n);
        }
    }

    // A noise burst with an instant attack and an exponential decay: two hard parts meeting.
    // `bright` 0..1 runs from a dull knock (low-passed) to a sharp tick.
    void click(double atMs, double amp, double decayMs, double bright) {
        const int start = samplesFor(atMs);
        const int end = std::min(size(), start + samplesFor(decayMs * 7));
        const double a = 0.04 + 0.9 * bright;
        const double k = 1000.0 / (decayMs * kSoundSampleRate);
        double lp = 0;
        for (int i = start; i < end; ++i) {
            lp += a * (noise_.next() - lp);
            buf_[static_cast<size_t>(i)] += amp * std::exp(-(i - start) * k) * lp;
        }
    }

    // Shaped noise from one time to another with a linear attack and release: slides,
    // whirrs, paper moving. With `grainMs` > 0 the level jumps at random every few
    // milliseconds, which is what tearing paper sounds like.
    void hiss(double fromMs, double toMs, double amp, double attackMs, double releaseMs,
              double bright, double grainMs = 0) {
        const int start = samplesFor(fromMs);
        const int end = std::min(size(), samplesFor(toMs));
        const int attack = std::max(1, samplesFor(attackMs));
        const int release = std::max(1, samplesFor(releaseMs));
        const double a = 0.04 + 0.9 * bright;
        const int grain = grainMs > 0 ? std::max(1, samplesFor(grainMs)) : 0;
        double lp = 0, hp = 0, level = 1, target = 1;
        for (int i = start; i < end; ++i) {
            const int n = i - start;
            double env = std::min(1.0, static_cast<double>(n) / attack);
            env = std::min(env, static_cast<double>(end - i) / release);
            if (grain && n % grain == 0) target = 0.15 + 0.85 * noise_.uniform();
            level += 0.02 * (target - level);
            lp += a * (noise_.next() - lp);
            hp += 0.05 * (lp - hp);  // keep the rumble out
            buf_[static_cast<size_t>(i)] += amp * env * level * (lp - hp);
        }
    }

    // A steady tone over the whole mix (a motor); whole periods make a seamless loop.
    void hum(double hz, double amp) {
        const double w = 2 * kPi * hz / kSoundSampleRate;
        for (int i = 0; i < size(); ++i) buf_[static_cast<size_t>(i)] += amp * std::sin(w * i);
    }

    // Scales to the common peak; a one-shot sound fades out over its last milliseconds so
    // that it never ends on a step.
    std::vector<int16_t> finish(bool loops) const {
        double peak = 0;
        for (double v : buf_) peak = std::max(peak, std::abs(v));
        const double gain = peak > 0 ? kPeak / peak : 0;
        const int fade = loops ? 0 : samplesFor(kFadeOutMs);
        std::vector<int16_t> out(buf_.size());
        for (int i = 0; i < size(); ++i) {
            double v = buf_[static_cast<size_t>(i)] * gain;
            if (const int left = size() - 1 - i; left < fade) v *= static_cast<double>(left) / fade;
            out[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(v * 32767));
        }
        return out;
    }

    int size() const { return static_cast<int>(buf_.size()); }

private:
    std::vector<double> buf_;
    Noise noise_;
};

// The front panel's paddle switch: the paddle's tick, the toggle spring snapping over
// and the body's short knock.
std::vector<int16_t> switchClick() {
    Mix m(70, 0x5C1);
    m.click(0, 1.0, 0.8, 0.95);
    m.ring(0, 2400, 0.35, 2.5);
    m.click(7, 0.6, 1.2, 0.7);
    m.ring(7, 950, 0.35, 5);
    m.ring(7, 210, 0.45, 9);
    return m.finish(false);
}

// A cassette deck key going down: a soft tick, then the latch and mechanism engaging.
std::vector<int16_t> keyDown() {
    Mix m(110, 0xB7D);
    m.click(0, 0.5, 2, 0.5);
    m.click(28, 1.0, 3, 0.45);
    m.ring(28, 160, 0.7, 18);
    m.ring(28, 640, 0.25, 6);
    m.click(36, 0.3, 2, 0.6);
    return m.finish(false);
}

// The STOP key: the latch lets go and the keys spring back up with a small twang.
std::vector<int16_t> keyRelease() {
    Mix m(150, 0xB70F);
    m.click(0, 0.8, 1.5, 0.75);
    m.ring(0, 720, 0.3, 30);
    m.click(24, 1.0, 3, 0.4);
    m.ring(24, 190, 0.6, 16);
    m.click(60, 0.25, 2, 0.7);
    return m.finish(false);
}

// A small bell struck once (the ASCII keyboard's BEL): inharmonic partials, the high ones
// dying first.
std::vector<int16_t> bell() {
    Mix m(1300, 0xBE11);
    constexpr double kFundamental = 1320;
    constexpr std::array<std::array<double, 3>, 5> kPartials{{
        {1.0, 1.0, 420},  // ratio, amplitude, decay ms
        {2.76, 0.55, 190},
        {5.40, 0.28, 95},
        {8.93, 0.14, 55},
        {0.5, 0.2, 300},  // the hum tone under the strike
    }};
    for (const auto& [ratio, amp, decay] : kPartials) m.ring(0, kFundamental * ratio, amp, decay);
    m.click(0, 0.25, 0.6, 0.9);
    return m.finish(false);
}

// The paper tape reader feeding: sprocket ticks over a motor hum, one loop of 300 ms
// (six rows a loop) made to repeat without a seam.
std::vector<int16_t> readerFeed() {
    Mix m(300, 0x1F0);
    m.hum(100, 0.08);
    m.hum(200, 0.05);
    for (int row = 0; row < 6; ++row) {
        const double at = row * 50.0;
        m.click(at, 0.55, 1.2, 0.8);
        m.ring(at, 1500, 0.12, 3);
        m.click(at + 18, 0.2, 1.5, 0.5);
    }
    return m.finish(true);
}

// The printer's paper feed: the ratchet clicking over three teeth and the platen turning.
std::vector<int16_t> paperFeed() {
    Mix m(190, 0x9F);
    m.hiss(0, 150, 0.12, 20, 40, 0.3);
    for (int tooth = 0; tooth < 3; ++tooth) {
        const double at = 10 + tooth * 40.0;
        m.click(at, 0.8, 1.5, 0.75);
        m.ring(at, 1100, 0.2, 4);
    }
    m.ring(120, 150, 0.4, 15);
    return m.finish(false);
}

// The print head solenoid pulling in.
std::vector<int16_t> headStart() {
    Mix m(80, 0x9A);
    m.click(0, 1.0, 1.2, 0.8);
    m.ring(0, 420, 0.6, 9);
    m.ring(0, 1900, 0.2, 3);
    m.click(14, 0.4, 1.5, 0.6);
    return m.finish(false);
}

// A line printing: twenty quick hammer strikes with the carriage whirring underneath.
std::vector<int16_t> linePrint() {
    Mix m(250, 0x9E);
    m.hiss(0, 245, 0.18, 15, 30, 0.55);
    Noise jitter(0x77);
    for (int column = 0; column < 20; ++column) {
        const double at = 4 + column * 11.5;
        const double amp = 0.45 + 0.3 * jitter.uniform();
        m.click(at, amp, 0.9, 0.85);
        m.ring(at, 2100 + 300 * jitter.uniform(), 0.12, 2);
    }
    return m.finish(false);
}

// The tape punch: the dies going through the tape and springing back.
std::vector<int16_t> punch() {
    Mix m(75, 0x9C);
    m.click(0, 1.0, 1.5, 0.65);
    m.ring(0, 120, 0.8, 14);
    m.ring(0, 760, 0.3, 5);
    m.click(24, 0.45, 1.2, 0.8);
    return m.finish(false);
}

// A length of printer paper torn off against the cutter.
std::vector<int16_t> paperRip() {
    Mix m(480, 0x819);
    m.hiss(0, 470, 0.9, 60, 120, 0.8, 4);
    m.hiss(20, 400, 0.4, 100, 150, 0.35, 9);
    m.click(470 - 30, 0.3, 3, 0.7);
    return m.finish(false);
}

// A cassette sliding into the deck and seating with a clunk.
std::vector<int16_t> tapeIn() {
    Mix m(230, 0x7A1);
    m.hiss(0, 85, 0.18, 20, 15, 0.4);
    m.click(90, 1.0, 3, 0.45);
    m.ring(90, 140, 0.8, 22);
    m.ring(90, 520, 0.25, 8);
    m.click(145, 0.3, 2, 0.7);
    return m.finish(false);
}

// The eject spring throwing the cassette door open, the cassette lifting out.
std::vector<int16_t> tapeOut() {
    Mix m(270, 0x7B0);
    m.click(0, 0.8, 1.2, 0.8);
    m.ring(0, 880, 0.25, 25);
    m.click(22, 1.0, 3, 0.45);
    m.ring(22, 200, 0.7, 18);
    m.hiss(45, 205, 0.16, 10, 60, 0.4);
    m.click(215, 0.35, 2, 0.65);
    return m.finish(false);
}

struct Effect {
    const char* name;
    std::vector<int16_t> (*make)();
};
// In SoundId order.
constexpr std::array<Effect, kSoundCount> kEffects{{
    {"BELL", bell},
    {"BTDOWN", keyDown},
    {"BTOFF", keyRelease},
    {"LNFD", readerFeed},
    {"PRNF", paperFeed},
    {"PRNP", headStart},
    {"PRNR", linePrint},
    {"PUNCH", punch},
    {"RIP", paperRip},
    {"SWC", switchClick},
    {"TAPIN", tapeIn},
    {"TPOUT", tapeOut},
}};

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

uint32_t get16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8;
}
uint32_t get32(std::span<const uint8_t> b, size_t at) { return get16(b, at) | get16(b, at + 2) << 16; }
bool tagAt(std::span<const uint8_t> b, size_t at, std::string_view tag) {
    return at + 4 <= b.size() && std::memcmp(b.data() + at, tag.data(), 4) == 0;
}

int index(SoundId id) { return static_cast<int>(id); }

}  // namespace

const char* soundName(SoundId id) { return kEffects.at(static_cast<size_t>(index(id))).name; }

SoundId soundAt(int i) { return static_cast<SoundId>(i); }

std::vector<uint8_t> synthesizeSound(SoundId id) {
    const std::vector<int16_t> pcm = kEffects.at(static_cast<size_t>(index(id))).make();
    constexpr uint32_t kBlockAlign = kSoundBitsPerSample / 8;  // mono
    const auto dataBytes = static_cast<uint32_t>(pcm.size() * kBlockAlign);
    std::vector<uint8_t> out;
    out.reserve(kRiffHeaderBytes + 2 * kChunkHeaderBytes + kFmtChunkBytes + dataBytes);
    putTag(out, "RIFF");
    put32(out, 4 + 2 * kChunkHeaderBytes + kFmtChunkBytes + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, kFmtChunkBytes);
    put16(out, kPcmFormat);
    put16(out, 1);  // mono
    put32(out, kSoundSampleRate);
    put32(out, kSoundSampleRate * kBlockAlign);  // bytes per second
    put16(out, kBlockAlign);
    put16(out, kSoundBitsPerSample);
    putTag(out, "data");
    put32(out, dataBytes);
    for (int16_t s : pcm) put16(out, static_cast<uint16_t>(s));
    return out;
}

WavInfo parseWav(std::span<const uint8_t> b) {
    WavInfo info;
    if (b.size() < kRiffHeaderBytes || !tagAt(b, 0, "RIFF") || !tagAt(b, 8, "WAVE")) return info;
    bool haveFmt = false, haveData = false;
    size_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= b.size() && !(haveFmt && haveData)) {
        const size_t size = get32(b, at + 4);
        const size_t body = at + kChunkHeaderBytes;
        if (tagAt(b, at, "fmt ")) {
            if (size < kFmtChunkBytes || body + kFmtChunkBytes > b.size()) return info;
            info.format = static_cast<int>(get16(b, body));
            info.channels = static_cast<int>(get16(b, body + 2));
            info.sampleRate = static_cast<int>(get32(b, body + 4));
            info.bitsPerSample = static_cast<int>(get16(b, body + 14));
            haveFmt = true;
        } else if (tagAt(b, at, "data")) {
            if (body + size > b.size()) return info;  // shorter than announced
            info.dataOffset = body;
            info.dataBytes = size;
            haveData = true;
        }
        at = body + size + (size & 1);  // chunks are padded to even sizes
    }
    info.ok = haveFmt && haveData && info.format == kPcmFormat &&
              (info.channels == 1 || info.channels == 2) &&
              (info.bitsPerSample == 8 || info.bitsPerSample == 16) && info.sampleRate > 0;
    return info;
}

int soundDurationMs(SoundId id) {
    static const std::array<int, kSoundCount> durations = [] {
        std::array<int, kSoundCount> d{};
        for (int i = 0; i < kSoundCount; ++i)
            d[static_cast<size_t>(i)] = parseWav(synthesizeSound(soundAt(i))).durationMs();
        return d;
    }();
    return durations.at(static_cast<size_t>(index(id)));
}

}  // namespace mira::core
