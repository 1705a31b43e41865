// The cassette recorder in virtual time: its tape file (with the saved end of tape and a
// wrapped counter read back), keys and motion, the counter wheels, recording and playing
// bytes through real IOTs, and the tape commands with their questions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_rig.h"
#include "core/scrambled_file.h"
#include "core/timer.h"
#include "devices/mag_tape.h"
#include "devices/tape_test_support.h"

namespace mira::devices {
namespace {

using test::ScratchDir;
using test::ScriptPrompter;
using test::SoundLog;
namespace op = core::test::op;

class RecorderHost final : public MagTapeHost {
public:
    void drawRecorder() override { ++draws; }
    bool windowVisible() const override { return true; }
    std::string askSaveFile(const std::string& suggested) override {
        suggestions.push_back(suggested);
        return saveAs;
    }
    int draws = 0;
    std::string saveAs;
    std::vector<std::string> suggestions;
};

struct MagRig {
    core::test::Rig rig;
    core::VirtualClock clock;
    SoundLog log;
    core::SoundEffects sounds;
    ScriptPrompter prompter;
    RecorderHost host;
    MagTape mag{rig.m.bus, clock, sounds, prompter, &host};
    ScratchDir dir;

    MagRig(int in = 0, int out = 3) {
        sounds.setPlayer(&log);
        mag.PutInDevice(in);
        mag.PutOutDevice(out);
        mag.doInit();
    }
    int inFlag() const { return rig.m.bus.slots[mag.GetInDevice()].flag; }
    int outFlag() const { return rig.m.bus.slots[mag.GetOutDevice()].flag; }
    // A tape standing at `position` with `counter` on the wheels.
    std::filesystem::path tapeAt(int position, int counter, const std::string& name = "t.mtf") {
        MagTapeImage image;
        image.position = position;
        image.counter = counter;
        const auto p = dir.file(name);
        EXPECT_TRUE(writeMagTapeFile(p, image));
        return p;
    }
    void tick(int n = 1) { clock.advance(static_cast<int64_t>(MagTape::kTickMs) * n); }
    core::RunControl::HeadlessResult run() {
        rig.start(0);
        return rig.rc.runHeadless(UINT64_MAX, 5000000, &clock);
    }
};

std::vector<std::string> fileLines(int position, int counter, int lastCell) {
    MagTapeImage image;
    image.position = position;
    image.counter = counter;
    auto lines = magTapeLines(image);
    lines.back() = std::to_string(lastCell);
    return lines;
}

TEST(MagTapeFile, ReadsBackWhatASaveCanHold) {
    EXPECT_TRUE(parseMagTape(fileLines(0, 0, 256)).ok);
    EXPECT_TRUE(parseMagTape(fileLines(3000, 59999, 0)).ok);
    for (const auto& bad : {fileLines(3001, 0, 1), fileLines(-1, 0, 1), fileLines(0, 60000, 1),
                            fileLines(0, 0, 257), fileLines(0, 0, -1)}) {
        const auto r = parseMagTape(bad);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, kMagDataErrors);
    }
    auto shortFile = fileLines(0, 0, 1);
    shortFile.pop_back();
    EXPECT_FALSE(parseMagTape(shortFile).ok);
    EXPECT_EQ(readMagTapeFile("/nonexistent/t.mtf").message, kMagLoadFailed);
}

TEST(MagTape, TapeSavedAtItsEndAndAfterACounterResetLoadsAgain) {
    MagRig r;
    r.host.saveAs = r.dir.file("end.mtf").string();
    ASSERT_TRUE(r.mag.NewTape());
    r.mag.resetCounter();
    r.mag.pressKey(kMagRewind);  // already at 0: stops at once, counter stays
    r.tick();
    r.mag.pressKey(kMagFastForward);
    r.tick(200);
    EXPECT_EQ(r.mag.position(), 3000);
    EXPECT_EQ(r.mag.mode(), kMagStop);
    r.mag.resetCounter();
    r.mag.pressKey(kMagRewind);
    r.tick(1);
    EXPECT_EQ(r.mag.counter(), 59985);
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagFastForward);
    r.tick(1);
    EXPECT_EQ(r.mag.position(), 3000);
    ASSERT_TRUE(r.mag.SaveTape());
    MagRig other;
    ASSERT_TRUE(other.mag.LoadTape(r.host.saveAs));
    EXPECT_EQ(other.mag.position(), 3000);
    EXPECT_EQ(other.mag.counter(), 0);
    // And a counter that has run backwards past zero.
    r.mag.pressKey(kMagRewind);
    r.tick(300);
    EXPECT_EQ(r.mag.counter(), 57000);
    ASSERT_TRUE(r.mag.SaveTape());
    other.prompter.answers = {core::Answer::No};
    ASSERT_TRUE(other.mag.LoadTape(r.host.saveAs));
    EXPECT_EQ(other.mag.counter(), 57000);
    EXPECT_EQ(other.mag.position(), 0);
}

