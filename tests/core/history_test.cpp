// History against a record of the run: random programs in both modes with outside inputs,
// the whole captured state kept at every clock state (or at every fast-loop yield), then
// earlier clock states rebuilt and compared byte for byte, backwards and forwards again.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <random>
#include <vector>

#include "core/history.h"
#include "core/machine.h"
#include "core/machine_snapshot.h"
#include "core/run_control.h"
#include "core/wif_cpu.h"

namespace mira::core {
namespace {

using Bytes = History::Bytes;

// Empty when equal; else where the two captures part.
std::string difference(const Bytes& a, const Bytes& b) {
    if (a == b) return {};
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return "sizes " + std::to_string(a.size()) + "/" + std::to_string(b.size()) +
           ", first difference at byte " + std::to_string(i);
}

struct World {
    Machine m;
    RunControl rc{m};
    // The whole emulator's snapshot, the code trace with it as the application keeps it.
    EmulatorParts parts{m, &rc, {{CodeTrace::kTag, &rc.trace}}, {}, {}};
    History h;
    std::mt19937 g;

    World(bool wif, uint32_t seed, uint64_t spacing = 64, size_t budget = History::kDefaultBudget,
          uint64_t span = History::kDefaultSpan)
        : h(rc.statesRun,
            {[this] { return captureEmulator(parts); },
             [this](const Bytes& b) { EXPECT_EQ(restoreEmulator(parts, b), ""); }, [this](uint64_t n, bool one) { rc.rerun(n, one); },
             {}},
            budget, span, spacing),
          g(seed) {
        m.options.mode = wif ? OperatingMode::Wif : OperatingMode::Normal;
        m.updateMemorySize();
        m.seedWifRandom(seed);
        for (int i = 0; i < m.memorySize; ++i) {
            int32_t w = static_cast<int32_t>(g() & (wif ? 0xFFFF : 0xFF));
            // Few halts, so that runs go on.
            if (!wif && (w & 0xF1) == 0xF1 && rnd(8)) w &= ~1;
            if (wif && wif::opcodeOf(w) == wif::kHalt && rnd(8)) w ^= 0x1000;
            m.memory[i] = w;
        }
        for (int i = 0; i < 3; ++i) m.breakpoints[rnd(m.memorySize)] = 1;
        m.pc = rnd(m.memorySize);
        rc.traceOn = true;
        rc.setHistory(&h);
    }
    int rnd(int n) { return static_cast<int>(g() % static_cast<uint32_t>(n)); }
    Bytes state() const { return captureEmulator(parts); }

