// The melody player: note codes and lengths, the two-pulse note step in virtual time, rests,
// voices, the speaker flash, MIDI failure and the stuck flag, and whole tunes played by real
// IOT instructions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_rig.h"
#include "core/timer.h"
#include "devices/melody_player.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;
using Event = RecordingMidiOut::NoteEvent;

class FakeHost final : public MelodyPlayerHost {
public:
    void drawLamp() override { ++lamps; }
    void drawFlash() override {
        if (player) flashes.push_back(player->flashShowing());
    }
    void drawVoice() override { ++voices; }
    void drawLabel() override {}
    bool windowVisible() const override { return visible; }

    MelodyPlayer* player = nullptr;
    std::vector<bool> flashes;
    int lamps = 0, voices = 0;
    bool visible = true;
};

struct PlayerRig {
    Rig rig;
    core::VirtualClock clock;
    RecordingMidiOut midi{[this] { return clock.nowMicros(); }};
    FakeHost host;
    MelodyPlayer player{rig.m.bus, clock, rig.m.melodyNoteDelay, &midi, &host};

    PlayerRig() { host.player = &player; }
    int flag(int slot = 2) const { return rig.m.bus.slots[slot].flag; }
    void open(int slot = 2) {
        player.PutDevice(slot);
        player.doInit();
        midi.clear();
        host.flashes.clear();
    }
    // The program's side of one output IOT: the byte, then a pulse.
    void output(int byte, int slot = 2) {
        rig.m.bus.slots[slot].output = byte;
        rig.m.bus.notifyOutput(slot);
    }
    void pulse(int slot = 2) {
        rig.m.bus.SetOutputResetFlag(slot, 0);
        rig.m.bus.SetOutputResetFlag(slot, 1);
    }
};

TEST(MelodyNotes, CodesGiveMidiNotesAndRests) {
    struct Case {
        int code, note;
    };
    const Case cases[] = {
        {1, 37},  {12, 48}, {17, 49}, {28, 60}, {33, 61}, {44, 72}, {49, 73}, {60, 84},
        {0, 0},   {13, 0},  {14, 0},  {15, 0},  {16, 0},  {29, 0},  {48, 0},  {63, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(melody::midiNote(c.code), c.note) << c.code;
    // The length bits never change the pitch.
    EXPECT_EQ(melody::midiNote(0xC1), 37);
    EXPECT_EQ(melody::midiNote(0x7C), 84);
}

// The names the window shows: code 12 plays C3 and code 60 plays C6.
TEST(MelodyNotes, NamesPutMiddleCInOctaveFour) {
    const std::pair<int, const char*> cases[] = {
        {melody::midiNote(12), "C3"}, {melody::midiNote(60), "C6"}, {melody::midiNote(1), "C#2"},
        {60, "C4"},  {69, "A4"},  {70, "A#4"}, {0, "C-1"}, {127, "G9"}, {128, ""}, {-1, ""},
    };
    for (const auto& [midi, name] : cases) EXPECT_EQ(melody::noteName(midi), name) << midi;
}

TEST(MelodyNotes, LengthCodesDoubleTheUnits) {
    EXPECT_EQ(melody::lengthUnits(0x01), 1);
    EXPECT_EQ(melody::lengthUnits(0x41), 2);
    EXPECT_EQ(melody::lengthUnits(0x81), 4);
    EXPECT_EQ(melody::lengthUnits(0xC1), 8);
}

TEST(MelodyPlayer, InitBindsSlotOpensMidiOnceAndSendsVoice) {
    PlayerRig r;
    r.player.PutDevice(3);
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleMelody);
    EXPECT_EQ(r.player.GetDevice(), 3);
    r.player.setVoice(70);  // chosen before the output is open: nothing sent
    EXPECT_TRUE(r.midi.messages().empty());
    r.player.doInit();
    EXPECT_EQ(r.midi.opens(), 1);
    EXPECT_TRUE(r.player.midiAvailable());
    EXPECT_EQ(r.midi.programChanges(), (std::vector<int>{0, 70}));
    EXPECT_EQ(r.flag(3), 0);
    r.midi.clear();
    r.player.doInit();  // opened again from the menu later: the output stays as it is
    EXPECT_EQ(r.midi.opens(), 1);
    EXPECT_EQ(r.midi.programChanges(), (std::vector<int>{70}));
}

TEST(MelodyPlayer, TwoPulsesPlayANoteForItsLength) {
    PlayerRig r;
    r.open();
    r.output(0xC1);  // length code 3, note code 1
    r.clock.advance(10);
    r.pulse();
    EXPECT_EQ(r.flag(), 0);  // started: the program may go on at once
    EXPECT_TRUE(r.player.phase());
    EXPECT_EQ(r.player.soundingNote(), 37);
    r.pulse();
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(799);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_TRUE(r.player.soundingNote() == 37);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(), 0);
    EXPECT_FALSE(r.player.phase());
    EXPECT_EQ(r.player.soundingNote(), 0);
    EXPECT_EQ(r.midi.noteEvents(), (std::vector<Event>{{10000, 37, true}, {810000, 37, false}}));
    // The note messages carry full velocity on channel 1.
    EXPECT_EQ(r.midi.messages()[0].status, 144);
    EXPECT_EQ(r.midi.messages()[0].data2, 127);
    EXPECT_EQ(r.midi.messages()[1].status, 128);
}