TEST(MagTape, FailedLoadLeavesTheTapeAsItWas) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(40, 2400, "good.mtf")));
    const auto cells = r.mag.cells();
    const auto bad = r.dir.file("bad.mtf");
    ASSERT_TRUE(core::writeContainerFile(bad, fileLines(5, 5, 300)));
    EXPECT_FALSE(r.mag.LoadTape(bad));
    EXPECT_FALSE(r.mag.LoadTape(r.dir.file("missing.mtf")));
    EXPECT_EQ(r.prompter.messages, (std::vector<std::string>{kMagDataErrors, kMagLoadFailed}));
    EXPECT_TRUE(r.mag.tapeLoaded());
    EXPECT_EQ(r.mag.position(), 40);
    EXPECT_EQ(r.mag.counter(), 2400);
    EXPECT_EQ(r.mag.cells(), cells);
    EXPECT_EQ(r.mag.tapeName(), "good");
}

TEST(MagTape, KeysFollowTheModeRules) {
    MagRig r;
    ASSERT_TRUE(r.mag.NewTape());
    r.mag.pressKey(kMagPlay);
    EXPECT_EQ(r.mag.mode(), kMagPlay);
    EXPECT_EQ(r.mag.speed(), 1);
    r.mag.pressKey(kMagRecord);  // only from STOP
    EXPECT_EQ(r.mag.mode(), kMagPlay);
    r.mag.pressKey(kMagStop);
    EXPECT_TRUE(r.mag.stopHeld());
    EXPECT_FALSE(r.mag.playTimer().isActive());
    r.mag.releaseStop();
    EXPECT_FALSE(r.mag.stopHeld());
    r.mag.pressKey(kMagRecord);
    EXPECT_EQ(r.mag.mode(), kMagRecord);
    EXPECT_TRUE(r.log.has("play", core::SoundId::BtDown));
    EXPECT_TRUE(r.log.has("play", core::SoundId::BtOff));
    EXPECT_TRUE(r.log.has("play", core::SoundId::Tapin));
    EXPECT_EQ(magKeyAt(10, 35), kMagRecord);
    EXPECT_EQ(magKeyAt(67, 46), kMagPlay);
    EXPECT_EQ(magKeyAt(98, 40), kMagRewind);
    EXPECT_EQ(magKeyAt(103, 40), kMagFastForward);
    EXPECT_EQ(magKeyAt(160, 40), kMagStop);
    EXPECT_EQ(magKeyAt(38, 40), 0);
    EXPECT_EQ(magKeyAt(50, 34), 0);
}

