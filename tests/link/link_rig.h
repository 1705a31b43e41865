// A board link wired to an in-memory board in virtual time, with a host and prompter that
// record what the window would show; and the command line's loop on a fake polled port.
#pragma once

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "assembler/formatters.h"
#include "board_model.h"
#include "core/timer.h"
#include "link/board_link.h"
#include "link/link_loop.h"

namespace mira::link::test {

class FakePort final : public BytePort {
public:
    bool open = true;
    bool gone = false;  // the device vanished while open
    std::string portName = "/dev/ttyFAKE";
    std::vector<std::string> writes;        // every write, in order
    std::vector<std::pair<int64_t, bool>> dtr;  // (time ms, state)
    std::deque<std::string> incoming;       // chunks the board sent, delivered one per event
    std::string pending;
    boardsim::BoardModel* board = nullptr;
    core::VirtualClock* clock = nullptr;

    bool isOpen() const override { return open; }
    bool lost() const override { return gone; }
    std::string name() const override { return portName; }
    void write(const std::string& bytes) override {
        if (!open) return;
        writes.push_back(bytes);
        if (board)
            for (auto& r : board->feed(bytes)) incoming.push_back(r);
    }
    std::string readAvailable() override {
        std::string s;
        s.swap(pending);
        return s;
    }
    void setDtr(bool on) override { dtr.emplace_back(clock ? clock->nowMs() : 0, on); }

    // All bytes written, concatenated.
    std::string sent() const {
        std::string s;
        for (const auto& w : writes) s += w;
        return s;
    }
};

class FakePrompter final : public core::Prompter {
public:
    std::vector<std::string> infos, errors, questions;
    std::map<std::string, bool> answers;  // by question text; default yes
    void info(const std::string& t) override { infos.push_back(t); }
    void error(const std::string& t) override { errors.push_back(t); }
    bool askYesNo(const std::string& t) override {
        questions.push_back(t);
        const auto it = answers.find(t);
        return it == answers.end() || it->second;
    }
    core::Answer askYesNoCancel(const std::string& t) override {
        return askYesNo(t) ? core::Answer::Yes : core::Answer::No;
    }
};

class FakeHost final : public LinkHost {
public:
    core::OperatingMode mode = core::OperatingMode::Normal;
    bool refuseSwitch = false;
    EmulatorOptions options;
    std::vector<int32_t> memory = std::vector<int32_t>(256, 0);
    std::optional<int> assembled;
    std::vector<int32_t> copied;
    std::optional<std::string> name = std::string("PROG");
    std::optional<int> hardwareAnswer;
    int selection = 1;
    std::vector<std::string> selectionTexts;
    std::optional<std::filesystem::path> textFile;
    std::filesystem::path dataDir;
    int radixNormal = assembler::kRadixSplitOctal;
    int radixWif = assembler::kRadixDec;
    int changes = 0;

    void messagesChanged() override { ++changes; }
    core::OperatingMode emulatorMode() override { return mode; }
    bool switchMode(core::OperatingMode m) override {
        if (refuseSwitch) return false;
        mode = m;
        memory.assign(m == core::OperatingMode::Normal ? 256 : 1024, 0);
        return true;
    }
    EmulatorOptions emulatorOptions() override {
        options.normalMode = mode == core::OperatingMode::Normal;
        return options;
    }
    std::vector<int32_t> memoryWords() override { return memory; }
    std::optional<int> assembledLength() override { return assembled; }
    void copyToMemory(const std::vector<int32_t>& w) override { copied = w; }
    std::optional<std::string> askProgramName(int, const std::string&) override { return name; }
    std::optional<int> askHardwareOptions(int) override { return hardwareAnswer; }
    int askSelection(const std::string& text, int) override {
        selectionTexts.push_back(text);
        return selection;
    }
    std::optional<std::filesystem::path> askTextFile() override { return textFile; }
    int displayRadix(bool normal) override { return normal ? radixNormal : radixWif; }
    std::string formatRadix(int64_t v, int radix) override { return assembler::FormatRadix(v, radix, true); }
    std::string disassemble(int32_t w, bool) override { return "W" + std::to_string(w); }
    std::filesystem::path dataFile(const std::string& n) override { return dataDir / n; }
};

struct Rig {
    core::VirtualClock clock;
    FakePort port;
    FakeHost host;
    FakePrompter prompter;
    boardsim::BoardState state;
    boardsim::Faults faults;
    std::unique_ptr<boardsim::BoardModel> board;
    BoardLink link{port, clock, host, prompter};

