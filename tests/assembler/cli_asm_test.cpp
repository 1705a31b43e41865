#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/asm_commands.h"
#include "cli/word_file.h"
#include "core/machine.h"
#include "test_support.h"

namespace mira::cli {
namespace {

class AsmCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("mira8-asmcli-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& text) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    int run(int (*command)(const Args&, std::ostream&, std::ostream&), Args args) {
        out_.str("");
        err_.str("");
        args.insert(args.begin(), {"--compiler-data", MIRA8_CMPLR_DAT});
        return command(args, out_, err_);
    }
    std::filesystem::path dir_;
    std::ostringstream out_, err_;
};

TEST_F(AsmCli, ListsEveryWrittenAddress) {
    const auto f = write("a.asm", "START, CLA\n_SETPC #D4\n  tad  START / c\n");
    ASSERT_EQ(run(asmCommand, {f}), kExitOk);
    EXPECT_EQ(out_.str(), "   0  E8  START, CLA\n   4  20  tad START\nWords: 2\n");
}

TEST_F(AsmCli, ErrorsNameFileLineAndColumn) {
    const auto f = write("b.asm", "CLA\nBOGUS\n");
    EXPECT_EQ(run(asmCommand, {f}), kExitBadInput);
    EXPECT_EQ(err_.str(), f + ":2:1: Expecting a value or an instruction: BOGUS\n");
    // A check with no line in the error box names the definition that clashes.
    const auto g = write("c.asm", "_RAM\nSAME\n_ENDRAM\n_EEP\nSAME\n_ENDEEP\n");
    EXPECT_EQ(run(asmCommand, {"--mode", "wif", g}), kExitBadInput);
    EXPECT_EQ(err_.str(), g + ":5:1: Duplicated RAM and EEPROM name: SAME (RAM at line 2)\n");
}

TEST_F(AsmCli, EveryErrorUpToMaxErrors) {
    const auto f = write("m.asm", "  JMP NOWHERE\nL, CLA\nL, FOO\n  TAD #D99\n");
    const std::vector<std::string> all{f + ":1:7: Missing memory target address: NOWHERE",
                                       f + ":3:1: Duplicated label: L (first at line 2)",
                                       f + ":3:4: Expecting a value or an instruction: FOO",
                                       f + ":4:7: Address is outside memory page: #D99"};
    auto joined = [&](size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += all[i] + "\n";
        return s;
    };
    EXPECT_EQ(run(asmCommand, {f}), kExitBadInput);
    EXPECT_EQ(err_.str(), joined(4));
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(run(asmCommand, {"--max-errors", "0", f}), kExitBadInput);
    EXPECT_EQ(err_.str(), joined(4));
    EXPECT_EQ(run(asmCommand, {"--max-errors", "2", f}), kExitBadInput);
    EXPECT_EQ(err_.str(), joined(2) + f + ": 2 more errors not shown (--max-errors 2)\n");
    for (const char* bad : {"-1", "x", ""})
        EXPECT_EQ(run(asmCommand, {"--max-errors", bad, f}), kExitUsage) << bad;
    // The run command keeps its one-line report of the first error.
    core::Machine m;
    std::ostringstream err;
    EXPECT_EQ(assembleAndTransfer(m, f, MIRA8_CMPLR_DAT, core::Answer::No, err), kExitBadInput);
    EXPECT_EQ(err.str(), f + ":3: Duplicated label\n");
}

TEST_F(AsmCli, ListingFileInTheChosenRadix) {
    const auto f = write("l.asm", "GO,  TAD N\n     JMP GO\nN,   #D7\n");
    const auto lst = (dir_ / "l.lst").string();
    ASSERT_EQ(run(asmCommand, {"--listing", lst, f}), kExitOk) << err_.str();
    // The standard output keeps its own listing.
    EXPECT_EQ(out_.str(), "   0  22  GO, TAD N\n   1  A0  JMP GO\n   2  07  N, #D7\nWords: 3\n");
    const std::string text = assembler::test::readFile(lst);
    EXPECT_EQ(text.substr(0, text.find("\nSymbols")),
              " Line  Addr  Word  Source\n"
              "    1  E000  E102  GO,  TAD N\n"
              "    2  E001  E500       JMP GO\n"
              "    3  E002  E007  N,   #D7\n");
    ASSERT_EQ(run(asmCommand, {"--listing", lst, "--radix", "dec", f}), kExitOk);
    EXPECT_NE(assembler::test::readFile(lst).find("    2  D1    D160       JMP GO\n"), std::string::npos);
    EXPECT_NE(assembler::test::readFile(lst).find("  N           label     D2         3  1\n"), std::string::npos);
    EXPECT_EQ(run(asmCommand, {"--listing", (dir_ / "no" / "x.lst").string(), f}), kExitBadInput);
    EXPECT_EQ(run(asmCommand, {"--listing"}), kExitUsage);
}

TEST_F(AsmCli, QueriesAreAnsweredAndEchoed) {
    const auto f = write("q.asm", "_ISZEROPAGEON\nNOP\n");
    ASSERT_EQ(run(asmCommand, {f}), kExitOk);
    EXPECT_EQ(err_.str(), "query: Page Zero operating mode is not active Do you want the correct mode set? -> no\n");
    EXPECT_EQ(run(asmCommand, {"--answer", "cancel", f}), kExitBadInput);
    EXPECT_NE(err_.str().find(f + ":1: "), std::string::npos);
    EXPECT_EQ(run(asmCommand, {"--zero-page", f}), kExitOk);
    EXPECT_EQ(err_.str(), "");
}

TEST_F(AsmCli, WordsOutputFeedsDisasm) {
    const auto f = write("w.asm", "MOVL #D5\n_SETPC #D10\nHALT\n");
    ASSERT_EQ(run(asmCommand, {"--mode", "wif", "--words", f}), kExitOk);
    const auto parsed = parseWordFile(out_.str(), 1024, 0xFFFF);
    ASSERT_TRUE(parsed.ok);
    ASSERT_EQ(parsed.words.size(), 2u);
    EXPECT_EQ(parsed.words[1].address, 10);
    EXPECT_EQ(parsed.words[1].word, 0x4800);
    const auto w = write("w.words", out_.str());
    ASSERT_EQ(run(disasmCommand, {"--mode", "wif", "--radix", "hex", w}), kExitOk);
    EXPECT_EQ(out_.str(), "   0  4005  MOVL $05\n  10  4800  HALT\n");
}

TEST_F(AsmCli, DisasmDefaultsToTheModesRadix) {
    const auto w = write("n.words", "0x25 0xE3\n");
    ASSERT_EQ(run(disasmCommand, {w}), kExitOk);
    EXPECT_EQ(out_.str(), "   0  25  TAD E005\n   1  E3  ???\n");
}

TEST_F(AsmCli, UsageAndDataErrors) {
    EXPECT_EQ(run(asmCommand, {}), kExitUsage);
    EXPECT_EQ(run(asmCommand, {"--mode", "x", "f"}), kExitUsage);
    EXPECT_EQ(run(disasmCommand, {"--radix", "7", "f"}), kExitUsage);
    // The octal forms would cut WIF's ten-bit addresses to eight.
    const auto w = write("w.words", "@1000 0x1234\n");
    for (const char* radix : {"737", "377"})
        EXPECT_EQ(run(disasmCommand, {"--mode", "wif", "--radix", radix, w}), kExitUsage) << radix;
    EXPECT_EQ(run(disasmCommand, {"--mode", "wif", "--radix", "hex", w}), kExitOk);
    EXPECT_EQ(run(asmCommand, {(dir_ / "none.asm").string()}), kExitBadInput);
    std::ostringstream out, err;
    const auto f = write("ok.asm", "NOP\n");
    EXPECT_EQ(asmCommand({"--compiler-data", (dir_ / "missing.dat").string(), f}, out, err), kExitBadInput);
    EXPECT_NE(err.str().find("ERROR: Failed to load [What If?] data file"), std::string::npos);
}

TEST_F(AsmCli, AssembleAndTransferLoadsTheMachine) {
    core::Machine m;
    m.memory[5] = 99;
    const auto f = write("t.asm", "CLA\nIAC\nHLT\n");
    std::ostringstream err;
    ASSERT_EQ(assembleAndTransfer(m, f, MIRA8_CMPLR_DAT, core::Answer::No, err), kExitOk) << err.str();
    EXPECT_EQ(m.memory[0], 0xE8);
    EXPECT_EQ(m.memory[2], 0xF1);
    EXPECT_EQ(m.memory[5], 99);
    const auto bad = write("bad.asm", "NOP\nJMP X\n");
    EXPECT_EQ(assembleAndTransfer(m, bad, MIRA8_CMPLR_DAT, core::Answer::No, err), kExitBadInput);
    EXPECT_NE(err.str().find(bad + ":2: Missing memory target address"), std::string::npos);
}

}  // namespace
}  // namespace mira::cli
