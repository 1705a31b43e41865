#include "qt_sound_player.h"

#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <algorithm>

namespace mira::gui {

namespace {

size_t indexOf(core::SoundId id) { return static_cast<size_t>(id); }

// Looking for an audio output on a machine without a sound server makes Qt's audio backend
// warn that it could not connect; having no sound card is normal here and not worth a word.
QtMessageHandler previousHandler = nullptr;
void quietAboutMissingAudio(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("PulseAudioService:"))) return;
    if (previousHandler) previousHandler(type, context, msg);
}

QAudioDevice findOutput() {
    previousHandler = qInstallMessageHandler(quietAboutMissingAudio);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    qInstallMessageHandler(previousHandler);
    return device;
}

}  // namespace

QtSoundPlayer::QtSoundPlayer(QObject* parent) : QObject(parent) {
    device_ = findOutput();
    if (device_.isNull()) return;  // no sound card: silence, as specified
    format_.setSampleRate(core::kSoundSampleRate);
    format_.setChannelCount(1);
    format_.setSampleFormat(QAudioFormat::Int16);
    if (!device_.isFormatSupported(format_)) return;
    for (int i = 0; i < core::kSoundCount; ++i) {
        const std::vector<uint8_t> wav = core::synthesizeSound(core::soundAt(i));
        const core::WavInfo info = core::parseWav(wav);
        if (!info.ok) return;
        pcm_[static_cast<size_t>(i)] =
            QByteArray(reinterpret_cast<const char*>(wav.data() + info.dataOffset),
                       static_cast<qsizetype>(info.dataBytes));
    }
    available_ = true;
}

QtSoundPlayer::~QtSoundPlayer() {
    for (Voice& v : voices_) release(v);
    voices_.clear();
}

void QtSoundPlayer::play(core::SoundId id) { start(id, false); }

void QtSoundPlayer::playLooping(core::SoundId id) { start(id, true); }

void QtSoundPlayer::stop(core::SoundId id) {
    for (Voice& v : voices_)
        if (v.id == id) release(v);
    std::erase_if(voices_, [](const Voice& v) { return v.sink == nullptr; });
}

void QtSoundPlayer::start(core::SoundId id, bool loop) {
    if (!available_) return;
    if (static_cast<int>(voices_.size()) >= kMaxVoices) {
        release(voices_.front());
        voices_.erase(voices_.begin());
    }
    Voice v{id, loop};
    v.buffer = new QBuffer(this);
    v.buffer->setData(pcm_[indexOf(id)]);  // shared with pcm_, not copied
    v.buffer->open(QIODevice::ReadOnly);
    v.sink = new QAudioSink(device_, format_, this);
    QAudioSink* sink = v.sink;
    // The sink reports the end of its data as idle; the voice is finished (or looped) from
    // the event loop, never inside the sink's own signal.
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        if (state == QAudio::IdleState ||
            (state == QAudio::StoppedState && sink->error() != QAudio::NoError))
            QMetaObject::invokeMethod(this, [this, sink] { finished(sink); }, Qt::QueuedConnection);
    });
    sink->start(v.buffer);
    if (sink->error() != QAudio::NoError) {
        release(v);
        return;
    }
    voices_.push_back(v);
}

void QtSoundPlayer::finished(QAudioSink* sink) {
    const auto it = std::find_if(voices_.begin(), voices_.end(),
                                 [sink](const Voice& v) { return v.sink == sink; });
    if (it == voices_.end()) return;  // already stopped
    if (it->loop && sink->error() == QAudio::NoError) {
        sink->stop();
        it->buffer->seek(0);
        sink->start(it->buffer);
        if (sink->error() == QAudio::NoError) return;
    }
    release(*it);
    voices_.erase(it);
}

void QtSoundPlayer::release(Voice& v) {
    if (!v.sink) return;
    v.sink->disconnect(this);
    v.sink->stop();
    v.sink->deleteLater();
    v.buffer->deleteLater();
    v.sink = nullptr;
    v.buffer = nullptr;
}

}  // namespace mira::gui
