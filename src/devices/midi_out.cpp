#include "midi_out.h"

namespace mira::devices {

bool RecordingMidiOut::send(uint8_t status, uint8_t data1, uint8_t data2) {
    if (failAfter >= 0 && static_cast<int>(messages_.size()) >= failAfter) return false;
    messages_.push_back({now_ ? now_() : 0, status, data1, data2});
    return true;
}

std::vector<RecordingMidiOut::NoteEvent> RecordingMidiOut::noteEvents() const {
    std::vector<NoteEvent> events;
    for (const Message& m : messages_) {
        const int kind = m.status & 0xF0;
        if (kind == midi::kNoteOn || kind == midi::kNoteOff)
            events.push_back({m.us, m.data1, kind == midi::kNoteOn});
    }
    return events;
}

std::vector<int> RecordingMidiOut::programChanges() const {
    std::vector<int> programs;
    for (const Message& m : messages_)
        if ((m.status & 0xF0) == midi::kProgramChange) programs.push_back(m.data1);
    return programs;
}

}  // namespace mira::devices