TEST(MagTape, WindingStopsAtBothEndsWithTheCounterFollowing) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(2990, 1000)));
    r.mag.pressKey(kMagFastForward);
    r.tick();
    EXPECT_EQ(r.mag.position(), 3000);
    EXPECT_EQ(r.mag.counter(), 1010);
    EXPECT_EQ(r.mag.mode(), kMagStop);
    EXPECT_FALSE(r.mag.playTimer().isActive());

    r.prompter.answers = {core::Answer::No};
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(20, 500, "b.mtf")));
    r.mag.pressKey(kMagRewind);
    r.tick();
    EXPECT_EQ(r.mag.position(), 5);
    r.tick();
    EXPECT_EQ(r.mag.position(), 0);
    EXPECT_EQ(r.mag.counter(), 480);
    EXPECT_EQ(r.mag.mode(), kMagStop);
}

TEST(MagTape, CounterWheelsAndReels) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(100, 0)));
    r.mag.resetCounter();
    r.mag.pressKey(kMagRewind);
    r.tick(7);
    EXPECT_EQ(r.mag.position(), 0);
    EXPECT_EQ(r.mag.counter(), 59900);
    EXPECT_EQ(counterShown(59900), 998);
    EXPECT_EQ(counterShown(29), 0);
    EXPECT_EQ(counterShown(30), 1);
    EXPECT_EQ(counterShown(59999), 0);  // 999.98 reads as 000 again
    const CounterWheels w = counterWheels(59900);
    EXPECT_EQ(w.digit, (std::array<int, 3>{9, 9, 8}));
    EXPECT_NEAR(w.offset[2], 1.0 / 3.0, 1e-9);
    EXPECT_EQ(w.offset[1], 0.0);
    // 9.5 on the units carries half a step into the tens and hundreds that follow.
    const CounterWheels carry = counterWheels(99 * 60 + 30);
    EXPECT_EQ(carry.digit, (std::array<int, 3>{0, 9, 9}));
    EXPECT_NEAR(carry.offset[0], 0.5, 1e-9);
    EXPECT_NEAR(carry.offset[1], 0.5, 1e-9);
    EXPECT_EQ(reelShift(0), 0);
    EXPECT_EQ(reelShift(1500), 7);
    EXPECT_EQ(reelShift(3000), 13);
}

TEST(MagTape, RecordsThreeBytesWithGapsAndPlaysThemBack) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(10, 0)));
    r.mag.pressKey(kMagRecord);
    EXPECT_EQ(r.outFlag(), 0);
    // Each byte waits for the recorder's flag before the next.
    r.rig.load({op::TAD(13), op::OUT(1, op::kTransfer | op::kPulse), op::OUT(1, op::kSkip),
                op::JMP(2), op::TAD(14), op::OUT(1, op::kTransfer | op::kPulse),
                op::OUT(1, op::kSkip), op::JMP(6), op::TAD(15),
                op::OUT(1, op::kTransfer | op::kPulse), op::HLT});
    r.rig.m.memory[13] = 65;
    r.rig.m.memory[14] = 0;
    r.rig.m.memory[15] = 255;
    ASSERT_EQ(r.run().reason, core::RunControl::HeadlessStop::Stopped);
    const auto& c = r.mag.cells();
    EXPECT_EQ(c[10], 65);
    EXPECT_EQ(c[12], 0);
    EXPECT_EQ(c[14], 255);
    for (int i : {9, 11, 13, 15, 16}) EXPECT_EQ(c[static_cast<size_t>(i)], kMagBlank) << i;
    EXPECT_TRUE(r.mag.tapeChanged());
    // The last byte is ready two ticks after it was written.
    EXPECT_EQ(r.outFlag(), 1);
    r.tick(2);
    EXPECT_EQ(r.outFlag(), 0);

    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagRewind);
    r.tick(2);
    ASSERT_EQ(r.mag.position(), 0);
    r.mag.pressKey(kMagPlay);
    r.rig.load({op::IN(0, op::kSkip), op::JMP(0), op::IN(0, op::kTransfer | op::kPulse),
                op::DCA(13), op::IN(0, op::kSkip), op::JMP(4),
                op::IN(0, op::kTransfer | op::kPulse), op::DCA(14), op::IN(0, op::kSkip),
                op::JMP(8), op::IN(0, op::kTransfer | op::kPulse), op::DCA(15), op::HLT});
    r.rig.m.memory[13] = r.rig.m.memory[14] = r.rig.m.memory[15] = 7;
    ASSERT_EQ(r.run().reason, core::RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(r.rig.m.memory[13], 65);
    EXPECT_EQ(r.rig.m.memory[14], 0);
    EXPECT_EQ(r.rig.m.memory[15], 255);
    EXPECT_EQ(r.mag.position(), 14);
    EXPECT_EQ(r.inFlag(), 1);
}

