// A machine with run control for tests: load words, start runs as the panel does, and
// step clock state by clock state.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "core/machine.h"
#include "core/normal_cpu.h"
#include "core/run_control.h"

namespace mira::core::test {

struct Rig {
    Machine m;
    RunControl rc{m};

    Rig() {
        m.switches[kSwitchSingleCont] = 1;
        m.switches[kSwitchSlowFast] = 1;
        m.liveDisplay = false;
    }

    void load(std::initializer_list<int> words, int at = 0) {
        for (int w : words) m.memory[at++] = w;
    }

    // As a release of RUN with FAST: the request is taken and the first cycle entered.
    void start(int pc = 0) {
        m.pc = pc;
        rc.startRun();
        rc.request = kRequestNone;
        rc.beginFastRun();
    }

    RunControl::HeadlessResult run(uint64_t maxInstructions = 100000) {
        return rc.runHeadless(UINT64_MAX, maxInstructions);
    }

    // Steps until the next step would execute clock state `t` of `cycle`.
    void stepTo(int cycle, int t, int limit = 2000) {
        for (int i = 0; i < limit; ++i) {
            if (m.cycleState == cycle && m.t == t) return;
            rc.step();
        }
        FAIL() << "never reached cycle " << cycle << " T" << t;
    }

    // Executes clock state `t` of `cycle` (stepping there first).
    void runThrough(int cycle, int t) {
        stepTo(cycle, t);
        rc.step();
    }

    // Steps to the end of the current instruction; returns how many clock states it took.
    int stepInstruction(int limit = 200) {
        for (int i = 1; i <= limit; ++i) {
            const bool atEnd = m.cycleState == kCycleExecute && m.t == normal::kLastClockState;
            rc.step();
            if (atEnd) return i;
        }
        ADD_FAILURE() << "instruction did not end";
        return -1;
    }
};

// Normal-mode instruction words.
namespace op {
constexpr int AND(int a) { return 0x00 | (a & 15); }
constexpr int TAD(int a) { return 0x20 | (a & 15); }
constexpr int ISZ(int a) { return 0x40 | (a & 15); }
constexpr int DCA(int a) { return 0x60 | (a & 15); }
constexpr int JMB(int a) { return 0x80 | (a & 15); }
constexpr int JMP(int a) { return 0xA0 | (a & 15); }
constexpr int I = 0x10;  // indirect
constexpr int IN(int dev, int bits) { return 0xC0 | (dev << 3) | bits; }
constexpr int OUT(int dev, int bits) { return 0xD0 | (dev << 3) | bits; }
constexpr int kSkip = 1, kTransfer = 2, kPulse = 4;
constexpr int CLA = 0xE8, CMA = 0xE4, RAL = 0xE2, IAC = 0xE1, NOP = 0xE0;
constexpr int SZA = 0xF8, SMA = 0xF4, RAR = 0xF2, HLT = 0xF1;
}  // namespace op

}  // namespace mira::core::test
