#include "midi/qt_pcm_output.h"

#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace mira::gui {

namespace {

constexpr int kBytesPerFrame = 4;  // 16-bit stereo

// No sound server is a normal state for this host, not worth a warning on the console.
QtMessageHandler previousHandler = nullptr;
void quietAboutMissingAudio(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("PulseAudioService:"))) return;
    if (previousHandler) previousHandler(type, context, msg);
}

}  // namespace

// An endless source: every read renders exactly the frames asked for.
class QtPcmOutput::Stream final : public QIODevice {
public:
    Stream(Render render, QObject* parent) : QIODevice(parent), render_(std::move(render)) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 20; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 frames = maxSize / kBytesPerFrame;
        if (frames > 0) render_(reinterpret_cast<int16_t*>(data), static_cast<int>(frames));
        return frames * kBytesPerFrame;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    Render render_;
};

QtPcmOutput::QtPcmOutput(QObject* parent) : QObject(parent) {}

QtPcmOutput::~QtPcmOutput() {
    if (sink_) sink_->stop();
}

int QtPcmOutput::sampleRate() {
    if (!probed_) {
        probed_ = true;
        previousHandler = qInstallMessageHandler(quietAboutMissingAudio);
        device_ = QMediaDevices::defaultAudioOutput();
        qInstallMessageHandler(previousHandler);
        if (!device_.isNull()) {
            format_.setChannelCount(2);
            format_.setSampleFormat(QAudioFormat::Int16);
            format_.setSampleRate(kPreferredRate);
            if (!device_.isFormatSupported(format_))
                format_.setSampleRate(device_.preferredFormat().sampleRate());
            if (!device_.isFormatSupported(format_)) device_ = QAudioDevice();
        }
    }
    return device_.isNull() ? 0 : format_.sampleRate();
}

bool QtPcmOutput::start(Render render) {
    if (sink_ || sampleRate() == 0) return sink_ != nullptr;
    stream_ = new Stream(std::move(render), this);
    stream_->open(QIODevice::ReadOnly);
    sink_ = new QAudioSink(device_, format_, this);
    sink_->setBufferSize(format_.sampleRate() * kBytesPerFrame * kLatencyMs / 1000);
    sink_->start(stream_);
    if (sink_->error() != QAudio::NoError) {
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
        return false;
    }
    return true;
}

}  // namespace mira::gui
