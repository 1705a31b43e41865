// `--module reader`, `punch` and `magtape` in headless runs: the tape fed before the run,
// punched rows and recorded cells in the JSON, the example programs, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli_test.h"
#include "core/scrambled_file.h"
#include "devices/mag_tape.h"

namespace mira::cli {
namespace {

std::string example(const char* name) {
    return std::string(MIRA8_SOURCE_DIR) + "/examples/" + name;
}

class TapeCliTest : public CliTest {
  protected:
    std::string tape(const std::string& name, const std::vector<std::string>& lines) {
        const auto p = dir_ / name;
        EXPECT_TRUE(core::writeContainerFile(p, lines));
        return p.string();
    }
};

TEST_F(TapeCliTest, ReaderLoadsMemoryBeforeTheRunAndLeavesPcAfterTheBytes) {
    const auto prog = write("halt.words", "0xF1\n");
    const auto t = tape("t.ptp", {"1", "128", "16", "1", "2"});
    ASSERT_EQ(run({"--module", "reader:" + t, "--pc", "0", "--json", prog}), kExitOk) << err_.str();
    const std::string reader = moduleJson(0);
    EXPECT_EQ(rawValue(reader, "kind"), "\"reader\"");
    EXPECT_EQ(intValue(rawValue(reader, "rows")), 17);
    EXPECT_EQ(intValue(rawValue(reader, "deposited")), 2);
    EXPECT_EQ(intValue(rawValue(reader, "pc")), 18);
    EXPECT_EQ(rawValue(reader, "dev"), "") << "the reader has no device number";
    const std::string memory = jsonRaw("memory");
    EXPECT_EQ(memory.substr(0, 4), "[241");
    // Words 16 and 17 of the 256.
    std::vector<long> words;
    for (size_t i = 1; i < memory.size();) {
        const size_t end = valueEnd(memory, i);
        words.push_back(intValue(memory.substr(i, end - i)));
        i = end + 1;
    }
    ASSERT_EQ(words.size(), 256u);
    EXPECT_EQ(words[16], 1);
    EXPECT_EQ(words[17], 2);
    EXPECT_EQ(intValue(rawValue(jsonRaw("slots"), "type")), core::kModuleTapeReader);

    // Without --pc the run starts where the loader left PC (21, after the word at 20): it
    // runs the zero words (AND 0) to 255 and halts at 0.
    const auto withHalt = tape("h.ptp", {"128", "20", "241"});
    ASSERT_EQ(run({"--module", "reader:" + withHalt, "--json", prog}), kExitOk);
    EXPECT_EQ(jsonInt("instructions_executed"), 236);
}

TEST_F(TapeCliTest, ReaderRefusals) {
    const auto prog = write("halt.words", "0xF1\n");
    EXPECT_EQ(run({"--module", "reader:" + tape("bad.ptp", {"128", "0", "256"}), prog}),
              kExitBadInput);
    EXPECT_EQ(err_.str(), "ERROR: Invalid file data\n");
    EXPECT_EQ(run({"--module", "reader:" + (dir_ / "none.ptp").string(), prog}), kExitBadInput);
    EXPECT_EQ(err_.str(), "ERROR: Failed to open program file\n");
    EXPECT_EQ(run({"--module", "reader:" + tape("empty.ptp", {}), prog}), kExitBadInput);
    EXPECT_EQ(err_.str(), "No data found in file\n");
    EXPECT_EQ(run({"--module", "reader@0:x.ptp", prog}), kExitUsage);
    EXPECT_EQ(run({"--module", "reader", prog}), kExitUsage);
    const auto good = tape("g.ptp", {"128", "0", "1"});
    EXPECT_EQ(run({"--in", "0=1", "--module", "reader:" + good, prog}), kExitUsage);
    EXPECT_NE(err_.str().find("--module reader:"), std::string::npos) << err_.str();
    // The switch register question, answered by --answer.
    EXPECT_EQ(run({"--sr", "0", "--module", "reader:" + good, prog}), kExitUsage);
    // Going on with SR 0 loads what the switches let through: a 0 at address 0, over the HLT.
    EXPECT_EQ(run({"--sr", "0", "--answer", "yes", "--module", "reader:" + good, "--json",
                   "--max-instructions", "10", prog}),
              kExitNotHalted);
    EXPECT_EQ(jsonRaw("memory").substr(0, 3), "[0,");
}

// The manual's road, headless: the example punched and saved with the range 0 to 3, the
// file fed through the reader into a machine with nothing else in memory, and the program
// run where it landed.
TEST_F(TapeCliTest, PunchedExampleSavedAndFedBackRunsWhereTheRangeSays) {
    const std::string saved = (dir_ / "prog.ptp").string();
    ASSERT_EQ(run({"--module", "punch@0:" + saved + ":0-3", "--json", example("punch-program.asm")}),
              kExitOk)
        << err_.str();
    EXPECT_EQ(rawValue(moduleJson(0), "rows"), "[232,35,241,7]");
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "rows_total")), 4);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "dev")), 0);
    const core::ContainerRead file = core::readContainerFile(saved);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.lines, (std::vector<std::string>{"128", "0", "232", "35", "241", "7"}));

    const auto nothing = write("nothing.words", "# the tape brings the program\n");
    ASSERT_EQ(run({"--module", "reader:" + saved, "--pc", "0", "--json", nothing}), kExitOk)
        << err_.str();
    EXPECT_EQ(jsonRaw("memory").substr(0, 18), "[232,35,241,7,0,0,");
    EXPECT_EQ(jsonInt("ac"), 7);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "pc")), 4);

    // Without a range every row is saved; a range past the rows, or a tape with nothing
    // punched, writes nothing and says why.
    ASSERT_EQ(run({"--module", "punch@0:" + saved, example("punch-program.asm")}), kExitOk);
    EXPECT_EQ(core::readContainerFile(saved).lines.size(), 6u);
    EXPECT_EQ(run({"--module", "punch@0:" + saved + ":2-9", example("punch-program.asm")}),
              kExitBadInput);
    EXPECT_NE(err_.str().find("past the punched bytes (0-3)"), std::string::npos) << err_.str();
    const auto halt = write("halt.words", "0xF1\n");
    EXPECT_EQ(run({"--module", "punch@1:" + saved, halt}), kExitBadInput);
    EXPECT_EQ(err_.str(), "No program data to save\n");
    for (const char* bad : {"punch@0:", "punch@0:x:3-1", "punch@0:x:3", "punch@0:x:a-b"})
        EXPECT_EQ(run({"--module", bad, halt}), kExitUsage) << bad;
}

