// The paper tape punch: fitting a tape, the flag protocol around each punched row (with
// and without the stroke's sound), a running program punching through real IOTs, and the
// save of a range of the punched bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_rig.h"
#include "core/sound_wave.h"
#include "core/tape_file.h"
#include "core/timer.h"
#include "devices/tape_punch.h"
#include "devices/tape_test_support.h"

namespace mira::devices {
namespace {

using test::ScriptPrompter;
using test::SoundLog;
namespace op = core::test::op;

class PunchHost final : public TapePunchHost {
public:
    void drawTape() override { ++draws; }
    bool windowVisible() const override { return true; }
    int draws = 0;
};

struct PunchRig {
    core::test::Rig rig;
    core::VirtualClock clock;
    SoundLog log;
    core::SoundEffects sounds;
    ScriptPrompter prompter;
    PunchHost host;
    TapePunch punch{rig.m.bus, clock, sounds, prompter, &host};

    explicit PunchRig(int slot = 2) {
        sounds.setPlayer(&log);
        log.heard = false;
        punch.PutDevice(slot);
        punch.doInit();
    }
    int flag() const { return rig.m.bus.slots[punch.GetDevice()].flag; }
    void punchByte(int value) {
        rig.m.bus.slots[punch.GetDevice()].output = value;
        rig.m.bus.SetOutputResetFlag(punch.GetDevice(), 0);
        rig.m.bus.SetOutputResetFlag(punch.GetDevice(), 1);
    }
};

// A byte sent into a bare punch (as after Transfer, which takes the tape off) waits with
// the program: it is the first row of the next tape fitted, and only then is the flag 0.
TEST(TapePunch, ByteSentWithoutTapeIsPunchedWhenATapeIsFitted) {
    PunchRig r;
    EXPECT_EQ(r.rig.m.bus.slots[2].type, core::kModuleTapePunch);
    EXPECT_TRUE(r.punch.faultLamp());
    EXPECT_EQ(r.flag(), 1);
    r.punchByte(5);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.punch.dataBytes(), 0);
    EXPECT_TRUE(r.punch.rows().empty());
    EXPECT_TRUE(r.punch.byteHeld());
    r.punch.fitTape();
    EXPECT_EQ(r.punch.punchedBytes(), (std::vector<int32_t>{5}));
    EXPECT_EQ(r.punch.punchPosition(), TapePunch::kFreshLeaderRows + 1);
    EXPECT_EQ(r.flag(), 0);
    EXPECT_FALSE(r.punch.byteHeld());
    // A reset forgets a held byte: the next tape starts blank.
    r.punch.doReset();
    r.punchByte(6);
    r.punch.doReset();
    r.punch.fitTape();
    EXPECT_TRUE(r.punch.punchedBytes().empty());
}

// A program that punches for ever keeps the last rows on a tape of bounded length, and
// the count of all of them.
TEST(TapePunch, LongRunKeepsTheLastRowsAndCountsAll) {
    PunchRig r;
    r.punch.fitTape();
    const int total = TapePunch::kKeptRows + 3 * TapePunch::kTornStrip + 5;
    for (int i = 0; i < total; ++i) r.punchByte(i);
    EXPECT_EQ(r.punch.dataBytes(), total);
    const std::vector<int32_t> kept = r.punch.punchedBytes();
    ASSERT_EQ(kept.size(), static_cast<size_t>(TapePunch::kKeptRows));
    EXPECT_EQ(kept.front(), (total - TapePunch::kKeptRows) & 0xFF);
    EXPECT_EQ(kept.back(), (total - 1) & 0xFF);
    EXPECT_LT(r.punch.rows().size(),
              static_cast<size_t>(TapePunch::kKeptRows + TapePunch::kTornStrip + 20));
    // The head still stands just past the last row punched, before the blank tape.
    EXPECT_EQ(r.punch.rows()[static_cast<size_t>(r.punch.punchPosition() - 1)], (total - 1) & 0xFF);
    EXPECT_EQ(r.punch.rows()[static_cast<size_t>(r.punch.punchPosition())], kTrailerRow);
}

TEST(TapePunch, FittedTapeTakesRowsAtThePunchHead) {
    PunchRig r(3);
    r.punch.fitTape();
    EXPECT_EQ(r.flag(), 0);
    EXPECT_FALSE(r.punch.faultLamp());
    ASSERT_EQ(r.punch.rows().size(), 20u);
    EXPECT_EQ(r.punch.punchPosition(), 3);
    r.punchByte(0x1A5);  // only the low byte reaches the tape
    r.punchByte(0);
    EXPECT_EQ(r.flag(), 0);
    ASSERT_EQ(r.punch.rows().size(), 22u);
    EXPECT_EQ(r.punch.rows()[2], kLeaderRow);
    EXPECT_EQ(r.punch.rows()[3], 0xA5);
    EXPECT_EQ(r.punch.rows()[4], 0);
    EXPECT_EQ(r.punch.rows()[5], kTrailerRow);
    EXPECT_EQ(r.punch.punchPosition(), 5);
    EXPECT_EQ(r.punch.punchedBytes(), (std::vector<int32_t>{0xA5, 0}));
    EXPECT_TRUE(r.log.has("play", core::SoundId::Punch));
}

TEST(TapePunch, AudibleStrokeHoldsTheFlagForTheSoundOnly) {
    PunchRig r;
    r.log.heard = true;
    r.punch.fitTape();
    r.punchByte(1);
    const int ms = core::soundDurationMs(core::SoundId::Punch);
    ASSERT_GT(ms, 0);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(ms - 1);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(), 0);
    // With the sound effects off the punch is ready at once.
    r.sounds.enabled = false;
    r.punchByte(2);
    EXPECT_EQ(r.flag(), 0);
    // A reset during the stroke leaves no stray ready.
    r.sounds.enabled = true;
    r.punchByte(3);
    r.punch.doReset();
    r.clock.advance(ms);
    EXPECT_EQ(r.flag(), 1);
}

