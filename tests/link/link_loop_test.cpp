// The command line's link loop on a fake port and a fake wall clock: a host that stalls
// (paused, swapping, slow under a sanitizer) while the board answers must not turn the
// missed time into silence, in any command.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

#include "link/link_loop.h"
#include "link_rig.h"

namespace mira::link::test {
namespace {

struct Command {
    const char* name;
    std::function<void(BoardLink&)> run;  // empty: the connection query alone
};

struct Result {
    Outcome outcome = Outcome::None;
    std::vector<std::string> lines;
    size_t writes = 0;
};

class LinkLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test and process: ctest runs this suite's tests side by side.
        dir_ = std::filesystem::temp_directory_path() /
               ("mira8-link-loop-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / kFirmwareFile) << driverHex(128);
        std::ofstream(dir_ / kMarkerFile) << "x";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    Result runCommand(const Command& c, size_t stallAfterWrite, int64_t stallMicros) {
        LoopRig rig(dir_);
        rig.port.stallAfterWrite = stallAfterWrite;
        rig.port.stallMicros = stallMicros;
        rig.run(c.run);
        return {rig.link.outcome(), rig.link.messages(), rig.port.writes};
    }
    std::filesystem::path dir_;
};

TEST_F(LinkLoopTest, AHostStallIsNoSilenceInAnyCommand) {
    const std::vector<Command> commands{
        {"query", {}},
        {"directory", [](BoardLink& l) { l.readDirectory(); }},
        {"read-program normal", [](BoardLink& l) { l.readProgram(false, 1); }},
        {"read-program wif", [](BoardLink& l) { l.readProgram(true, 1); }},
        {"write-program", [](BoardLink& l) { l.writeProgram(false, 2); }},
        {"read-memory", [](BoardLink& l) { l.readMemory(); }},
        {"write-memory", [](BoardLink& l) { l.writeMemory(); }},
        {"erase-memory", [](BoardLink& l) { l.eraseMemory(); }},
        {"delete", [](BoardLink& l) { l.deletePrograms(0x101); }},
        {"read-options", [](BoardLink& l) { l.readOptions(); }},
        {"write-options", [](BoardLink& l) { l.writeOptions(); }},
        {"upgrade-driver", [](BoardLink& l) { l.upgradeFirmware(false); }},
    };
    for (const auto& c : commands) {
        const Result calm = runCommand(c, 0, 0);
        ASSERT_EQ(calm.outcome, Outcome::Ok) << c.name;
        // A 3 s stall (15 ticks of the reply time-out) after the first, a middle and the
        // last write of the command.
        for (const size_t at : {size_t{1}, calm.writes / 2 + 1, calm.writes}) {
            const Result stalled = runCommand(c, at, 3'000'000);
            EXPECT_EQ(stalled.outcome, Outcome::Ok) << c.name << ", stall after write " << at;
            EXPECT_EQ(stalled.lines, calm.lines) << c.name << ", stall after write " << at;
        }
    }
}

TEST_F(LinkLoopTest, RealSilenceStillEndsTheCommandInTwoSeconds) {
    boardsim::Faults f;
    f.silentAfter = 5;
    LoopRig rig(dir_, f);
    rig.run({});
    const int64_t t0 = rig.port.nowMicros();
    rig.link.readDirectory();
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.link.outcome(), Outcome::Fail);
    EXPECT_EQ(rig.link.messages()[rig.link.messages().size() - 2], "Communications failed");
    const int64_t took = rig.port.nowMicros() - t0;
    EXPECT_GE(took, 2'000'000);
    EXPECT_LT(took, 2'300'000);
}

}  // namespace
}  // namespace mira::link::test
