// The paper tape reader as a loader in virtual time: tape files it takes and refuses, the
// feed that works LOAD ADDRESS and DEPOSIT through the switch register, its stops, and a
// round trip from memory through a saved tape file back into a cleared memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_rig.h"
#include "core/panel.h"
#include "core/scrambled_file.h"
#include "core/tape_file.h"
#include "core/timer.h"
#include "devices/tape_reader.h"
#include "devices/tape_test_support.h"

namespace mira::devices {
namespace {

using test::ScratchDir;
using test::ScriptPrompter;
using test::SoundLog;

struct ReaderRig {
    core::test::Rig rig;
    core::VirtualClock clock;
    SoundLog log;
    core::SoundEffects sounds;
    ScriptPrompter prompter;
    core::FrontPanel panel{rig.m, rig.rc, clock, sounds};
    TapeReader reader{rig.m, panel, clock, sounds, prompter};
    ScratchDir dir;

    ReaderRig() {
        sounds.setPlayer(&log);
        reader.PutDevice(core::kModuleTapeReader);
        reader.doInit();
    }
    std::filesystem::path tape(const std::vector<std::string>& lines,
                               const std::string& name = "t.ptp") {
        const auto p = dir.file(name);
        EXPECT_TRUE(core::writeContainerFile(p, lines));
        return p;
    }
    // Loads, presses the feed button and lets the tape run out.
    void feed(const std::vector<std::string>& lines) {
        ASSERT_TRUE(reader.LoadTape(tape(lines)));
        reader.buttonAction();
        ASSERT_TRUE(reader.feeding());
        clock.advance(TapeReader::kFeedMs * (static_cast<int64_t>(reader.rows().size()) + 1));
        EXPECT_FALSE(reader.feeding());
    }
};

TEST(ReaderTapeFile, TakesOneTo258RowsOfBytes) {
    EXPECT_TRUE(parseReaderTape({"5"}).ok);
    EXPECT_TRUE(parseReaderTape(std::vector<std::string>(258, "255")).ok);
    const auto tooLong = parseReaderTape(std::vector<std::string>(259, "1"));
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.message, kReaderInvalidData);
    for (const char* bad : {"256", "-1", "x", ""}) {
        const auto r = parseReaderTape({"128", "0", bad});
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_EQ(r.message, kReaderInvalidData) << bad;
    }
    const auto none = parseReaderTape({});
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(none.warning);
    EXPECT_EQ(none.message, kReaderNoData);
    EXPECT_EQ(readReaderTapeFile("/nonexistent/x.ptp").message, kReaderOpenFailed);
}

TEST(TapeReader, SingleRowTapeHasThirteenRowsAndLoadsNothing) {
    ReaderRig r;
    r.rig.m.memory.fill(9);
    r.feed({"5"});
    EXPECT_EQ(r.reader.rows().size(), 13u);
    EXPECT_EQ(r.reader.rows().front(), kLeaderRow);
    EXPECT_EQ(r.reader.rows().back(), kTrailerRow);
    EXPECT_EQ(r.reader.loaderState(), TapeReader::kLookingForMarker);
    EXPECT_EQ(r.reader.output(), 255);
    EXPECT_EQ(r.rig.m.sr, 255);
    EXPECT_EQ(r.reader.position(), 13);
    for (int a = 0; a < 256; ++a) ASSERT_EQ(r.rig.m.memory[a], 9);
}

TEST(TapeReader, MarkerAddressAndTwoBytesLeavePcAfterThem) {
    ReaderRig r;
    r.feed({"128", "16", "1", "2"});
    EXPECT_EQ(r.rig.m.memory[16], 1);
    EXPECT_EQ(r.rig.m.memory[17], 2);
    EXPECT_EQ(r.rig.m.pc, 18);
    EXPECT_EQ(r.reader.deposited(), 2);
    EXPECT_FALSE(r.rig.m.run);
    EXPECT_TRUE(r.reader.faultLamp());  // it ran into the trailer
}

TEST(TapeReader, BytesBeforeTheMarkerAreSkipped) {
    ReaderRig r;
    r.rig.m.memory[1] = 77;
    r.rig.m.memory[2] = 77;
    r.feed({"1", "2", "200", "10", "7"});
    EXPECT_EQ(r.rig.m.memory[10], 7);
    EXPECT_EQ(r.rig.m.memory[1], 77);
    EXPECT_EQ(r.rig.m.memory[2], 77);
    EXPECT_EQ(r.rig.m.pc, 11);
}

TEST(TapeReader, OneRowPerFeedStepThroughTheSwitchRegister) {
    ReaderRig r;
    ASSERT_TRUE(r.reader.LoadTape(r.tape({"128", "40", "170", "0"})));
    r.reader.buttonAction();
    EXPECT_TRUE(r.log.has("loop", core::SoundId::Lnfd));
    r.clock.advance(TapeReader::kFeedMs * 10);  // the leader
    EXPECT_EQ(r.reader.position(), 10);
    EXPECT_EQ(r.rig.m.sr, 255);
    r.clock.advance(TapeReader::kFeedMs);  // marker
    EXPECT_EQ(r.reader.loaderState(), TapeReader::kNextIsAddress);
    r.clock.advance(TapeReader::kFeedMs - 1);
    EXPECT_EQ(r.reader.position(), 11);
    r.clock.advance(1);  // address: SR shows it and PC takes it
    EXPECT_EQ(r.rig.m.sr, 40);
    EXPECT_EQ(r.rig.m.pc, 40);
    r.clock.advance(TapeReader::kFeedMs);
    EXPECT_EQ(r.rig.m.sr, 170);
    EXPECT_EQ(r.rig.m.memory[40], 170);
    // After the address every row is deposited, whatever its bit 7.
    r.clock.advance(TapeReader::kFeedMs);
    EXPECT_EQ(r.rig.m.memory[41], 0);
    EXPECT_EQ(r.reader.loaderState(), 2);
    r.clock.advance(TapeReader::kFeedMs * 3);  // trailer, then the end stops the feed
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_EQ(r.rig.m.sr, 255);
    EXPECT_TRUE(r.log.has("stop", core::SoundId::Lnfd));
}

TEST(TapeReader, FeedRefusedWithoutTapeAtSlowOrWhileRunning) {
    ReaderRig r;
    r.reader.buttonAction();
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_TRUE(r.prompter.messages.empty());
    ASSERT_TRUE(r.reader.LoadTape(r.tape({"128", "0", "1"})));
    r.rig.m.switches[core::kSwitchSlowFast] = 0;
    r.reader.buttonAction();
    EXPECT_FALSE(r.reader.feeding());
    r.rig.m.switches[core::kSwitchSlowFast] = 1;
    r.rig.m.run = true;
    r.reader.buttonAction();
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_EQ(r.prompter.messages,
              (std::vector<std::string>{kReaderSlowMode, kReaderComputerRunning}));
}

TEST(TapeReader, SlowClockOrRunningProgramStopsTheFeedWithTheFaultLamp) {
    ReaderRig r;
    ASSERT_TRUE(r.reader.LoadTape(r.tape({"128", "0", "1"})));
    r.reader.buttonAction();
    r.clock.advance(TapeReader::kFeedMs * 4);
    r.rig.m.switches[core::kSwitchSlowFast] = 0;
    r.clock.advance(TapeReader::kFeedMs);
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_TRUE(r.reader.faultLamp());
    EXPECT_EQ(r.reader.position(), 4);
    // Pressing the button again starts from the beginning once the clock is fast.
    r.rig.m.switches[core::kSwitchSlowFast] = 1;
    r.reader.buttonAction();
    EXPECT_FALSE(r.reader.faultLamp());
    EXPECT_EQ(r.reader.position(), 0);
    r.clock.advance(TapeReader::kFeedMs * 2);
    r.rig.m.run = true;
    r.clock.advance(TapeReader::kFeedMs);
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_TRUE(r.reader.faultLamp());
}

TEST(TapeReader, ButtonWhileFeedingAndStopTapeRewind) {
    ReaderRig r;
    ASSERT_TRUE(r.reader.LoadTape(r.tape({"128", "0", "1"})));
    r.reader.buttonAction();
    r.clock.advance(TapeReader::kFeedMs * 11);
    r.reader.buttonAction();
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_EQ(r.reader.position(), 0);
    EXPECT_EQ(r.reader.loaderState(), TapeReader::kLookingForMarker);
    r.reader.buttonAction();
    r.clock.advance(TapeReader::kFeedMs * 3);
    r.reader.StopTape();
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_EQ(r.reader.position(), 0);
    EXPECT_TRUE(r.reader.hasTape());
}

TEST(TapeReader, FailedLoadKeepsThePreviousTape) {
    ReaderRig r;
    ASSERT_TRUE(r.reader.LoadTape(r.tape({"128", "3", "4"}, "good.ptp")));
    const auto rows = r.reader.rows();
    const std::string name = r.reader.fileName();
    std::vector<std::string> lastBad(20, "7");
    lastBad.back() = "256";
    EXPECT_FALSE(r.reader.LoadTape(r.tape(lastBad, "bad.ptp")));
    EXPECT_FALSE(r.reader.LoadTape(r.tape(std::vector<std::string>(259, "1"), "long.ptp")));
    EXPECT_FALSE(r.reader.LoadTape(r.tape({}, "empty.ptp")));
    EXPECT_FALSE(r.reader.LoadTape(r.dir.file("missing.ptp")));
    // A tape longer than the reader takes is "too large", found without reading it all.
    EXPECT_EQ(r.prompter.messages,
              (std::vector<std::string>{kReaderInvalidData,
                                        std::string(kReaderInvalidData) +
                                            "\r\rthe file is too large: it holds more lines than it may",
                                        kReaderNoData, kReaderOpenFailed}));
    EXPECT_EQ(r.reader.rows(), rows);
    EXPECT_EQ(r.reader.fileName(), name);
}

TEST(TapeReader, ResetRemovesTheTapeAndInitFitsTheRememberedOne) {
    ReaderRig r;
    const auto path = r.tape({"128", "3", "4"});
    ASSERT_TRUE(r.reader.LoadTape(path));
    r.reader.buttonAction();
    r.clock.advance(TapeReader::kFeedMs * 12);
    EXPECT_EQ(r.rig.m.sr, 3);
    r.reader.doReset();
    EXPECT_FALSE(r.reader.hasTape());
    EXPECT_FALSE(r.reader.feeding());
    EXPECT_EQ(r.rig.m.sr, 255);
    EXPECT_EQ(r.rig.m.bus.slots[0].type, core::kModuleTapeReader);
    EXPECT_EQ(r.rig.m.bus.slots[0].flag, 1);

    const std::string state = r.reader.stateString(10, 20);
    EXPECT_EQ(state, "10~20~" + path.string() + "~");
    ReaderRig other;
    other.reader.applyState(state);
    other.reader.doInit();
    ASSERT_TRUE(other.reader.hasTape());
    EXPECT_EQ(other.reader.rows().size(), 15u);
    // A remembered file that has gone is no error: the reader opens empty.
    std::filesystem::remove(path);
    other.reader.doInit();
    EXPECT_FALSE(other.reader.hasTape());
    EXPECT_TRUE(other.prompter.messages.empty());
}

TEST(TapeReader, CloseFreesSlotZero) {
    ReaderRig r;
    EXPECT_EQ(r.reader.GetDevice(), core::kModuleTapeReader);
    r.reader.close();
    EXPECT_EQ(r.rig.m.bus.slots[0].type, core::kModuleNone);
    EXPECT_EQ(r.reader.GetDevice(), -1);
}

// What the memory view's "Save File" writes, read back through the reader into a
// memory cleared in between.
void roundTrip(int from, int to) {
    ReaderRig r;
    std::array<int32_t, 256> saved{};
    for (int a = 0; a < 256; ++a) saved[static_cast<size_t>(a)] = (a * 37 + 11) & 255;
    const auto path = r.dir.file("prog.ptp");
    ASSERT_TRUE(core::writeTapeFile(path, core::buildTapeLines(saved, 255, from, to)));
    r.rig.m.memory.fill(0);
    ASSERT_TRUE(r.reader.LoadTape(path));
    r.reader.buttonAction();
    r.clock.advance(TapeReader::kFeedMs * (static_cast<int64_t>(r.reader.rows().size()) + 1));
    for (int a = 0; a < 256; ++a) {
        const int expected = a >= from && a <= to ? saved[static_cast<size_t>(a)] : 0;
        ASSERT_EQ(r.rig.m.memory[a], expected) << "address " << a;
    }
    EXPECT_EQ(r.reader.deposited(), to - from + 1);
    EXPECT_EQ(r.rig.m.pc, (to + 1) & 255);
}

TEST(TapeReader, RoundTripOfAWholePage) { roundTrip(0, 255); }
TEST(TapeReader, RoundTripOfARange) { roundTrip(30, 47); }

}  // namespace
}  // namespace mira::devices