TEST(TapePunch, RunningProgramPunchesEachByteAfterWaitingForTheFlag) {
    PunchRig r;
    r.log.heard = true;
    r.punch.fitTape();
    r.rig.load({op::TAD(13), op::OUT(0, op::kTransfer | op::kPulse), op::OUT(0, op::kSkip),
                op::JMP(2), op::TAD(14), op::OUT(0, op::kTransfer | op::kPulse),
                op::OUT(0, op::kSkip), op::JMP(6), op::TAD(15),
                op::OUT(0, op::kTransfer | op::kPulse), op::HLT});
    r.rig.m.memory[13] = 7;
    r.rig.m.memory[14] = 8;
    r.rig.m.memory[15] = 9;
    r.rig.start(0);
    const auto res = r.rig.rc.runHeadless(UINT64_MAX, 1000000, &r.clock);
    EXPECT_EQ(res.reason, core::RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(r.punch.punchedBytes(), (std::vector<int32_t>{7, 8, 9}));
    // Two waits of one stroke each, at one clock state per microsecond.
    EXPECT_GE(res.clockStates, 2u * 1000u * static_cast<uint64_t>(core::soundDurationMs(core::SoundId::Punch)));
}

TEST(TapePunch, SavingARangeWritesMarkerStartAndThoseBytes) {
    PunchRig r;
    ScriptPrompter& p = r.prompter;
    EXPECT_FALSE(r.punch.SaveTape([](std::span<const int32_t>, int) { return true; }));
    EXPECT_EQ(p.messages, std::vector<std::string>{kPunchNoData});

    r.punch.fitTape();
    for (int b : {11, 22, 33}) r.punchByte(b);
    std::vector<std::string> written;
    int highestSeen = -1;
    auto saver = [&](std::span<const int32_t> bytes, int highest) {
        highestSeen = highest;
        written = core::buildTapeLines(bytes, highest, 1, 2);
        return true;
    };
    // A cancelled save keeps the tape on.
    EXPECT_FALSE(r.punch.SaveTape([](std::span<const int32_t>, int) { return false; }));
    EXPECT_EQ(r.punch.dataBytes(), 3);
    EXPECT_TRUE(r.punch.SaveTape(saver));
    EXPECT_EQ(highestSeen, 2);
    EXPECT_EQ(written, (std::vector<std::string>{"128", "1", "22", "33"}));
    EXPECT_FALSE(r.punch.tapeFitted());
    EXPECT_EQ(r.flag(), 1);
}

TEST(TapePunch, CloseFreesTheSlot) {
    PunchRig r;
    r.punch.fitTape();
    r.punch.close();
    EXPECT_EQ(r.rig.m.bus.slots[2].type, core::kModuleNone);
    EXPECT_EQ(r.rig.m.bus.slots[2].flag, 1);
    EXPECT_EQ(r.punch.GetDevice(), -1);
    EXPECT_EQ(r.punch.stateString(5, 6), "5~6~");
}

}  // namespace
}  // namespace mira::devices
