// The sound effects played for real: the synthesised WAVE data is kept in memory and each
// play() starts an audio sink on it and returns at once. Without an audio output device
// nothing is played and nothing is reported.
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <array>
#include <memory>
#include <vector>

#include "core/sound.h"
#include "core/sound_wave.h"

class QAudioSink;
class QBuffer;

namespace mira::gui {

class QtSoundPlayer final : public QObject, public core::SoundPlayer {
public:
    // Sounds overlapping at most; a further one cuts the oldest short.
    static constexpr int kMaxVoices = 8;

    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    // An audio output exists and the sounds could be prepared for it.
    bool available() const { return available_; }
    // Sounds playing now (a loop counts until stopped).
    int voiceCount() const { return static_cast<int>(voices_.size()); }

    void play(core::SoundId id) override;
    void playLooping(core::SoundId id) override;
    void stop(core::SoundId id) override;
    bool audible() const override { return available_; }

private:
    struct Voice {
        core::SoundId id;
        bool loop = false;
        QAudioSink* sink = nullptr;
        QBuffer* buffer = nullptr;
    };

    void start(core::SoundId id, bool loop);
    void finished(QAudioSink* sink);
    void release(Voice& v);

    bool available_ = false;
    QAudioDevice device_;
    QAudioFormat format_;
    // PCM samples of each effect (the WAVE data after its header).
    std::array<QByteArray, core::kSoundCount> pcm_;
    std::vector<Voice> voices_;
};

}  // namespace mira::gui