// A grading run that punches for ever keeps the last 65 536 rows and counts them all.
TEST_F(TapeCliTest, LongPunchingRunKeepsTheLastRowsAndTheirCount) {
    const auto loop = write("loop.asm",
                            "LOOP,   TAD N\n"
                            "        PUT 0\n"
                            "WAIT,   SKO 0\n"
                            "        JMP WAIT\n"
                            "        ISZ N\n"
                            "        NOP\n"
                            "        JMP LOOP\n"
                            "N,      #D0\n");
    ASSERT_EQ(run({"--module", "punch@0", "--max-instructions", "600000", "--json", loop}),
              kExitNotHalted)
        << err_.str();
    const std::string rows = rawValue(moduleJson(0), "rows");
    const long total = intValue(rawValue(moduleJson(0), "rows_total"));
    EXPECT_GT(total, 65536);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), ',') + 1, 65536);
    // The last row is the byte the count had reached, the first one 65 535 before it.
    const long last = (total - 1) % 256, first = (total - 65536) % 256;
    EXPECT_EQ(rows.substr(rows.rfind(',') + 1), std::to_string(last) + "]");
    EXPECT_EQ(rows.substr(1, rows.find(',') - 1), std::to_string(first));
}

TEST_F(TapeCliTest, RecordExampleFillsEveryOtherCell) {
    ASSERT_EQ(run({"--module", "magtape@0,0:record", "--json", example("tape-record.asm")}),
              kExitOk)
        << err_.str();
    const std::string mag = moduleJson(0);
    EXPECT_EQ(rawValue(mag, "cells"), "[[0,77],[2,73],[4,82],[6,65],[8,56]]");
    EXPECT_EQ(intValue(rawValue(mag, "mode")), devices::kMagRecord);
    EXPECT_EQ(intValue(rawValue(mag, "in")), 0);
    EXPECT_EQ(intValue(rawValue(mag, "out")), 0);
    EXPECT_EQ(intValue(rawValue(mag, "position")), 10);
    EXPECT_EQ(intValue(rawValue(mag, "counter")), 10);
}

TEST_F(TapeCliTest, PlaybackExampleReadsTheShippedTape) {
    ASSERT_EQ(run({"--module", "magtape@0,0:" + example("mira8.mtf") + ":play", "--json",
                   example("tape-playback.asm")}),
              kExitOk)
        << err_.str();
    EXPECT_EQ(jsonInt("ac"), 56);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "position")), 18);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "mode")), devices::kMagPlay);
}

TEST_F(TapeCliTest, RecorderWithoutItsKeyKeepsTheProgramWaiting) {
    ASSERT_EQ(run({"--module", "magtape@0,0", "--json", "--clock-states", "300000",
                   example("tape-record.asm")}),
              kExitNotHalted);
    const std::string mag = moduleJson(0);
    EXPECT_EQ(intValue(rawValue(mag, "mode")), devices::kMagStop);
    EXPECT_EQ(rawValue(mag, "cells"), "[]");
}

TEST_F(TapeCliTest, RecorderRefusals) {
    const auto prog = write("halt.words", "0xF1\n");
    devices::MagTapeImage image;
    auto lines = devices::magTapeLines(image);
    lines.back() = "257";
    const auto bad = tape("bad.mtf", lines);
    EXPECT_EQ(run({"--module", "magtape@0,1:" + bad, prog}), kExitBadInput);
    EXPECT_EQ(err_.str(), "ERROR: Tape file data has errors\n");
    EXPECT_EQ(run({"--module", "magtape@0,1:" + (dir_ / "none.mtf").string() + ":play", prog}),
              kExitBadInput);
    EXPECT_EQ(err_.str(), "ERROR: Failed to load tape file\n");
    const auto good = tape("good.mtf", devices::magTapeLines(image));
    EXPECT_EQ(run({"--module", "magtape@0,1:" + good + ":stop", prog}), kExitUsage);
    EXPECT_EQ(run({"--module", "magtape@0", prog}), kExitUsage);
    EXPECT_EQ(run({"--out", "1", "--module", "magtape@0,1", prog}), kExitUsage);
    EXPECT_NE(err_.str().find("output device 1 is already taken"), std::string::npos);
    EXPECT_EQ(run({"--module", "magtape@1,1:" + good + ":record", "--json", prog}), kExitOk);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "mode")), devices::kMagRecord);
}

}  // namespace
}  // namespace mira::cli