TEST(MagTape, PlayOffersTheCellUnderTheHeadAtOnce) {
    MagRig r;
    ASSERT_TRUE(r.mag.NewTape());
    r.mag.pressKey(kMagRecord);
    r.rig.m.bus.slots[3].output = 33;
    r.rig.m.bus.notifyOutput(3);
    r.mag.ExecResetFlag(0);
    EXPECT_EQ(r.mag.cells()[0], 33);
    r.tick(4);
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagRewind);
    r.tick();
    ASSERT_EQ(r.mag.position(), 0);
    r.mag.pressKey(kMagPlay);
    EXPECT_EQ(r.inFlag(), 0);
    EXPECT_EQ(r.mag.GetData(), 33);
}

TEST(MagTape, ByteNotTakenInTimeIsPassedOver) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(1, 0)));
    r.mag.pressKey(kMagRecord);
    for (int b : {1, 2, 3}) {
        r.rig.m.bus.slots[3].output = b;
        r.rig.m.bus.notifyOutput(3);
        r.mag.ExecResetFlag(0);
        r.tick(2);
    }
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagRewind);
    r.tick();
    ASSERT_EQ(r.mag.position(), 0);
    r.mag.pressKey(kMagPlay);
    r.tick();  // cell 1
    EXPECT_EQ(r.inFlag(), 0);
    EXPECT_EQ(r.mag.GetData(), 1);
    r.tick(2);  // cell 3 passes while 1 is still waiting
    EXPECT_EQ(r.mag.GetData(), 1);
    r.mag.ExecReady(0);
    EXPECT_EQ(r.inFlag(), 1);
    r.tick(2);  // cell 5
    EXPECT_EQ(r.inFlag(), 0);
    EXPECT_EQ(r.mag.GetData(), 3);
}

TEST(MagTape, WriteWithoutRecordWaitsForTheKeyAndKeepsTheByte) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(30, 0)));
    r.rig.m.bus.slots[3].output = 99;
    r.rig.m.bus.notifyOutput(3);
    r.mag.ExecResetFlag(0);
    r.tick(10);
    EXPECT_EQ(r.outFlag(), 1);
    EXPECT_EQ(r.mag.cells()[30], kMagBlank);
    r.mag.pressKey(kMagRecord);
    EXPECT_EQ(r.mag.cells()[30], 99);
    r.tick(2);
    EXPECT_EQ(r.outFlag(), 0);
    // A reset clears a write under way: the next byte is taken at once.
    r.mag.ExecResetFlag(0);
    r.mag.doReset();
    EXPECT_EQ(r.outFlag(), 0);
    EXPECT_EQ(r.mag.writePending(), -1);
    EXPECT_EQ(r.inFlag(), 1);
    EXPECT_EQ(r.mag.mode(), kMagStop);
}

