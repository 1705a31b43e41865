// mira8-cli run and container: options, exit statuses and the JSON report.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/asm_commands.h"
#include "cli/commands.h"
#include "cli_test.h"
#include "core/scrambled_file.h"

namespace mira::cli {
namespace {

TEST_F(CliTest, HaltingProgramExitsZeroWithJson) {
    const auto f = write("p.words", "0xE1 0xE1 0xF1  # IAC IAC HLT\n");
    EXPECT_EQ(run({"--json", f}), kExitOk);
    EXPECT_EQ(jsonRaw("mode"), "\"normal\"");
    EXPECT_EQ(jsonRaw("stop"), "\"halt\"");
    EXPECT_EQ(jsonInt("ac"), 2);
    EXPECT_EQ(jsonInt("pc"), 3);
    EXPECT_EQ(jsonRaw("run"), "false");
    EXPECT_EQ(jsonInt("instructions_executed"), 3);
    EXPECT_EQ(jsonInt("instruction_count"), 3);
    EXPECT_EQ(jsonInt("clock_states"), 3 * 48);
    EXPECT_EQ(jsonInt("sr"), 255);
    const std::string memory = jsonRaw("memory");
    EXPECT_EQ(std::count(memory.begin(), memory.end(), ','), 255) << "256 words";
}

TEST_F(CliTest, LimitsAndBreakpointsExitThree) {
    const auto loop = write("loop.words", "0xE1 0xA0  # IAC JMP 0\n");
    EXPECT_EQ(run({"--json", "--max-instructions", "7", loop}), kExitNotHalted);
    EXPECT_EQ(jsonRaw("stop"), "\"limit\"");
    EXPECT_EQ(jsonInt("instructions_executed"), 7);
    EXPECT_EQ(jsonInt("ac"), 4);

    EXPECT_EQ(run({"--json", "--clock-states", "30", loop}), kExitNotHalted);
    EXPECT_EQ(jsonRaw("stop"), "\"clock-states\"");
    EXPECT_EQ(jsonInt("clock_states"), 30);
    EXPECT_EQ(jsonInt("t"), 6) << "6 clock states into the execute cycle";
    EXPECT_EQ(jsonRaw("run"), "true");

    EXPECT_EQ(run({"--json", "--break", "1", loop}), kExitNotHalted);
    EXPECT_EQ(jsonRaw("stop"), "\"breakpoint\"");
    EXPECT_EQ(jsonInt("pc"), 1);
}

TEST_F(CliTest, ScriptedInputAndRecordedOutput) {
    // Echo input device 0 to output device 1 until the input runs dry.
    const auto f = write("echo.words",
                         "0xC1 0xA5  # 0: skip when input 0 ready; 1: JMP 5 (done)\n"
                         "0xC6       # 2: read byte, pulse\n"
                         "0xDE       # 3: output to device 1 with pulse\n"
                         "0xA0       # 4: JMP 0\n"
                         "0xF1       # 5: HLT\n");
    EXPECT_EQ(run({"--json", "--in", "0=7,0x41,255", "--out", "1", f}), kExitOk);
    EXPECT_EQ(jsonRaw("1"), "[7,65,255]");
    EXPECT_NE(out_.str().find("\"outputs\":{\"1\":[7,65,255]}"), std::string::npos);
    EXPECT_NE(out_.str().find("{\"type\":10,\"flag\":1,"), std::string::npos)
        << "input slot 0 holds the scripted device, flag 1 when dry";
}

TEST_F(CliTest, SwitchRegisterPcAndModes) {
    const auto f = write("sr.words", "@20 0xF1\n");
    EXPECT_EQ(run({"--json", "--sr", "0x5A", "--pc", "20", "--zero-page", "--reset-t1", f}),
              kExitOk);
    EXPECT_EQ(jsonInt("sr"), 0x5A);
    EXPECT_EQ(jsonInt("pc"), 21);
}

TEST_F(CliTest, TraceWritesOneLinePerInstruction) {
    const auto f = write("t.words", "0xE1 0xF1\n");
    EXPECT_EQ(run({"--trace", f}), kExitOk);
    // C of an increment is cleared again at clock state 12, before the instruction ends.
    EXPECT_EQ(err_.str(), "0 225 ac=1 c=0\n1 241 ac=1 c=0\n");
    EXPECT_NE(out_.str().find("stop: halt"), std::string::npos);
}

TEST_F(CliTest, BadInputNamesFileAndLine) {
    const auto f = write("bad.words", "1\n2\n300\n");
    EXPECT_EQ(run({f}), kExitBadInput);
    EXPECT_EQ(err_.str(), f + ":3: word 300 does not fit in 8 bits\n");
    EXPECT_EQ(run({(dir_ / "missing.words").string()}), kExitBadInput);
}

TEST_F(CliTest, BadUsageExitsTwo) {
    const auto f = write("p.words", "0xF1");
    EXPECT_EQ(run({}), kExitUsage);
    EXPECT_EQ(run({"--mode", "fast", f}), kExitUsage);
    EXPECT_EQ(run({"--in", "2=1", f}), kExitUsage);
    EXPECT_EQ(run({"--in", "0=1,256", f}), kExitUsage);
    EXPECT_EQ(run({"--out", "3", f}), kExitUsage);
    EXPECT_EQ(run({"--pc", f}), kExitUsage);
    EXPECT_EQ(run({"--frobnicate", f}), kExitUsage);
    EXPECT_EQ(run({"--pc", "300", f}), kExitUsage) << "past the Normal memory";
}

TEST_F(CliTest, ContainerEncodeDecode) {
    const auto in = write("plain.txt", "001-1~0~\r\nline two\n");
    const auto stored = (dir_ / "x.dat").string();
    std::ostringstream out, err;
    EXPECT_EQ(containerCommand({"encode", in, stored}, out, err), kExitOk);
    EXPECT_EQ(core::readContainerFile(stored).lines,
              (std::vector<std::string>{"001-1~0~", "line two"}));
    EXPECT_EQ(containerCommand({"decode", stored}, out, err), kExitOk);
    EXPECT_EQ(out.str(), "001-1~0~\nline two\n");
    const auto junk = write("junk.dat", "not scrambled");
    EXPECT_EQ(containerCommand({"decode", junk}, out, err), kExitBadInput);
    EXPECT_EQ(containerCommand({"decode"}, out, err), kExitUsage);
}

TEST_F(CliTest, AssemblySourceIsAssembledTransferredAndRun) {
    const std::string example = std::string(MIRA8_SOURCE_DIR) + "/examples/print-line.asm";
    EXPECT_EQ(run({"--json", "--out", "0", example}), kExitOk) << err_.str();
    EXPECT_EQ(jsonRaw("stop"), "\"halt\"");
    EXPECT_EQ(jsonRaw("0"), "[8,5,12,12,15,32,13,9,18,1,45,56,160]")
        << "HELLO MIRA-8 in printer codes, then spaces to the end of the line";
}

TEST_F(CliTest, AssemblyErrorsNameFileAndLine) {
    const auto f = write("bad.asm", "        CLA\n        NOSUCHOP 3\n");
    EXPECT_EQ(run({f}), kExitBadInput);
    EXPECT_EQ(err_.str().rfind(f + ":2: ", 0), 0u) << err_.str();
    EXPECT_EQ(run({"--answer", "maybe", f}), kExitUsage);
    EXPECT_EQ(run({"--compiler-data", (dir_ / "none.dat").string(), f}), kExitBadInput);
}

TEST_F(CliTest, FoldersAreRefusedAsEveryKindOfInput) {
    const std::string folder = (dir_ / "sub").string();
    std::filesystem::create_directories(folder);
    const std::string halt = write("halt.words", "0xF1\n");
    const std::vector<Args> commands = {
        {"run", folder},
        {"run", folder + ".asm"},
        {"run", "--compiler-data", folder, write("p.asm", "HLT\n")},
        {"container", "decode", folder},
        {"container", "encode", folder, (dir_ / "out.dat").string()},
        {"disasm", folder},
        {"asm", folder},
    };
    std::filesystem::create_directories(folder + ".asm");
    for (const Args& c : commands) {
        out_.str("");
        err_.str("");
        const Args rest(c.begin() + 1, c.end());
        const int status = c[0] == "run"         ? runCommand(rest, out_, err_)
                           : c[0] == "container" ? containerCommand(rest, out_, err_)
                           : c[0] == "disasm"    ? disasmCommand(rest, out_, err_)
                                                 : asmCommand(rest, out_, err_);
        EXPECT_EQ(status, kExitBadInput) << c[0] << " " << c[1] << ": " << err_.str();
        // A folder as compiler data gets the table loader's own message.
        const bool table = c[1] == "--compiler-data";
        EXPECT_NE(err_.str().find(table ? "Failed to load" : "folder"), std::string::npos)
            << c[0] << ": " << err_.str();
    }
    EXPECT_EQ(run({halt}), kExitOk);
}

TEST_F(CliTest, CrOnlyLineEndsSeparateLinesInSourcesAndWordFiles) {
    // "#D1" CR "2" is two words, never "#D12".
    const auto src = write("cr.asm", "_ISZEROPAGEOFF\rCLA\rTAD A\rHLT\rA, #D1\r#D2\r");
    EXPECT_EQ(run({"--json", src}), kExitOk) << err_.str();
    EXPECT_EQ(jsonInt("ac"), 1) << "A holds 1, not 12";
    const auto words = write("cr.words", "0xE1 # one\r0xF1\r");
    EXPECT_EQ(run({"--json", words}), kExitOk) << err_.str();
    EXPECT_EQ(jsonInt("ac"), 1);
}

TEST(CliBench, OptionsRefuseJunkAndMissingValues) {
    std::ostringstream out, err;
    EXPECT_EQ(benchCommand({"--seconds", "1abc"}, out, err), kExitUsage);
    EXPECT_NE(err.str().find("--seconds needs a duration above 0 and up to 3600"), std::string::npos);
    err.str("");
    EXPECT_EQ(benchCommand({"--seconds"}, out, err), kExitUsage);
    EXPECT_NE(err.str().find("--seconds needs a value"), std::string::npos) << err.str();
    err.str("");
    EXPECT_EQ(benchCommand({"--mode"}, out, err), kExitUsage);
    EXPECT_EQ(benchCommand({"--engine"}, out, err), kExitUsage);
    EXPECT_EQ(benchCommand({"--engine", "fast"}, out, err), kExitUsage);
    EXPECT_NE(err.str().find("--mode needs"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "") << "nothing ran";
}

TEST_F(CliTest, LongOutputKeepsTheLastBytesAndCountsAll) {
    // Output device 0 is always ready (no reset pulse): 70 000 bytes in a tight loop.
    const auto f = write("spin.words", "0xD2 0xA0  # output AC to device 0, no pulse; JMP 0\n");
    EXPECT_EQ(run({"--out", "0", "--json", "--max-instructions", "140000", f}), kExitNotHalted);
    EXPECT_EQ(intValue(rawValue(jsonRaw("outputs_total"), "0")), 70000);
    const std::string kept = rawValue(jsonRaw("outputs"), "0");
    EXPECT_EQ(std::count(kept.begin(), kept.end(), ','), 65535) << "65 536 bytes kept";
}

// What the real mira8-cli prints to stdout for a shell command, and its exit status.
std::string binaryOutput(const std::string& cmd, int& status) {
    std::string text;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return text;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) text += buf;
    status = pclose(p);
    return text;
}

// The instruction engine steps no clock states: its states are labelled virtual, never
// passed off as clock states stepped.
TEST(CliBinary, BenchPrintsParsableRatesSayingWhatTheyCount) {
    for (const auto& [engine, statesLabel] :
         {std::pair{"instruction", "virtual-clock-states/s:"}, std::pair{"clock", "clock-states/s:"}}) {
        const std::string cmd = std::string(MIRA8_CLI_PATH) +
                                " bench --mode normal --seconds 0.2 --engine " + engine;
        int status = -1;
        const std::string text = binaryOutput(cmd, status);
        EXPECT_EQ(status, 0);
        // Two lines, each a label and a plain positive integer.
        std::istringstream lines(text);
        std::string label1, label2;
        uint64_t instructions = 0, states = 0;
        lines >> label1 >> states >> label2 >> instructions;
        EXPECT_EQ(label1, statesLabel) << text;
        EXPECT_EQ(label2, "instructions/s:") << text;
        EXPECT_GT(states, instructions) << text;
        EXPECT_GT(instructions, 0u);
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    }
}

// The time stamps of a VCD file, in order.
std::vector<uint64_t> vcdTimes(const std::string& path) {
    std::ifstream in(path);
    std::vector<uint64_t> times;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] == '#') times.push_back(std::stoull(line.substr(1)));
    return times;
}