    explicit Rig(const std::filesystem::path& dir, bool withBoard = true, boardsim::Faults f = {}) : faults(f) {
        host.dataDir = dir;
        port.clock = &clock;
        if (withBoard) attachBoard();
    }
    void attachBoard() {
        board = std::make_unique<boardsim::BoardModel>(state, faults);
        port.board = board.get();
    }
    // Hands every chunk the board sent to the link, one receive event each.
    void deliver() {
        while (!port.incoming.empty()) {
            port.pending += port.incoming.front();
            port.incoming.pop_front();
            link.Serial1RxData();
        }
    }
    void deliverOne() {
        if (port.incoming.empty()) return;
        port.pending += port.incoming.front();
        port.incoming.pop_front();
        link.Serial1RxData();
    }
    // Runs until the link is idle (or `limitMs` passed); returns the virtual time taken.
    int64_t run(int64_t limitMs = 60000) {
        const int64_t start = clock.nowMs();
        deliver();
        while (link.busy() && clock.nowMs() - start < limitMs) {
            clock.advance(10);
            deliver();
        }
        return clock.nowMs() - start;
    }
    void connect() {
        link.start();
        run();
    }
    // Bytes written since write number `from`.
    std::string sentSince(size_t from) const {
        std::string s;
        for (size_t i = from; i < port.writes.size(); ++i) s += port.writes[i];
        return s;
    }
    const std::vector<std::string>& lines() const { return link.messages(); }
};

constexpr int64_t kLatencyMicros = 2000;

// A board model behind a polled port whose replies arrive a little after each write, on a
// wall clock that the host's waits move; a stall jumps it right after a chosen write.
// `mutate` may change the board's replies before they travel (the fuzzer's hook).
class StallPort final : public PolledPort, public WallClock {
public:
    explicit StallPort(boardsim::BoardModel& b) : board_(b) {}
    size_t writes = 0;
    size_t stallAfterWrite = 0;  // 0: never
    int64_t stallMicros = 0;
    std::function<void(std::vector<std::string>& replies, StallPort& port)> mutate;
    void stallNow(int64_t micros) { now_ += micros; }

    bool isOpen() const override { return true; }
    void write(const std::string& bytes) override {
        ++writes;
        auto replies = board_.feed(bytes);
        if (mutate) mutate(replies, *this);
        for (auto& r : replies) inFlight_.emplace_back(now_ + kLatencyMicros, r);
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

// A link run by the command line's loop over a StallPort on a board model, with two valid
// program slots (MR8 1, WIF 1) and the host's answers set so that every command can run.
struct LoopRig {
    boardsim::BoardState state;
    boardsim::BoardModel board;
    StallPort port{board};
    core::VirtualClock clock;
    FakeHost host;
    FakePrompter prompter;
    BoardLink link{port, clock, host, prompter};
    LinkLoop loop{link, port, clock, port};

    explicit LoopRig(const std::filesystem::path& dir, boardsim::Faults f = {}) : board(state, f) {
        state.records[0] = makeRecord(0, "N1");
        state.records[8] = makeRecord(0, "W1");
        host.dataDir = dir;
        host.hardwareAnswer = 0x6D;
    }
    // Connects, then runs `command` (none: the connection alone) to its end.
    void run(const std::function<void(BoardLink&)>& command, const std::function<void()>& afterStep = {}) {
        link.start();
        loop.runUntilIdle(afterStep);
        if (!command || link.outcome() != Outcome::Ok) return;
        link.clearOutcome();
        command(link);
        loop.runUntilIdle(afterStep);
    }
};

// One Intel HEX record with its checksum.
inline std::string hexRecord(int address, int type, const std::vector<int>& data) {
    char buf[32];
    int sum = static_cast<int>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(data.size()), static_cast<unsigned>(address),
                  static_cast<unsigned>(type));
    std::string s = buf;
    for (int d : data) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(d));
        s += buf;
        sum += d;
    }
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>((-sum) & 0xFF));
    return s + buf + "\r\n";
}

// A driver of `words` words (word k holds k), from word 384 on.
inline std::string driverHex(int words) {
    std::string text;
    for (int w = 0; w < words; w += 8) {
        std::vector<int> data;
        for (int k = 0; k < 8 && w + k < words; ++k) {
            const int v = (w + k) & 0x3FFF;
            data.push_back(v & 0xFF);
            data.push_back(v >> 8);
        }
        text += hexRecord((384 + w) * 2, 0, data);
    }
    return text + ":00000001FF\r\n";
}

inline std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int x : b) s += static_cast<char>(x);
    return s;
}

}  // namespace mira::link::test
