// The MIDI output the melody player talks to: three short messages on channel 1. The
// application sends them to a host synthesiser; the CLI and the tests record them with
// their virtual times.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mira::devices {

namespace midi {
inline constexpr uint8_t kNoteOn = 144;
inline constexpr uint8_t kNoteOff = 128;
inline constexpr uint8_t kProgramChange = 192;
inline constexpr uint8_t kVelocity = 127;
}  // namespace midi

class MidiOut {
public:
    virtual ~MidiOut() = default;
    // Opens the output once; false when there is none to open.
    virtual bool open() = 0;
    // One short message; false when the output failed to take it.
    virtual bool send(uint8_t status, uint8_t data1, uint8_t data2) = 0;
    // What the user is told is playing the notes ("" before open()).
    virtual std::string description() const = 0;
};

// Keeps every message with the time it was sent. Always opens unless told to fail.
class RecordingMidiOut final : public MidiOut {
public:
    struct Message {
        int64_t us;
        uint8_t status, data1, data2;
    };
    struct NoteEvent {
        int64_t us;
        int note;
        bool on;
        bool operator==(const NoteEvent&) const = default;
    };

    // `now` gives the time stamps in µs; none stamps 0.
    explicit RecordingMidiOut(std::function<int64_t()> now = {}) : now_(std::move(now)) {}

    bool failOpen = false;
    // Messages after this many accepted ones fail (−1: never).
    int failAfter = -1;

    bool open() override {
        ++opens_;
        return !failOpen;
    }
    bool send(uint8_t status, uint8_t data1, uint8_t data2) override;
    std::string description() const override { return "recorder"; }

    int opens() const { return opens_; }
    const std::vector<Message>& messages() const { return messages_; }
    // Note on/off messages only, in order.
    std::vector<NoteEvent> noteEvents() const;
    // Program numbers of the program changes, in order.
    std::vector<int> programChanges() const;
    void clear() { messages_.clear(); }
    // The messages of a restored state, in place of these.
    void restoreMessages(std::vector<Message> messages) { messages_ = std::move(messages); }

private:
    std::function<int64_t()> now_;
    std::vector<Message> messages_;
    int opens_ = 0;
};

}  // namespace mira::devices
