// Every display example starts from a clean display: the ten-digit and alpha displays keep
// their cells through Transfer (the device reset does not reach them), so a program that
// follows another on the same display must clear it itself.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/asm_commands.h"
#include "core/machine.h"
#include "core/run_control.h"
#include "core/timer.h"
#include "devices/alpha_display.h"
#include "devices/ten_digit_display.h"

namespace mira::cli {
namespace {

struct DisplayExample {
    const char* file;
    bool wif;
    bool alpha;        // else the ten-digit display
    const char* want;  // ten-digit: its text; alpha: both lines joined by '|'
    int cursor;
};

void PrintTo(const DisplayExample& e, std::ostream* os) { *os << e.file; }

// What the display shows after the example ran (or waited for keys), having first been
// left dirty: every cell written, the cursor on the last one, another colour.
std::string runOnDirtyDisplay(const DisplayExample& e, int& cursor) {
    core::Machine m;
    core::VirtualClock clock;
    m.attachTimers(clock);
    m.options.mode = e.wif ? core::OperatingMode::Wif : core::OperatingMode::Normal;
    m.updateMemorySize();
    devices::TenDigitDisplay ten(m.bus);
    devices::AlphaDisplay alpha(m.bus);
    if (e.alpha) {
        alpha.PutDevice(core::kFirstOutputSlot);
        alpha.doInit();
        for (int v : {135, 19, 132})
            alpha.command(v);
        for (int i = 0; i < 16; ++i) alpha.command('#');
        alpha.command(133);
        for (int i = 0; i < 16; ++i) alpha.command('%');
    } else {
        ten.PutDevice(core::kFirstOutputSlot);
        ten.doInit();
        ten.command(95);
        for (int i = 0; i < 10; ++i) ten.command(8);
    }
    std::ostringstream err;
    const std::string file = std::string(MIRA8_SOURCE_DIR) + "/examples/" + e.file;
    EXPECT_EQ(assembleAndTransfer(m, file, MIRA8_CMPLR_DAT, core::Answer::No, err), kExitOk)
        << err.str();
    m.pc = 0;
    core::RunControl rc(m);
    rc.startContinuousFastRun();
    rc.runHeadless(UINT64_MAX, 100000, &clock);
    if (e.alpha) {
        cursor = alpha.cursor();
        return alpha.lineText(1) + "|" + alpha.lineText(2);
    }
    cursor = ten.cursor();
    return ten.text();
}

class DisplayExampleState : public ::testing::TestWithParam<DisplayExample> {};

TEST_P(DisplayExampleState, StartsFromACleanDisplay) {
    int cursor = -1;
    EXPECT_EQ(runOnDirtyDisplay(GetParam(), cursor), GetParam().want);
    EXPECT_EQ(cursor, GetParam().cursor);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DisplayExampleState,
    ::testing::Values(
        // Waits for keys with nothing shown and the cursor on the left.
        DisplayExample{"echo-keypad.asm", false, false, "          ", 0},
        DisplayExample{"hello-ten-digit.asm", false, false, "HELLo 8:30", 9},
        DisplayExample{"hello-alpha.asm", false, true, "                |HELLO           ", 5},
        DisplayExample{"wif-print-line.asm", true, true, "HELLO, MIRA-8   |                ",
                       13}),
    [](const ::testing::TestParamInfo<DisplayExample>& p) {
        std::string n = p.param.file;
        n = n.substr(0, n.find('.'));
        for (char& ch : n)
            if (ch == '-') ch = '_';
        return n;
    });

}  // namespace
}  // namespace mira::cli
