// The built-in synthesiser's samples played through Qt's audio output, the same output the
// sound effects use. The sink pulls frames as it needs them, so the synthesiser renders
// only what is about to be heard.
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QObject>

#include "midi/pcm_output.h"

class QAudioSink;

namespace mira::gui {

class QtPcmOutput final : public QObject, public PcmOutput {
public:
    static constexpr int kPreferredRate = 44100;
    // Audio queued ahead of the speaker: short enough that a note starts on its pulse.
    static constexpr int kLatencyMs = 60;

    explicit QtPcmOutput(QObject* parent = nullptr);
    ~QtPcmOutput() override;

    int sampleRate() override;
    bool start(Render render) override;

private:
    class Stream;
    QAudioDevice device_;
    QAudioFormat format_;
    bool probed_ = false;
    Stream* stream_ = nullptr;
    QAudioSink* sink_ = nullptr;
};

}  // namespace mira::gui