    // What the panel and modules may do between two clock states.
    void outsideInput() {
        switch (rnd(4)) {
            case 0: m.setSwitch(rnd(8), rnd(2)); break;
            case 1: m.writeMemory(rnd(m.memorySize), rnd(256)); break;
            case 2: m.ac = rnd(256); break;
            default: m.setSwitch(kSwitchHalt, rnd(2)); break;
        }
    }
    // A stopped machine is started again, as a release of RUN does.
    void startIfStopped() {
        if (!m.run) {
            m.switches[kSwitchHalt] = 0;
            rc.startRun();
            rc.request = kRequestNone;
            if (m.fastClock()) rc.beginFastRun();
        }
    }
};

// Runs `states` clock states one at a time with inputs now and then; the record holds the
// state at each clock state before the inputs made there.
struct Record {
    std::map<uint64_t, Bytes> at;
    std::map<uint64_t, bool> boundary;
    Bytes present;
};

Record runStepped(World& w, int states) {
    Record r;
    w.h.setOn(true);
    for (int i = 0; i < states; ++i) {
        r.at[w.rc.statesRun] = w.state();
        r.boundary[w.rc.statesRun] = w.m.betweenInstructions();
        if (w.rnd(40) == 0) w.outsideInput();
        w.startIfStopped();
        w.rc.step();
    }
    r.at[w.rc.statesRun] = w.state();
    r.boundary[w.rc.statesRun] = w.m.betweenInstructions();
    w.h.seal();
    r.present = w.state();
    return r;
}

struct Mode {
    bool wif;
    bool single;
    bool slow;
};

TEST(History, RebuildsEveryRecordedClockStateBackAndForth) {
    const Mode modes[] = {{false, false, true}, {false, true, false}, {true, false, true},
                          {true, true, false}};
    for (const Mode& mode : modes) {
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(testing::Message() << "wif " << mode.wif << " single " << mode.single
                                            << " seed " << seed);
            World w(mode.wif, seed);
            w.m.switches[kSwitchSingleCont] = mode.single ? 0 : 1;
            w.m.switches[kSwitchSlowFast] = mode.slow ? 0 : 1;
            w.m.liveDisplay = mode.slow || mode.single;
            const Record r = runStepped(w, 3000);
            const uint64_t end = w.h.end();
            ASSERT_EQ(end, 3000u);
            ASSERT_GT(w.h.inputCount(), 10u);

            // Backwards to random points, then forwards again from each.
            for (int k = 0; k < 40; ++k) {
                const uint64_t back = static_cast<uint64_t>(w.rnd(static_cast<int>(end)));
                ASSERT_TRUE(w.h.goTo(back));
                ASSERT_EQ(w.rc.statesRun, back);
                ASSERT_EQ(difference(w.state(), r.at.at(back)), "") << "back to " << back;
                const uint64_t ahead = back + static_cast<uint64_t>(w.rnd(200));
                if (ahead >= end) continue;
                ASSERT_TRUE(w.h.goTo(ahead));
                ASSERT_EQ(difference(w.state(), r.at.at(ahead)), "") << "forward to " << ahead;
            }
            // One instruction back: the latest boundary before the clock state shown.
            for (int k = 0; k < 20; ++k) {
                const uint64_t from = 100 + static_cast<uint64_t>(w.rnd(static_cast<int>(end) - 100));
                ASSERT_TRUE(w.h.goTo(from));
                uint64_t expect = from;
                while (expect > 0 && !r.boundary.at(--expect)) {
                }
                ASSERT_TRUE(w.h.goBackTo([&] { return w.m.betweenInstructions(); }));
                EXPECT_EQ(w.rc.statesRun, expect) << "from " << from;
                EXPECT_EQ(difference(w.state(), r.at.at(expect)), "");
            }
            ASSERT_TRUE(w.h.goTo(end));
            EXPECT_EQ(difference(w.state(), r.present), "");
            EXPECT_FALSE(w.h.goTo(end + 1));
        }
    }
}

TEST(History, FastRunWithBreakpointsRebuildsEveryYield) {
    for (bool wif : {false, true}) {
        SCOPED_TRACE(wif ? "wif" : "normal");
        World w(wif, 7, History::kFirstSpacing);
        w.m.switches[kSwitchSingleCont] = 1;
        w.m.switches[kSwitchSlowFast] = 1;
        w.m.liveDisplay = false;
        w.m.fastRunSpeed = 100;
        w.h.setOn(true);
        std::map<uint64_t, Bytes> record;
        int yields = 0;
        const auto events = [&] {
            // As the application does when it services events at a yield.
            w.h.settle();
            record[w.rc.statesRun] = w.state();
            if (w.rnd(3) == 0) w.outsideInput();
            if (++yields % 50 == 0) w.rc.placeRequest(kRequestClose);
            return true;
        };
        while (yields < 400 || w.rc.statesRun < 100000) {
            w.startIfStopped();
            w.rc.fastLoop(events);
        }
        w.h.seal();
        const Bytes present = w.state();
        ASSERT_GT(w.h.end(), 100000u);
        // The end shows the present, after the inputs made there.
        for (const auto& [at, bytes] : record) {
            if (at < w.h.oldest() || at == w.h.end()) continue;
            ASSERT_TRUE(w.h.goTo(at));
            ASSERT_EQ(difference(w.state(), bytes), "") << "yield at " << at;
        }
        ASSERT_TRUE(w.h.goTo(w.h.end()));
        EXPECT_EQ(difference(w.state(), present), "");
    }
}

TEST(History, RunningOnFromAnEarlierStateStartsANewFuture) {
    World w(false, 11);
    w.m.switches[kSwitchSingleCont] = 1;
    w.m.switches[kSwitchSlowFast] = 0;
    const Record before = runStepped(w, 1000);
    ASSERT_TRUE(w.h.goTo(400));
    EXPECT_TRUE(w.h.inPast());
    // Nothing changed yet: stepping back and forth keeps the recorded future.
    ASSERT_TRUE(w.h.goTo(300));
    EXPECT_EQ(w.h.end(), 1000u);

    w.m.writeMemory(w.m.pc, 0x0F);  // a change, then the machine runs on
    std::map<uint64_t, Bytes> again;
    for (int i = 0; i < 200; ++i) {
        again[w.rc.statesRun] = w.state();
        w.startIfStopped();
        w.rc.step();
    }
    EXPECT_FALSE(w.h.inPast());
    w.h.seal();
    EXPECT_EQ(w.h.end(), 500u);
    EXPECT_FALSE(w.h.goTo(600));
    // The change counts from the clock state after it; the one it was made at is as before.
    ASSERT_TRUE(w.h.goTo(300));
    EXPECT_EQ(difference(w.state(), before.at.at(300)), "");
    for (uint64_t at : {301u, 350u, 499u}) {
        ASSERT_TRUE(w.h.goTo(at));
        EXPECT_EQ(difference(w.state(), again.at(at)), "") << at;
    }
    // Stepped back again: a change made while looking at the past also cuts at seal.
    ASSERT_TRUE(w.h.goTo(320));
    w.m.ac ^= 1;
    const Bytes changed = w.state();
    w.h.seal();
    EXPECT_EQ(w.h.end(), 320u);
    ASSERT_TRUE(w.h.goTo(310));
    ASSERT_TRUE(w.h.goTo(320));
    EXPECT_EQ(difference(w.state(), changed), "");
}

TEST(History, StaysInItsBudgetAndKeepsTheSpan) {
    constexpr size_t kBudget = 24 * 1024;
    constexpr uint64_t kSpan = 3000000;
    World w(false, 5, 128, kBudget, kSpan);
    w.m.switches[kSwitchSingleCont] = 1;
    w.m.switches[kSwitchSlowFast] = 1;
    w.m.liveDisplay = false;
    w.m.fastRunSpeed = 100;
    w.rc.forceClockEngine = true;
    w.h.setOn(true);
    std::map<uint64_t, Bytes> samples;
    int yields = 0;
    const auto events = [&] {
        if (++yields % 97 == 0) samples[w.rc.statesRun] = w.state();
        if (yields % 1000 == 0) w.rc.placeRequest(kRequestClose);
        return false;
    };
    while (w.rc.statesRun < 4'000'000) {
        w.startIfStopped();
        w.rc.fastLoop(events);
    }
    EXPECT_LE(w.h.bytesUsed(), kBudget);
    EXPECT_GE(w.h.end() - w.h.oldest(), kSpan);
    EXPECT_GT(w.h.spacing(), 128u) << w.h.bytesUsed() << " bytes, " << w.h.entryCount() << " snapshots";
    int checked = 0;
    for (const auto& [at, bytes] : samples) {
        if (at < w.h.oldest()) continue;
        ASSERT_TRUE(w.h.goTo(at));
        ASSERT_EQ(difference(w.state(), bytes), "") << at;
        ++checked;
    }
    EXPECT_GT(checked, 10);
    EXPECT_FALSE(w.h.goTo(w.h.oldest() - 1));
}

}  // namespace
}  // namespace mira::core
