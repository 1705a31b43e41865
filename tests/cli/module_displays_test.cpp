// `--module tendigit`, `alpha` and `switches`: their JSON fields and text, the example
// programs graded from a script, and the refusals that name the option.
#include <gtest/gtest.h>

#include "cli_test.h"

namespace mira::cli {
namespace {

const std::string kExamples = std::string(MIRA8_SOURCE_DIR) + "/examples/";

TEST_F(CliTest, TenDigitExampleShowsItsText) {
    ASSERT_EQ(run({"--module", "tendigit@0", "--json", kExamples + "hello-ten-digit.asm"}),
              kExitOk)
        << err_.str();
    const std::string d = moduleJson(0);
    EXPECT_EQ(rawValue(d, "kind"), "\"tendigit\"");
    EXPECT_EQ(rawValue(d, "dev"), "0");
    EXPECT_EQ(rawValue(d, "on"), "true");
    EXPECT_EQ(rawValue(d, "text"), "\"HELLo 8:30\"");
    EXPECT_EQ(rawValue(d, "cells"), "[22,19,27,27,29,13,8,11,3,0]");
    EXPECT_EQ(intValue(rawValue(d, "cursor")), 9);
}

TEST_F(CliTest, AlphaExampleShowsHelloOnLineTwo) {
    ASSERT_EQ(run({"--module", "alpha@0", "--json", kExamples + "hello-alpha.asm"}), kExitOk)
        << err_.str();
    const std::string d = moduleJson(0);
    EXPECT_EQ(rawValue(d, "on"), "true");
    EXPECT_EQ(intValue(rawValue(d, "line")), 2);
    EXPECT_EQ(intValue(rawValue(d, "cursor")), 5);
    EXPECT_EQ(intValue(rawValue(d, "colour")), 1);
    EXPECT_EQ(rawValue(d, "lines"), "[\"                \",\"HELLO           \"]");
    EXPECT_EQ(rawValue(d, "colours"),
              "[[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],[1,1,1,1,1,0,0,0,0,0,0,0,0,0,0,0]]");
    // The plain report names the option and quotes both lines.
    ASSERT_EQ(run({"--module", "alpha@0", kExamples + "hello-alpha.asm"}), kExitOk);
    EXPECT_NE(out_.str().find("alpha@0: \"                \" \"HELLO           \"\n"),
              std::string::npos)
        << out_.str();
}

TEST_F(CliTest, WifPrintLineExampleWritesItsTextOnTheAlphaDisplay) {
    ASSERT_EQ(run({"--mode", "wif", "--module", "alpha@0", "--json",
                   kExamples + "wif-print-line.asm"}),
              kExitOk)
        << err_.str();
    EXPECT_EQ(rawValue(moduleJson(0), "on"), "true");
    EXPECT_EQ(rawValue(moduleJson(0), "lines"), "[\"HELLO, MIRA-8   \",\"                \"]");
}

// Bytes to output device 1 while the display is still off; a raw pattern reads as "#".
// The program waits on the flag after each byte: a display that is always ready lets it
// halt.
TEST_F(CliTest, DisplaysShowTheirCellsWhileOffAndNeverHoldTheProgram) {
    const auto f = write("bytes.words",
                         "0x2C 0xDE 0xD9 0xA2 0x2D 0xDE 0xD9 0xA6 0xF1\n"
                         "@12 0x07 0xFF\n");
    ASSERT_EQ(run({"--module", "tendigit@1", "--json", f}), kExitOk) << err_.str();
    const std::string d = moduleJson(0);
    EXPECT_EQ(rawValue(d, "on"), "false");
    EXPECT_EQ(rawValue(d, "text"), "\"7#        \"");
    EXPECT_EQ(intValue(rawValue(d, "cursor")), 2);

    ASSERT_EQ(run({"--module", "alpha@1", "--json", f}), kExitOk) << err_.str();
    const std::string a = moduleJson(0);
    EXPECT_EQ(rawValue(a, "on"), "false");
    EXPECT_EQ(intValue(rawValue(a, "cursor")), 7);  // AL_IDX + 7; 255 is ignored
    EXPECT_EQ(rawValue(a, "lines"), "[\"                \",\"                \"]");
}

TEST_F(CliTest, SwitchesMaskSrForTheProgram) {
    const std::string example = kExamples + "wif-switch-mask.asm";
    ASSERT_EQ(run({"--mode", "wif", "--module", "switches:15", "--module", "decled@0", "--json",
                   "--max-instructions", "30", example}),
              kExitNotHalted);
    EXPECT_EQ(rawValue(moduleJson(0), "kind"), "\"switches\"");
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "mask")), 15);
    EXPECT_EQ(rawValue(moduleJson(0), "dev"), "") << "the switches hold no device";
    EXPECT_EQ(jsonInt("sr"), 15);
    EXPECT_EQ(rawValue(moduleJson(1), "text"), "\"  15\"");
    EXPECT_EQ(intValue(rawValue(jsonRaw("slots"), "type")), 0) << "input slot 0 stays free";
}

// The switch register question of the Modules menu, answered by --answer.
TEST_F(CliTest, SwitchesAskWhenThePanelSwitchesAreNotAllOnes) {
    const auto f = write("halt.words", "0xF1\n");
    EXPECT_EQ(run({"--sr", "0xF3", "--module", "switches:15", f}), kExitBadInput);
    EXPECT_NE(err_.str().find("The switch register must be all 1's to correctly operate this "
                              "module Continue? no"),
              std::string::npos)
        << err_.str();
    ASSERT_EQ(run({"--sr", "0xF3", "--answer", "yes", "--module", "switches:15", "--json", f}),
              kExitOk);
    EXPECT_EQ(jsonInt("sr"), 3);
}

TEST_F(CliTest, DisplayAndSwitchRefusalsNameTheOption) {
    const auto f = write("halt.words", "0xF1\n");
    struct Bad {
        std::vector<std::string> args;
        const char* text;
    };
    const Bad bad[] = {
        {{"--module", "switches:256"}, "--module switches:256"},
        {{"--module", "switches:-1"}, "--module switches:-1"},
        {{"--module", "switches:x"}, "--module switches:x"},
        {{"--module", "switches"}, "--module switches"},
        {{"--module", "switches@0:3"}, "--module switches@0:3"},
        {{"--module", "tendigit"}, "--module tendigit"},
        {{"--module", "tendigit@0:1"}, "--module tendigit@0:1"},
        {{"--module", "alpha@2"}, "--module alpha@2"},
        {{"--out", "1", "--module", "alpha@1"}, "--module alpha@1: output device 1"},
        {{"--module", "alpha@0", "--module", "tendigit@0"}, "--module tendigit@0: output device 0"},
        {{"--module", "switches:1", "--module", "switches:2"}, "--module switches:2"},
    };
    for (const Bad& b : bad) {
        Args args = b.args;
        args.push_back(f);
        EXPECT_EQ(run(args), kExitUsage) << b.text;
        EXPECT_NE(err_.str().find(b.text), std::string::npos) << err_.str();
    }
}

}  // namespace
}  // namespace mira::cli
