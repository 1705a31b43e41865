#include "modules/play.h"
#include "artwork_font.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "midi/host_midi_out.h"
#include "midi/qt_pcm_output.h"
#include "modules/notedel.h"
#include "modules/play_art.h"

namespace mira::gui {

// --- TplayFM ---

TplayFM::TplayFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleMelody), env),
      player_(env.machine.bus, env.timers, env.machine.melodyNoteDelay, nullptr, this) {
    setObjectName(QStringLiteral("playFM"));
    setFixedSize(playart::kWidth, playart::kHeight);
    spkrImage = new ModulePicture(*this, this, "spkrImage");
    spkrImage->setGeometry(0, 0, playart::kWidth, playart::kHeight);
    // Only the cabinet shows; its rounded corners belong to the desktop.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        setMask(QRegion(playart::cabinetOutline().toFillPolygon().toPolygon()));

    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setAlignment(Qt::AlignCenter);
    devLabel->setGeometry(playart::kLabelAt.x(), playart::kLabelAt.y() - 3, playart::kLabelWidth,
                          16);
    devLabel->setStyleSheet(QStringLiteral("color: #e2c078; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 11);
    devLabel->setFont(f);
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setAlignment(Qt::AlignCenter);
    statusLabel_->setGeometry(playart::kStatus.adjusted(4, 2, -4, -2));
    statusLabel_->setStyleSheet(QStringLiteral("color: #9ef0b0; background: transparent;"));
    statusLabel_->setFont(f);
    statusLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    outputItem_ = PopupMenu1->addAction(QString());
    outputItem_->setObjectName(QStringLiteral("MidiOutput1"));
    outputItem_->setEnabled(false);
    PopupMenu1->addSeparator();
    QMenu* voices = PopupMenu1->addMenu(QStringLiteral("Voice"));
    voices->setObjectName(QStringLiteral("Voice1"));
    static constexpr const char* kVoiceNames[] = {"Piano1", "Chime1", "Synth1", "Noise1"};
    for (size_t i = 0; i < devices::melody::kVoices.size(); ++i) {
        const devices::melody::Voice& v = devices::melody::kVoices[i];
        QAction* a = addMenuItem(voices, kVoiceNames[i], QString::fromLatin1(v.name),
                                 [this, program = v.program] { player_.setVoice(program); });
        a->setCheckable(true);
        a->setData(v.program);
        voiceItems_[i] = a;
    }
    addMenuItem(PopupMenu1, "Speed1", QStringLiteral("Speed"), [this] { Speed1Click(); });
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { player_.doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { outputItem_->setText(outputText()); });
    outputItem_->setText(outputText());
    drawVoice();
    refreshLabel();
    refreshStatus();
}

TplayFM::~TplayFM() {
    player_.setHost(nullptr);
    // A note left on in a host synthesiser would go on sounding after the emulator ends.
    if (player_.soundingNote() != 0) player_.StopSound();
}

QWidget* TplayFM::image() const { return spkrImage; }

void TplayFM::setMidiOut(std::unique_ptr<devices::MidiOut> midi) {
    if (player_.midiOpened()) return;
    midi_ = std::move(midi);
    player_.setMidi(midi_.get());
}

void TplayFM::ensureMidiOut() {
    if (midi_) return;
    midi_ = std::make_unique<HostMidiOut>(std::make_unique<QtPcmOutput>());
    player_.setMidi(midi_.get());
}

void TplayFM::doInit() {
    ensureMidiOut();
    player_.doInit();
    refreshLabel();
    outputItem_->setText(outputText());
    refreshStatus();
}

QString TplayFM::outputText() const {
    if (!player_.midiOpened()) return QStringLiteral("MIDI output: not opened yet");
    if (!player_.midiAvailable()) return QStringLiteral("MIDI unavailable");
    return QString::fromStdString(player_.midiDescription());
}

QString TplayFM::statusText() const {
    const int note = player_.soundingNote();
    QString now;
    if (note != 0)
        now = QStringLiteral("Playing ") + QString::fromStdString(devices::melody::noteName(note));
    else if (player_.lengthRunning())
        now = QStringLiteral("Rest");
    else
        now = QStringLiteral("Idle");
    if (!player_.midiOpened()) return QStringLiteral("Not opened yet");
    // A port that failed mid-run: the program waits until Reset.
    if (!player_.midiAvailable()) return QStringLiteral("MIDI unavailable\nwaits for Reset");
    return QString::fromStdString(player_.midiDescription()) + QLatin1Char('\n') + now;
}

void TplayFM::refreshStatus() {
    // A long port or sound font name is cut to the window, the note line stays whole.
    QStringList lines = statusText().split(QLatin1Char('\n'));
    const QFontMetrics fm(statusLabel_->font());
    for (QString& l : lines) l = fm.elidedText(l, Qt::ElideMiddle, statusLabel_->width());
    const QString text = lines.join(QLatin1Char('\n'));
    if (statusLabel_->text() != text) statusLabel_->setText(text);
}

void TplayFM::refreshLabel() {
    switch (player_.GetDevice()) {
        case 2: devLabel->setText(QStringLiteral("Output Device 0")); break;
        case 3: devLabel->setText(QStringLiteral("Output Device 1")); break;
        default: devLabel->setText(QStringLiteral("No Device Set")); break;
    }
}

void TplayFM::paintPicture(QPainter& p) {
    playart::paintCabinet(p);
    if (player_.flashShowing()) playart::paintFlash(p);
    // Lit while MIDI is unavailable: a program waiting on the player will wait for ever.
    playart::paintLamp(p, player_.midiOpened() && !player_.midiAvailable());
}

void TplayFM::drawLamp() {
    refreshStatus();
    spkrImage->setToolTip(player_.midiAvailable() ? QString()
                                                  : QStringLiteral("MIDI unavailable"));
    spkrImage->update(playart::kLamp.adjusted(-4, -4, 4, 4));
}

void TplayFM::drawFlash() { spkrImage->update(playart::kCone); }

void TplayFM::drawVoice() {
    for (QAction* a : voiceItems_) a->setChecked(a->data().toInt() == player_.voice());
}

void TplayFM::Speed1Click() {
    TnotdelFM dlg(player_.noteDelay(), this);
    if (dlg.exec() == QDialog::Accepted) player_.setNoteDelay(dlg.value());
}

void TplayFM::closeEvent(QCloseEvent* e) {
    player_.close();
    refreshLabel();
    e->accept();
}

std::string TplayFM::GetScreenData() const { return player_.stateString(x(), y()); }

void TplayFM::PutScreenData(const std::string& state) {
    restorePosition(state);
    player_.applyState(state);
}

}  // namespace mira::gui