TEST(MelodyPlayer, LengthComesFromTheByteAtTheSecondPulseAndTheCurrentDelay) {
    PlayerRig r;
    r.open();
    r.output(0x05);
    r.pulse();
    r.output(0x45);  // two units
    r.rig.m.melodyNoteDelay = 250;
    r.pulse();
    r.clock.advance(499);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(), 0);
}

TEST(MelodyPlayer, RestOnlyWaits) {
    PlayerRig r;
    r.open();
    r.output(0x80 | 13);  // four units of rest
    r.pulse();
    EXPECT_EQ(r.flag(), 0);
    EXPECT_EQ(r.player.soundingNote(), 0);
    r.pulse();
    r.clock.advance(399);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(), 0);
    EXPECT_TRUE(r.midi.messages().empty());
    EXPECT_TRUE(r.host.flashes.empty());
}

TEST(MelodyPlayer, ANoteStartedBeforeTheLastEndedStopsTheLastFirst) {
    PlayerRig r;
    r.open();
    r.output(0x01);
    r.pulse();
    r.pulse();   // the length starts ...
    r.output(0x02);
    r.pulse();   // ... and a hasty program starts the next note before it ran out
    EXPECT_EQ(r.midi.noteEvents(), (std::vector<Event>{{0, 37, true}, {0, 37, false}, {0, 38, true}}));
    r.clock.advance(1000);  // the stopped length timer sends nothing more
    EXPECT_EQ(r.midi.noteEvents().size(), 3u);
}

TEST(MelodyPlayer, WithoutMidiEveryPulseLeavesTheFlagBusy) {
    PlayerRig r;
    r.midi.failOpen = true;
    r.open();
    EXPECT_FALSE(r.player.midiAvailable());
    EXPECT_EQ(r.flag(), 0);
    r.output(0x01);
    r.pulse();
    EXPECT_EQ(r.flag(), 1);
    EXPECT_FALSE(r.player.phase());
    r.clock.advance(10000);
    r.pulse();
    r.clock.advance(10000);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_TRUE(r.midi.messages().empty());
    // A reset lets the program past once more.
    r.player.doReset();
    EXPECT_EQ(r.flag(), 0);
    r.pulse();
    EXPECT_EQ(r.flag(), 1);
}

TEST(MelodyPlayer, FailedMessageMakesMidiUnavailableForGood) {
    PlayerRig r;
    r.open();
    r.midi.failAfter = 1;  // the note on goes out, the note off fails
    r.output(0x01);
    r.pulse();
    r.pulse();
    const int lampsBefore = r.host.lamps;
    r.clock.advance(100);
    EXPECT_FALSE(r.player.midiAvailable());
    EXPECT_GT(r.host.lamps, lampsBefore);
    r.pulse();
    EXPECT_EQ(r.flag(), 1);
    r.player.doInit();  // reopening the window does not try the output again
    EXPECT_FALSE(r.player.midiAvailable());
    EXPECT_EQ(r.midi.opens(), 1);
}

TEST(MelodyPlayer, VoiceChangeIsSentAtOnceAndLeavesTheNoteSounding) {
    PlayerRig r;
    r.open();
    r.output(0x0C);
    r.pulse();
    r.player.setVoice(10);
    EXPECT_EQ(r.player.voice(), 10);
    EXPECT_EQ(r.midi.programChanges(), (std::vector<int>{10}));
    EXPECT_EQ(r.player.soundingNote(), 48);
    EXPECT_EQ(r.midi.noteEvents().size(), 1u);
    EXPECT_GT(r.host.voices, 0);
}

TEST(MelodyPlayer, ResetSilencesAndStartsOver) {
    PlayerRig r;
    r.open();
    r.output(0x01);
    r.pulse();
    r.pulse();
    r.player.doReset();
    EXPECT_EQ(r.flag(), 0);
    EXPECT_FALSE(r.player.phase());
    EXPECT_EQ(r.player.soundingNote(), 0);
    EXPECT_EQ(r.player.speakerCount(), 0);
    EXPECT_FALSE(r.player.flashShowing());
    EXPECT_FALSE(r.player.delayTimer().isActive());
    EXPECT_EQ(r.midi.noteEvents().back(), (Event{0, 37, false}));
}

