#include "melody_player.h"

#include <algorithm>

#include "core/field_list.h"
#include "devices/module_state.h"

namespace mira::devices {

using namespace melody;

std::string melody::noteName(int midi) {
    static constexpr const char* kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                             "F#", "G",  "G#", "A",  "A#", "B"};
    if (midi < 0 || midi > 127) return {};
    return std::string(kNames[midi % 12]) + std::to_string(midi / 12 - 1);
}

MelodyPlayer::MelodyPlayer(core::DeviceBus& bus, core::TimerFactory& timers, int& noteDelay,
                           MidiOut* midi, MelodyPlayerHost* host)
    : bus_(bus), noteDelay_(noteDelay), midi_(midi), host_(host),
      delayTimer_(timers.createTimer(kDefaultNoteDelay)),
      spkrTimer_(timers.createTimer(kFlashMs)) {
    delayTimer_->setCallback([this] { delayTimerTimer(); });
    spkrTimer_->setCallback([this] { spkrTimerTimer(); });
    bus_.registerModule(*this);
}

MelodyPlayer::~MelodyPlayer() {
    delayTimer_->stop();
    spkrTimer_->stop();
    bus_.unregisterModule(*this);
}

void MelodyPlayer::setNoteDelay(int ms) { noteDelay_ = std::clamp(ms, kMinNoteDelay, kMaxNoteDelay); }

bool MelodyPlayer::bound() const {
    return slot_ >= 0 && slot_ < core::kSlotCount && bus_.slots[slot_].device == this;
}

void MelodyPlayer::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
}

int MelodyPlayer::GetDevice() const { return bound() ? slot_ : -1; }

void MelodyPlayer::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

void MelodyPlayer::drawLamp() {
    if (host_) host_->drawLamp();
}

void MelodyPlayer::send(uint8_t status, uint8_t data1, uint8_t data2) {
    if (!midiAvailable_) return;
    if (!midi_->send(status, data1, data2)) {
        midiAvailable_ = false;
        drawLamp();
    }
}

void MelodyPlayer::doInit() {
    doReset();
    if (!midiOpened_) {
        // The output is opened once for the whole run; a failure is final.
        midiOpened_ = true;
        midiAvailable_ = midi_ && midi_->open();
        send(midi::kProgramChange, 0, 0);
    }
    send(midi::kProgramChange, static_cast<uint8_t>(voice_), 0);
    if (host_) host_->drawVoice();
    drawLamp();
}

void MelodyPlayer::doReset() {
    setFlag(1);
    StopSound();
    spkrTimer_->stop();
    flashShowing_ = false;
    speakerCount_ = 0;
    if (host_) host_->drawFlash();
    phase_ = false;
}

void MelodyPlayer::noteOff() {
    if (soundingNote_ == 0) return;
    send(midi::kNoteOff, static_cast<uint8_t>(soundingNote_), midi::kVelocity);
    // Once its note off is sent the note is no longer sounding: the end of a run after a
    // finished tune sends nothing more.
    soundingNote_ = 0;
}

void MelodyPlayer::StopSound() {
    noteOff();
    delayTimer_->stop();
    drawLamp();
    setFlag(0);
}

void MelodyPlayer::UpdateMidiNote() {
    if (bound()) noteByte_ = bus_.slots[slot_].output & 0xFF;
}

void MelodyPlayer::ExecResetFlag(int level) {
    if (level != 0) return;
    setFlag(1);
    delayTimer_->stop();
    // Without MIDI the flag stays busy: a program waiting for the player stops here until
    // the player is reset or closed.
    if (!midiAvailable_) return;
    if (!phase_) {
        const int note = midiNote(noteByte_);
        if (note != 0) {
            // A program that starts a note before the last one's length ran out would leave
            // that one sounding for ever; it is ended first.
            noteOff();
            soundingNote_ = note;
            send(midi::kNoteOn, static_cast<uint8_t>(note), midi::kVelocity);
            startFlash();
        }
        setFlag(0);
    } else {
        const int delay = std::clamp(noteDelay_, kMinNoteDelay, kMaxNoteDelay);
        delayTimer_->setInterval(lengthUnits(noteByte_) * delay);
        delayTimer_->start();
    }
    phase_ = !phase_;
    drawLamp();
}

void MelodyPlayer::delayTimerTimer() {
    delayTimer_->stop();
    if (!midiAvailable_) return;
    noteOff();
    setFlag(0);
    drawLamp();
}

void MelodyPlayer::startFlash() {
    if (flashShowing_) return;
    flashShowing_ = flashShownFor(speakerCount_);
    speakerCount_ = (speakerCount_ + 1) % kSpeakerCountWrap;
    spkrTimer_->stop();
    spkrTimer_->start();
    if (host_) host_->drawFlash();
}

void MelodyPlayer::spkrTimerTimer() {
    spkrTimer_->stop();
    flashShowing_ = false;
    if (host_) host_->drawFlash();
}

void MelodyPlayer::setVoice(int program) {
    voice_ = program;
    send(midi::kProgramChange, static_cast<uint8_t>(voice_), 0);
    if (host_) host_->drawVoice();
}

void MelodyPlayer::close() {
    StopSound();
    doReset();
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
}

std::string MelodyPlayer::stateString(int left, int top) const {
    core::FieldListBuilder b;
    b.add(left).add(top).add(voice_);
    return b.str();
}

void MelodyPlayer::applyState(const std::string& state) {
    // Any MIDI program is taken as it stands (a hand-edited file may pick another sound);
    // a number that cannot be one would corrupt the program change and reads as Piano.
    voice_ = core::parseIntInRange(core::fieldAt(state, 2), 0, 127, 0);
    if (host_) host_->drawVoice();
}

void MelodyPlayer::saveState(core::SnapshotWriter& w) const {
    w.beginSection("MELO", 1);
    w.i32(slot_);
    w.i32(noteByte_);
    w.i32(soundingNote_);
    w.boolean(phase_);
    w.i32(voice_);
    w.i32(speakerCount_);
    w.boolean(flashShowing_);
    core::saveTimer(w, *delayTimer_);
    core::saveTimer(w, *spkrTimer_);
    w.endSection();
}

void MelodyPlayer::restoreState(core::SnapshotReader& r) {
    r.beginSection("MELO", 1);
    const int slot = readSlot(r);
    const int noteByte = r.i32In(0, 255);
    const int sounding = r.i32In(0, 127);
    const bool phase = r.boolean();
    const int voice = r.i32In(0, 127);
    const int speakerCount = r.i32In(0, kSpeakerCountWrap - 1);
    const bool flash = r.boolean();
    const core::TimerState delay = core::readTimer(r);
    const core::TimerState spkr = core::readTimer(r);
    r.endSection();

    noteOff();
    slot_ = slot;
    noteByte_ = noteByte;
    soundingNote_ = sounding;
    phase_ = phase;
    if (voice != voice_) {
        voice_ = voice;
        send(midi::kProgramChange, static_cast<uint8_t>(voice_), 0);
    }
    speakerCount_ = speakerCount;
    flashShowing_ = flash;
    core::applyTimer(delay, *delayTimer_);
    core::applyTimer(spkr, *spkrTimer_);
    if (host_) {
        host_->drawLamp();
        host_->drawFlash();
        host_->drawVoice();
        host_->drawLabel();
    }
}

}  // namespace mira::devices
