// `--module printer@D`: the roll, the line buffer and the print state in the JSON, the
// print cycle in virtual time, and the option's refusals.
#include <gtest/gtest.h>

#include "cli/cli_modules.h"
#include "cli_test.h"

namespace mira::cli {
namespace {

TEST_F(CliTest, PrinterExampleHaltsWithItsLineOnTheRoll) {
    const std::string example = std::string(MIRA8_SOURCE_DIR) + "/examples/print-line.asm";
    ASSERT_EQ(run({"--module", "printer@0", "--json", example}), kExitOk) << err_.str();
    const std::string p = moduleJson(0);
    EXPECT_EQ(rawValue(p, "kind"), "\"printer\"");
    EXPECT_EQ(rawValue(p, "dev"), "0");
    EXPECT_EQ(rawValue(p, "roll"), "[\"HELLO MIRA-8        \"]");
    EXPECT_EQ(rawValue(p, "buffer"), "\"\"");
    EXPECT_EQ(rawValue(p, "state"), "0");
    // Head start 100 ms, one 20 ms tick for each of the 13 characters, 500 ms to print.
    EXPECT_GE(jsonInt("clock_states"), 860000);
    EXPECT_LT(jsonInt("clock_states"), 870000);
}

TEST_F(CliTest, PrinterStateInVirtualTime) {
    // Sends A on output device 1, then loops for ever: the short line goes to print
    // 500 ms after the pulse and is on the roll 250 ms later.
    const auto f = write("a.words", "0x24 0xDE 0xA2 0 1\n");
    ASSERT_EQ(run({"--module", "printer@1", "--json", "--clock-states", "300000", f}), kExitNotHalted);
    std::string p = moduleJson(0);
    EXPECT_EQ(rawValue(p, "dev"), "1");
    EXPECT_EQ(rawValue(p, "roll"), "[]");
    EXPECT_EQ(rawValue(p, "buffer"), "\"A\"");
    EXPECT_EQ(rawValue(p, "state"), "2");

    ASSERT_EQ(run({"--module", "printer@1", "--json", "--clock-states", "800000", f}), kExitNotHalted);
    p = moduleJson(0);
    EXPECT_EQ(rawValue(p, "roll"), "[\"A                   \"]");
    EXPECT_EQ(rawValue(p, "state"), "4");

    ASSERT_EQ(run({"--module", "printer@1", "--clock-states", "1100000", f}), kExitNotHalted);
    EXPECT_NE(out_.str().find("printer@1: 1 lines, state 0"), std::string::npos) << out_.str();
}

TEST_F(CliTest, PrinterOptionRefusals) {
    const auto f = write("halt.words", "0xF1\n");
    for (const char* bad : {"printer", "printer@2", "printer@0:x", "printer@0,1"}) {
        EXPECT_EQ(run({"--module", bad, f}), kExitUsage) << bad;
        EXPECT_NE(err_.str().find(std::string("--module ") + bad), std::string::npos) << err_.str();
    }
    EXPECT_EQ(run({"--module", "led@0", "--module", "printer@0", f}), kExitUsage);
    EXPECT_NE(err_.str().find("--module printer@0: output device 0 is already taken"), std::string::npos)
        << err_.str();
}

}  // namespace
}  // namespace mira::cli