TEST(MelodyPlayer, ResetDevicesReachesOnlyAVisiblePlayer) {
    PlayerRig r;
    r.open();
    r.output(0x01);
    r.pulse();
    r.host.visible = false;
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.player.soundingNote(), 37);
    r.host.visible = true;
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.player.soundingNote(), 0);
    EXPECT_FALSE(r.player.phase());
}

TEST(MelodyPlayer, DisconnectSilencesAndFreesTheSlot) {
    PlayerRig r;
    r.open(3);
    r.output(0x01, 3);
    r.pulse(3);
    r.player.close();
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleNone);
    EXPECT_EQ(r.flag(3), 1);
    EXPECT_EQ(r.player.GetDevice(), -1);
    EXPECT_EQ(r.midi.noteEvents().back(), (Event{0, 37, false}));
    r.pulse(3);  // a free slot reaches no module
    EXPECT_EQ(r.midi.noteEvents().size(), 2u);
}

TEST(MelodyPlayer, SpeakerFlashesForCountsZeroFiveSevenAndEight) {
    PlayerRig r;
    r.open();
    r.host.flashes.clear();
    std::vector<bool> shown;
    for (int i = 0; i < 10; ++i) {
        r.output(0x01);
        r.pulse();
        shown.push_back(r.player.flashShowing());
        r.clock.advance(49);
        EXPECT_EQ(r.player.flashShowing(), shown.back());
        r.clock.advance(1);  // the 50 ms flash is over
        EXPECT_FALSE(r.player.flashShowing());
        r.pulse();
        r.clock.advance(100);
    }
    EXPECT_EQ(shown, (std::vector<bool>{true, false, false, false, false, true, false, true, true,
                                        true}));
    EXPECT_EQ(r.player.speakerCount(), 1);
}

TEST(MelodyPlayer, NoteDuringAShowingFlashKeepsTheCount) {
    PlayerRig r;
    r.open();
    r.output(0x01);
    r.pulse();
    EXPECT_TRUE(r.player.flashShowing());
    EXPECT_EQ(r.player.speakerCount(), 1);
    r.pulse();
    r.output(0x02);
    r.pulse();  // the next note while the cone still shows
    EXPECT_TRUE(r.player.flashShowing());
    EXPECT_EQ(r.player.speakerCount(), 1);
    r.clock.advance(50);
    r.pulse();
    r.pulse();
    EXPECT_FALSE(r.player.flashShowing());  // count 1 shows nothing
    EXPECT_EQ(r.player.speakerCount(), 2);
}

TEST(MelodyPlayer, NoteDelayIsHeldToItsRange) {
    PlayerRig r;
    r.player.setNoteDelay(40);
    EXPECT_EQ(r.rig.m.melodyNoteDelay, 50);
    r.player.setNoteDelay(600);
    EXPECT_EQ(r.rig.m.melodyNoteDelay, 500);
    r.player.setNoteDelay(120);
    EXPECT_EQ(r.player.noteDelay(), 120);
}

TEST(MelodyPlayer, StateStringKeepsTheVoice) {
    PlayerRig r;
    r.player.setVoice(127);
    EXPECT_EQ(r.player.stateString(40, 50), "40~50~127~");
    PlayerRig s;
    s.player.applyState("1~2~70~");
    EXPECT_EQ(s.player.voice(), 70);
    s.player.applyState("1~2~33~");  // any MIDI program is kept
    EXPECT_EQ(s.player.voice(), 33);
    for (const char* bad : {"1~2~x~", "1~2~", "1~2~128~", "1~2~-1~"}) {
        s.player.applyState(bad);
        EXPECT_EQ(s.player.voice(), 0) << bad;
    }
}

// --- through the processor ---

// Plays the notes at words 32.. and halts: each note is output with the first pulse, a
// second pulse starts its length, and the program waits for the flag.
void loadTune(Rig& rig, const std::vector<int>& notes) {
    rig.load({
        op::CLA,                                 // 0
        op::TAD(13) | op::I,                     // 1: AC = the note at the pointer
        op::OUT(0, op::kTransfer | op::kPulse),  // 2: note byte, start it
        op::OUT(0, op::kPulse),                  // 3: its length
        op::OUT(0, op::kSkip),                   // 4: ended?
        op::JMP(4),                              // 5
        op::ISZ(13),                             // 6: next note
        op::ISZ(14),                             // 7: all played?
        op::JMP(0),                              // 8
        op::HLT,                                 // 9
    });
    rig.load({32, 256 - static_cast<int>(notes.size())}, 13);
    int at = 32;
    for (int n : notes) rig.m.memory[at++] = n;
}

