// History with a module: a keypad's keys pressed during random programs that read it are
// outside inputs; every recorded clock state is rebuilt with the keypad as it was.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "core/history.h"
#include "core/machine_snapshot.h"
#include "core/run_control.h"
#include "devices/keypad.h"

namespace mira::devices {
namespace {

using core::History;

TEST(HistoryWithModules, KeypadKeysAreRebuiltWithTheMachine) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        core::Machine m;
        core::RunControl rc{m};
        Keypad keypad(m.bus);
        keypad.PutDevice(0);
        keypad.doInit();
        core::EmulatorParts parts{m, &rc, {}, {}, {}};
        History h(rc.statesRun,
                  {[&] { return core::captureEmulator(parts); },
                   [&](const History::Bytes& b) { EXPECT_EQ(core::restoreEmulator(parts, b), ""); },
                   [&](uint64_t n, bool one) { rc.rerun(n, one); }, {}},
                  History::kDefaultBudget, History::kDefaultSpan, 64);
        rc.setHistory(&h);
        std::mt19937 g(seed);
        // Input instructions for slot 0 among random words: the program reads the keys.
        for (int i = 0; i < m.memorySize; ++i) {
            int32_t w = static_cast<int32_t>(g() & 0xFF);
            if (g() % 4 == 0) w = 0xC0 | static_cast<int32_t>(g() % 16);  // IOT
            if ((w & 0xF1) == 0xF1) w &= ~1;  // few halts
            m.memory[i] = w;
        }
        m.switches[core::kSwitchSingleCont] = 1;
        m.switches[core::kSwitchSlowFast] = 0;
        m.liveDisplay = true;
        h.setOn(true);
        std::map<uint64_t, History::Bytes> record;
        for (int i = 0; i < 3000; ++i) {
            record[rc.statesRun] = core::captureEmulator(parts);
            if (g() % 30 == 0) keypad.pressKey(static_cast<int>(g() % 15));
            if (g() % 90 == 0) keypad.setCtrl(g() % 2);
            if (!m.run) rc.startRun();
            rc.step();
        }
        h.seal();
        const History::Bytes present = core::captureEmulator(parts);
        for (int k = 0; k < 60; ++k) {
            const uint64_t at = g() % h.end();
            ASSERT_TRUE(h.goTo(at));
            ASSERT_TRUE(core::captureEmulator(parts) == record.at(at)) << "at " << at;
        }
        ASSERT_TRUE(h.goTo(h.end()));
        EXPECT_TRUE(core::captureEmulator(parts) == present);
    }
}

}  // namespace
}  // namespace mira::devices