// A held byte is the program's, whatever the head reads in between; a write the tape has
// no room for is not stored and leaves the recorder busy.
TEST(MagTape, HeldByteSurvivesAPlayAndTheEndOfTapeStaysBusy) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(40, 0)));
    ASSERT_TRUE(r.mag.NewTape());
    r.rig.m.bus.slots[3].output = 99;
    r.rig.m.bus.notifyOutput(3);
    r.mag.ExecResetFlag(0);  // held: not in RECORD
    // PLAY reads a byte from the tape into the latch; the held byte must not follow it.
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagRecord);
    EXPECT_EQ(r.mag.cells()[0], 99);
    r.tick(2);
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagRewind);
    r.tick();
    r.rig.m.bus.slots[3].output = 42;
    r.rig.m.bus.notifyOutput(3);
    r.mag.ExecResetFlag(0);  // held again
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagPlay);  // reads 99 under the head
    ASSERT_EQ(r.mag.GetData(), 99);
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagRecord);
    EXPECT_EQ(r.mag.cells()[0], 42) << "the program's byte, not the one read";
    r.tick(2);
    EXPECT_EQ(r.outFlag(), 0);

    // At the end of the tape nothing is stored: the flag stays busy.
    r.mag.pressKey(kMagStop);
    r.mag.pressKey(kMagFastForward);
    r.tick(200);
    ASSERT_EQ(r.mag.position(), kMagCells);
    r.mag.pressKey(kMagRecord);
    r.rig.m.bus.slots[3].output = 7;
    r.rig.m.bus.notifyOutput(3);
    r.mag.ExecResetFlag(0);
    r.tick(4);
    EXPECT_EQ(r.outFlag(), 1);
    EXPECT_EQ(r.mag.writePending(), -1);
}

TEST(MagTape, EraseKeepsPositionAndCounter) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(10, 700)));
    r.mag.pressKey(kMagRecord);
    r.mag.ExecResetFlag(0);
    r.tick(3);
    r.mag.pressKey(kMagStop);
    ASSERT_TRUE(r.mag.setPlaylistLines({"one", "two"}));
    r.prompter.answers = {core::Answer::No, core::Answer::Yes};
    EXPECT_FALSE(r.mag.Erase());
    EXPECT_NE(r.mag.cells()[10], kMagBlank);
    EXPECT_TRUE(r.mag.Erase());
    for (int c : r.mag.cells()) ASSERT_EQ(c, kMagBlank);
    EXPECT_EQ(r.mag.position(), 13);
    EXPECT_EQ(r.mag.counter(), 703);
    EXPECT_EQ(r.mag.playlist(), "");
    EXPECT_EQ(r.prompter.messages,
              (std::vector<std::string>{kMagEraseQuestion, kMagEraseQuestion}));
}

TEST(MagTape, CommandsNeedStopAndAskBeforeLosingChanges) {
    MagRig r;
    ASSERT_TRUE(r.mag.NewTape());
    r.mag.pressKey(kMagPlay);
    r.tick();
    EXPECT_FALSE(r.mag.NewTape());
    EXPECT_FALSE(r.mag.EjectTape());
    EXPECT_EQ(r.prompter.messages, (std::vector<std::string>{kMagMustStop, kMagMustStop}));
    r.mag.pressKey(kMagStop);
    ASSERT_TRUE(r.mag.tapeChanged());  // the tape moved
    r.prompter.messages.clear();
    r.prompter.answers = {core::Answer::Cancel};
    EXPECT_FALSE(r.mag.EjectTape());
    EXPECT_TRUE(r.mag.tapeLoaded());
    r.prompter.answers = {core::Answer::Yes};
    r.host.saveAs = r.dir.file("kept.mtf").string();
    EXPECT_TRUE(r.mag.EjectTape());
    EXPECT_FALSE(r.mag.tapeLoaded());
    EXPECT_TRUE(r.log.has("play", core::SoundId::Tpout));
    EXPECT_EQ(r.host.suggestions, std::vector<std::string>{"*.mtf"});
    EXPECT_TRUE(std::filesystem::exists(r.host.saveAs));
    EXPECT_EQ(r.prompter.messages,
              (std::vector<std::string>{kMagSaveQuestion, kMagSaveQuestion}));
    // Without a cassette there is nothing to erase or save.
    EXPECT_FALSE(r.mag.Erase());
    EXPECT_FALSE(r.mag.SaveTape());
    EXPECT_FALSE(r.mag.canEditPlaylist());
}