TEST(MelodyPlayerRun, WholeTuneThroughTheInstructions) {
    PlayerRig r;
    r.open();
    // C (1 unit), rest (2 units), high C (4 units), D (1 unit) at 100 ms a unit.
    loadTune(r.rig, {0x0C, 0x40 | 13, 0x80 | 44, 0x02});
    r.rig.start();
    // Half way through the high C the program is waiting and the flag is busy.
    auto res = r.rig.rc.runHeadless(500000, UINT64_MAX, &r.clock);
    EXPECT_EQ(res.reason, core::RunControl::HeadlessStop::StateLimit);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.player.soundingNote(), 72);
    EXPECT_TRUE(r.player.phase() == false);  // both pulses of the high C were given
    res = r.rig.rc.runHeadless(UINT64_MAX, UINT64_MAX, &r.clock);
    ASSERT_EQ(res.reason, core::RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(r.rig.m.pc, 10);

    const auto ev = r.midi.noteEvents();
    ASSERT_EQ(ev.size(), 6u);  // the rest sounds nothing; the halt has nothing left to stop
    const int notes[] = {48, 72, 38};
    const int units[] = {1, 4, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ev[2 * i].note, notes[i]);
        EXPECT_TRUE(ev[2 * i].on);
        EXPECT_EQ(ev[2 * i + 1].note, notes[i]);
        EXPECT_FALSE(ev[2 * i + 1].on);
        // The second pulse follows the first by one instruction.
        EXPECT_NEAR(static_cast<double>(ev[2 * i + 1].us - ev[2 * i].us), units[i] * 100000.0,
                    100);
    }
    // The program goes on a few instructions after a note ends: the rest fills the gap
    // before the high C.
    EXPECT_NEAR(static_cast<double>(ev[2].us - ev[1].us), 200000.0, 1000);
    EXPECT_NEAR(static_cast<double>(ev[4].us - ev[3].us), 0.0, 1000);
    EXPECT_EQ(r.flag(), 0);
}

TEST(MelodyPlayerRun, HaltWhileANoteSoundsStopsIt) {
    PlayerRig r;
    r.open();
    r.rig.load({
        op::TAD(8),                              // 0
        op::OUT(0, op::kTransfer | op::kPulse),  // 1: start the note and halt
        op::HLT,                                 // 2
    });
    r.rig.m.memory[8] = 0x0C;
    r.rig.start();
    const auto res = r.rig.rc.runHeadless(UINT64_MAX, UINT64_MAX, &r.clock);
    ASSERT_EQ(res.reason, core::RunControl::HeadlessStop::Stopped);
    const auto ev = r.midi.noteEvents();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_TRUE(ev[0].on);
    EXPECT_FALSE(ev[1].on);
    EXPECT_EQ(ev[1].note, 48);
    EXPECT_EQ(r.player.soundingNote(), 0);
    EXPECT_EQ(r.flag(), 0);
}

TEST(MelodyPlayerRun, VoiceChangedMidRunReachesTheOutputBetweenNotes) {
    PlayerRig r;
    r.open();
    loadTune(r.rig, {0x41, 0x42});
    r.rig.start();
    r.rig.rc.runHeadless(100000, UINT64_MAX, &r.clock);  // inside the first note
    r.player.setVoice(127);
    const auto res = r.rig.rc.runHeadless(UINT64_MAX, UINT64_MAX, &r.clock);
    ASSERT_EQ(res.reason, core::RunControl::HeadlessStop::Stopped);
    const auto& msgs = r.midi.messages();
    ASSERT_EQ(msgs.size(), 5u);
    EXPECT_EQ(msgs[0].status, 144);  // first note on
    EXPECT_EQ(msgs[1].status, 192);  // the change, while it sounds
    EXPECT_EQ(msgs[1].data1, 127);
    EXPECT_EQ(msgs[2].status, 128);  // the first note still ends at its time
    EXPECT_EQ(msgs[3].status, 144);
    EXPECT_EQ(msgs[4].status, 128);
    EXPECT_NEAR(static_cast<double>(msgs[2].us - msgs[0].us), 200000.0, 100);
}

TEST(MelodyPlayerRun, WithoutMidiTheProgramWaitsForEver) {
    PlayerRig r;
    r.midi.failOpen = true;
    r.open();
    loadTune(r.rig, {0x01});
    r.rig.start();
    const auto res = r.rig.rc.runHeadless(5000000, UINT64_MAX, &r.clock);
    EXPECT_EQ(res.reason, core::RunControl::HeadlessStop::StateLimit);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.rig.m.memory[13], 32);  // never got past the first note
    EXPECT_TRUE(r.midi.messages().empty());
}

}  // namespace
}  // namespace mira::devices
