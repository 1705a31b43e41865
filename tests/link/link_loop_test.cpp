// The command line's link loop on a fake port and a fake wall clock: a host that stalls
// (paused, swapping, slow under a sanitizer) while the board answers must not turn the
// missed time into silence, in any command.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <utility>

#include "link/link_loop.h"
#include "link_rig.h"

namespace mira::link::test {
namespace {

constexpr int64_t kLatencyMicros = 2000;

// A board model behind a port whose replies arrive a little after each write, on a wall
// clock that the host's waits move; a stall jumps it right after a chosen write.
class StallPort final : public PolledPort, public WallClock {
public:
    explicit StallPort(boardsim::BoardModel& b) : board_(b) {}
    size_t writes = 0;
    size_t stallAfterWrite = 0;  // 0: never
    int64_t stallMicros = 0;

    bool isOpen() const override { return true; }
    void write(const std::string& bytes) override {
        ++writes;
        for (auto& r : board_.feed(bytes)) inFlight_.emplace_back(now_ + kLatencyMicros, r);
        if (writes == stallAfterWrite) now_ += stallMicros;
    }
    std::string readAvailable() override {
        collect();
        return std::exchange(arrived_, {});
    }
    void setDtr(bool) override {}
    bool waitReadable(int ms) override {
        collect();
        if (!arrived_.empty()) return true;
        int64_t until = now_ + ms * 1000;
        if (!inFlight_.empty()) until = std::min(until, std::max(now_, inFlight_.front().first));
        now_ = until;
        collect();
        return !arrived_.empty();
    }
    int64_t nowMicros() override { return now_; }
    void sleepMs(int ms) override { now_ += ms * 1000; }

private:
    void collect() {
        while (!inFlight_.empty() && inFlight_.front().first <= now_) {
            arrived_ += inFlight_.front().second;
            inFlight_.pop_front();
        }
    }
    boardsim::BoardModel& board_;
    int64_t now_ = 0;
    std::deque<std::pair<int64_t, std::string>> inFlight_;
    std::string arrived_;
};

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
        dir_ = std::filesystem::temp_directory_path() / "mira8-link-loop";
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / kFirmwareFile) << driverHex(128);
        std::ofstream(dir_ / kMarkerFile) << "x";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    Result runCommand(const Command& c, size_t stallAfterWrite, int64_t stallMicros) {
        boardsim::BoardState state;
        state.records[0] = makeRecord(0, "N1");
        state.records[8] = makeRecord(0, "W1");
        boardsim::BoardModel board(state);
        StallPort port(board);
        port.stallAfterWrite = stallAfterWrite;
        port.stallMicros = stallMicros;
        core::VirtualClock clock;
        FakeHost host;
        host.dataDir = dir_;
        host.hardwareAnswer = 0x6D;
        FakePrompter prompter;
        BoardLink link(port, clock, host, prompter);
        LinkLoop loop(link, port, clock, port);
        link.start();
        loop.runUntilIdle();
        if (c.run && link.outcome() == Outcome::Ok) {
            link.clearOutcome();
            c.run(link);
            loop.runUntilIdle();
        }
        return {link.outcome(), link.messages(), port.writes};
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
    boardsim::BoardState state;
    boardsim::Faults f;
    f.silentAfter = 5;
    boardsim::BoardModel board(state, f);
    StallPort port(board);
    core::VirtualClock clock;
    FakeHost host;
    host.dataDir = dir_;
    FakePrompter prompter;
    BoardLink link(port, clock, host, prompter);
    LinkLoop loop(link, port, clock, port);
    link.start();
    loop.runUntilIdle();
    const int64_t t0 = port.nowMicros();
    link.readDirectory();
    loop.runUntilIdle();
    EXPECT_EQ(link.outcome(), Outcome::Fail);
    EXPECT_EQ(link.messages()[link.messages().size() - 2], "Communications failed");
    const int64_t took = port.nowMicros() - t0;
    EXPECT_GE(took, 2'000'000);
    EXPECT_LT(took, 2'300'000);
}

}  // namespace
}  // namespace mira::link::test