TEST_F(CliTest, VcdStreamsEveryClockStateOfALongRunAndLeavesTheRunAlone) {
    const auto loop = write("loop.words", "0xE1 0xA0  # IAC JMP 0\n");
    const auto vcd = (dir_ / "run.vcd").string();
    ASSERT_EQ(run({"--json", "--clock-states", "250000", loop}), kExitNotHalted);
    const std::string plain = out_.str();
    // T moves every clock state: one time stamp each, across more than two rings' worth.
    ASSERT_EQ(run({"--json", "--clock-states", "250000", "--vcd", vcd, "--vcd-signals", "T", loop}),
              kExitNotHalted);
    EXPECT_EQ(out_.str(), plain);
    const auto times = vcdTimes(vcd);
    ASSERT_EQ(times.size(), 250001u) << "each state and the closing time";
    for (uint64_t n = 0; n < times.size(); ++n) ASSERT_EQ(times[n], n);

    ASSERT_EQ(run({"--clock-states", "1000", "--vcd", vcd, "--vcd-from", "100", "--vcd-states",
                   "48", "--vcd-signals", "cpu.T", loop}),
              kExitNotHalted);
    const auto window = vcdTimes(vcd);
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(window.front(), 100u);
    EXPECT_EQ(window.back(), 148u);
}

