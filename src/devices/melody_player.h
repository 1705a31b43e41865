// The logic of the melody player: a program outputs a note byte and pulses the reset line
// twice per note; the first pulse starts the note, the second holds the flag busy for the
// note's length and then ends it. The window that owns this draws the speaker and lamp.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "core/device.h"
#include "core/timer.h"
#include "devices/midi_out.h"

namespace mira::devices {

namespace melody {

// Note byte: bits 5..0 the note code, bits 7..6 the length code.
inline constexpr int kNoteCodeMask = 0x3F;
inline constexpr int kLengthShift = 6;
// Code 1 of octave 0 (C#) is MIDI note 37: one below it is the base.
inline constexpr int kMidiBase = 36;
inline constexpr int kSemitonesPerOctave = 12;

// The MIDI note of a note code (0..63), 0 for a rest (semitone 0 or 13..15).
constexpr int midiNote(int code) {
    const int octave = (code & kNoteCodeMask) / 16;
    const int semitone = code % 16;
    if (semitone < 1 || semitone > kSemitonesPerOctave) return 0;
    return kMidiBase + kSemitonesPerOctave * octave + semitone;
}

// A MIDI note as a musician names it, with middle C (60) as C4: "C#3", "A4".
std::string noteName(int midi);

// Length codes 0..3 last 1, 2, 4 and 8 note-delay units.
constexpr int lengthUnits(int noteByte) { return 1 << ((noteByte >> kLengthShift) & 3); }

inline constexpr int kMinNoteDelay = 50;
inline constexpr int kMaxNoteDelay = 500;
inline constexpr int kDefaultNoteDelay = 100;

struct Voice {
    const char* name;
    int program;  // the MIDI program number sent with the program change
};
inline constexpr std::array<Voice, 4> kVoices{{
    {"Piano", 0},
    {"Chime", 10},
    {"Synth", 70},
    {"Noise", 127},
}};

// The speaker count runs 0..8; the cone shows at the start of a note for these counts.
inline constexpr int kSpeakerCountWrap = 9;
constexpr bool flashShownFor(int count) {
    return count == 0 || count == 5 || count == 7 || count == 8;
}
inline constexpr int kFlashMs = 50;

}  // namespace melody

// What the player asks of its window.
class MelodyPlayerHost {
public:
    virtual ~MelodyPlayerHost() = default;
    // The status lamp follows midiAvailable().
    virtual void drawLamp() = 0;
    // The speaker cone follows flashShowing().
    virtual void drawFlash() = 0;
    // The voice menu's check marks follow voice().
    virtual void drawVoice() = 0;
    // The device label follows GetDevice().
    virtual void drawLabel() = 0;
    virtual bool windowVisible() const = 0;
};

class MelodyPlayer final : public core::Device {
public:
    // `noteDelay` is the machine's one note delay (ms per length unit), which the assembler,
    // the settings file and the note delay dialog also set. `midi` may be null: no output.
    MelodyPlayer(core::DeviceBus& bus, core::TimerFactory& timers, int& noteDelay,
                 MidiOut* midi, MelodyPlayerHost* host = nullptr);
    ~MelodyPlayer() override;
    MelodyPlayer(const MelodyPlayer&) = delete;
    MelodyPlayer& operator=(const MelodyPlayer&) = delete;

    void setHost(MelodyPlayerHost* host) { host_ = host; }
    // The output the first doInit opens; once opened it stays for the run.
    void setMidi(MidiOut* midi) {
        if (!midiOpened_) midi_ = midi;
    }
    MidiOut* midi() const { return midi_; }

    int noteByte() const { return noteByte_; }
    int soundingNote() const { return soundingNote_; }
    bool phase() const { return phase_; }
    int voice() const { return voice_; }
    int speakerCount() const { return speakerCount_; }
    bool flashShowing() const { return flashShowing_; }
    bool midiOpened() const { return midiOpened_; }
    bool midiAvailable() const { return midiAvailable_; }
    std::string midiDescription() const { return midi_ ? midi_->description() : std::string(); }
    int noteDelay() const { return noteDelay_; }
    // The dialog offers 50..500 only; anything else is held to that range.
    void setNoteDelay(int ms);
    core::Timer& delayTimer() { return *delayTimer_; }
    // A note's (or rest's) length is running: the second pulse came, the end has not.
    bool lengthRunning() const { return delayTimer_->isActive(); }
    core::Timer& spkrTimer() { return *spkrTimer_; }
    bool bound() const;

    // The module contract.
    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset();
    void StopSound();
    void UpdateMidiNote();
    void ExecResetFlag(int level);
    void delayTimerTimer();
    void spkrTimerTimer();
    // A voice from the menu (its program number); the change is sent at once.
    void setVoice(int program);
    // Disconnect: silent, idle, slot free.
    void close();

    // Window state string: Left, Top, voice. applyState takes field 2.
    std::string stateString(int left, int top) const;
    void applyState(const std::string& state);

    // core::Device
    int moduleType() const override { return core::kModuleMelody; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    void execResetFlag(int level) override { ExecResetFlag(level); }
    void outputNotification(int) override { UpdateMidiNote(); }
    void runStopped() override { StopSound(); }
    // Section "MELO". Whether MIDI is there belongs to this computer, not to the state; the
    // note delay is the machine's. A restore ends the note sounding now and strikes none:
    // a restored note sounds on only in the state, until its end sends the note off.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void setFlag(int value);
    // Sends one message while MIDI is available; a failure makes it unavailable for good.
    void send(uint8_t status, uint8_t data1, uint8_t data2);
    void noteOff();
    void startFlash();
    void drawLamp();

    core::DeviceBus& bus_;
    int& noteDelay_;
    MidiOut* midi_;
    MelodyPlayerHost* host_;
    std::unique_ptr<core::Timer> delayTimer_;
    std::unique_ptr<core::Timer> spkrTimer_;

    int slot_ = -1;
    int noteByte_ = 0;
    int soundingNote_ = 0;
    bool phase_ = false;
    int voice_ = 0;
    int speakerCount_ = 0;
    bool flashShowing_ = false;
    bool midiOpened_ = false;
    bool midiAvailable_ = false;
};

}  // namespace mira::devices