TEST(MagTape, FailedSaveKeepsTheOldFileAndTheChangedMark) {
    MagRig r;
    const auto path = r.tapeAt(7, 70, "old.mtf");
    ASSERT_TRUE(r.mag.LoadTape(path));
    ASSERT_TRUE(r.mag.setPlaylistLines({"new"}));
    // A folder where the file should go cannot be replaced.
    EXPECT_FALSE(r.mag.saveTo(r.dir.file("")));
    EXPECT_EQ(r.prompter.messages.back(), std::string(kMagSaveFailed) + "\r\r\"" + r.dir.file("").string() + "\" is a folder.");
    EXPECT_TRUE(r.mag.tapeChanged());
    EXPECT_EQ(r.mag.fileName(), path.string());
    // A good save replaces the file whole; the old one read back is the new tape.
    ASSERT_TRUE(r.mag.saveTo(path));
    const MagTapeRead back = readMagTapeFile(path);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.image.playlist, "new~");
    EXPECT_EQ(back.image.position, 7);
    EXPECT_FALSE(r.mag.tapeChanged());
    int leftovers = 0;
    for (const auto& e : std::filesystem::directory_iterator(path.parent_path()))
        leftovers += e.path() != path;
    EXPECT_EQ(leftovers, 0) << "no temporary file stays behind";
}

TEST(MagTape, PlaylistRefusesTilde) {
    MagRig r;
    ASSERT_TRUE(r.mag.NewTape());
    EXPECT_FALSE(r.mag.setPlaylistLines({"fine", "not~fine"}));
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{kMagPlaylistTilde});
    EXPECT_EQ(r.mag.playlist(), "");
    EXPECT_TRUE(r.mag.setPlaylistLines({"side A", "", "end"}));
    EXPECT_EQ(r.mag.playlist(), "side A~~end~");
    EXPECT_EQ(r.mag.playlistLines(), (std::vector<std::string>{"side A", "", "end"}));
}

TEST(MagTape, StateStringPutsTheTapeBackWhereItWas) {
    MagRig r;
    ASSERT_TRUE(r.mag.LoadTape(r.tapeAt(321, 4321, "mine.mtf")));
    EXPECT_EQ(r.mag.tapeName(), "mine");
    r.mag.pressKey(kMagPlay);
    r.tick(3);
    r.mag.pressKey(kMagStop);
    // Written settings ask first; Yes saves through the dialog.
    r.prompter.answers = {core::Answer::Yes};
    r.host.saveAs = r.dir.file("mine.mtf").string();
    r.mag.askSaveBeforeSettings();
    const std::string state = r.mag.stateString(4, 5);
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{kMagSaveQuestion});
    EXPECT_EQ(state, "4~5~" + r.host.saveAs + "~-1~");
    EXPECT_FALSE(r.mag.tapeChanged());

    MagRig other(1, 2);
    EXPECT_EQ(magDeviceLabel(other.mag.GetInDevice(), other.mag.GetOutDevice()), "In 1, Out 0");
    EXPECT_EQ(magDeviceLabel(-1, -1), "In -, Out -");
    other.mag.applyState(state);
    EXPECT_TRUE(other.mag.tapeLoaded());
    EXPECT_EQ(other.mag.position(), 324);
    EXPECT_EQ(other.mag.counter(), 4324);
    EXPECT_FALSE(other.log.has("play", core::SoundId::Tapin));

    MagRig blank;
    blank.mag.applyState("0~0~~-1~");
    EXPECT_TRUE(blank.mag.tapeLoaded());
    EXPECT_EQ(blank.mag.position(), 0);
    MagRig gone;
    gone.mag.applyState("0~0~" + r.dir.file("nothing.mtf").string() + "~-1~");
    EXPECT_FALSE(gone.mag.tapeLoaded());
    EXPECT_EQ(gone.mag.fileName(), "");
    MagRig out;
    out.mag.applyState("0~0~" + r.host.saveAs + "~0~");
    EXPECT_FALSE(out.mag.tapeLoaded());
    EXPECT_EQ(out.mag.fileName(), r.host.saveAs);
}

}  // namespace
}  // namespace mira::devices