TEST_F(CliTest, VcdOptionsAreChecked) {
    const auto loop = write("loop.words", "0xE1 0xA0\n");
    const auto vcd = (dir_ / "x.vcd").string();
    const struct {
        Args args;
        const char* message;
    } cases[] = {
        {{"--vcd-from", "5", loop}, "need --vcd"},
        {{"--vcd", vcd, "--vcd-signals", "AC,nothing", loop}, "no signal nothing"},
        {{"--vcd", vcd, "--vcd-states", "0", loop}, "--vcd-states needs a positive count"},
        {{"--vcd", (dir_ / "no" / "such" / "x.vcd").string(), loop}, "cannot write the file"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(run(c.args), kExitOk) << c.message;
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
    }
}

}  // namespace
TEST(CliBinary, BenchWithoutModeRatesBothModesOnEitherEngine) {
    for (const char* engine : {"instruction", "clock"}) {
        const std::string cmd =
            std::string(MIRA8_CLI_PATH) + " bench --seconds 0.1 --engine " + engine;
        int status = -1;
        const std::string text = binaryOutput(cmd, status);
        EXPECT_EQ(status, 0);
        std::istringstream lines(text);
        const char* states = std::string(engine) == "clock" ? "clock-states/s:" : "virtual-clock-states/s:";
        for (const char* mode : {"normal", "wif"}) {
            for (const char* label : {states, "instructions/s:"}) {
                std::string m, l;
                uint64_t v = 0;
                lines >> m >> l >> v;
                EXPECT_EQ(m, mode) << text;
                EXPECT_EQ(l, label) << text;
                EXPECT_GT(v, 0u) << text;
            }
        }
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;
    }
}

}  // namespace mira::cli
