#include <gtest/gtest.h>

#include <string>

#include "core/code_trace.h"
#include "param_name.h"
#include "test_support.h"

namespace mira::assembler {
namespace {

using core::Answer;
using test::Bench;

std::string nops(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "NOP\n";
    return s;
}

TEST(Assembly, CapacityIs256NormalStatements) {
    Bench b;
    auto r = b.assemble(nops(256));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(b.asmb.wordCount(), 256);
    r = b.assemble(nops(257));
    EXPECT_EQ(r.message, "Too much code found in file");
    EXPECT_EQ(r.line, 256);  // the 257th statement's line
}

TEST(Assembly, CapacityIs1024WifStatements) {
    Bench b(true);
    EXPECT_TRUE(b.assemble(nops(1024)).ok);
    EXPECT_EQ(b.asmb.uploadLength(), 1024);
    const auto r = b.assemble(nops(1025));
    EXPECT_EQ(r.message, "Too much code found in file");
    EXPECT_EQ(r.line, 1024);
}

TEST(Assembly, PageBreak) {
    Bench b;
    ASSERT_TRUE(b.assemble("_PAGEBREAK\nA, NOP\n").ok);
    EXPECT_EQ(b.asmb.lineMap()[16], 1);  // at 0 it skips a whole page
    ASSERT_TRUE(b.assemble(nops(17) + "_PAGEBREAK\nNOP\n").ok);
    EXPECT_EQ(b.asmb.writtenAddresses().back(), 32);
    ASSERT_TRUE(b.assemble("_SETPC #D241\n_PAGEBREAK\n").ok);
    EXPECT_EQ(b.m.pc, 0) << "one past the last address wraps as the 8-bit register does";
}

TEST(Assembly, PcStaysInsideMemoryAfterAFullProgram) {
    Bench n;
    ASSERT_TRUE(n.assemble(nops(256)).ok);
    EXPECT_EQ(n.m.pc, 0);
    EXPECT_EQ(n.m.invariantViolation(), "");
    Bench w(true);
    ASSERT_TRUE(w.assemble(nops(1024)).ok);
    EXPECT_EQ(w.m.pc, 0);
    EXPECT_EQ(w.m.invariantViolation(), "");
    ASSERT_TRUE(w.assemble("_SETPC #D1024\n").ok);
    EXPECT_EQ(w.m.pc, 0);
    EXPECT_EQ(w.m.invariantViolation(), "");
}

TEST(Assembly, SetPc) {
    Bench b;
    EXPECT_TRUE(b.assemble(nops(10) + "_SETPC #D10\nNOP\n").ok);
    EXPECT_EQ(b.asmb.writtenAddresses().back(), 10);
    EXPECT_TRUE(b.assemble(nops(11) + "_SETPC #D10\nNOP\n").ok);  // one below: nothing
    EXPECT_EQ(b.asmb.writtenAddresses().back(), 11);
    const auto r = b.assemble(nops(12) + "_SETPC #D10\n");
    EXPECT_EQ(r.message, "Cannot change PC to less than current PC");
    // Normal takes any literal kind; WIF only #D and #$.
    EXPECT_TRUE(b.assemble("_SETPC #E020\nNOP\n").ok);
    EXPECT_EQ(b.asmb.writtenAddresses().back(), 16);
    Bench w(true);
    EXPECT_TRUE(w.assemble("_SETPC #$100\nNOP\n").ok);
    EXPECT_EQ(w.asmb.writtenAddresses().back(), 256);
}

TEST(Assembly, UnwrittenWordsKeepMemoryUnlessCleared) {
    Bench b;
    b.m.memory.fill(0x5A);
    ASSERT_TRUE(b.assemble("_SETPC #D20\nHLT\n").ok);
    EXPECT_EQ(b.asmb.writtenAddresses(), std::vector<int>{20});
    EXPECT_EQ(b.word(19), 0x5A);
    EXPECT_EQ(b.word(20), 0xF1);
    EXPECT_EQ(b.m.pc, 21);
    EXPECT_EQ(b.m.ma, 255);
    EXPECT_EQ(b.m.mb, 48);
    EXPECT_EQ(b.m.ac, 50);
    b.m.options.clearMemoryBeforeAssemble = true;
    b.m.ac = 7;
    ASSERT_TRUE(b.assemble("_SETPC #D20\nHLT\n").ok);
    EXPECT_EQ(b.word(19), 0);
    EXPECT_EQ(b.m.ac, 7);
}

TEST(Assembly, ReservedWordsCountAsAssembledButNotAsWords) {
    Bench b;
    b.m.memory[0] = 0x42;
    ASSERT_TRUE(b.assemble("_PCADD\n").ok);
    EXPECT_TRUE(b.asmb.assembled());
    EXPECT_EQ(b.asmb.wordCount(), 0);
    EXPECT_EQ(b.word(0), 0x42);
}

TEST(Assembly, EmptySourceIsNotAssembled) {
    Bench b;
    const auto r = b.assemble("/ nothing\n\n");
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(b.asmb.assembled());
    EXPECT_FALSE(b.asmb.TransferToMemory(b.m, b.prompter, nullptr));
    ASSERT_EQ(b.prompter.infos.size(), 1u);
    EXPECT_EQ(b.prompter.infos[0], "There is no assembled data to transfer");
}

TEST(Assembly, EndStopsTheFirstPass) {
    Bench b;
    ASSERT_TRUE(b.assemble("NOP\n_END\nGARBAGE HERE\n").ok);
    EXPECT_EQ(b.asmb.wordCount(), 1);
}

TEST(Assembly, NoteDelay) {
    Bench b;
    b.m.melodyNoteDelay = 300;
    ASSERT_TRUE(b.assemble("NOP\n").ok);
    EXPECT_EQ(b.m.melodyNoteDelay, 100);
    ASSERT_TRUE(b.assemble("_NOTEDELAY 500\nNOP\n").ok);
    EXPECT_EQ(b.m.melodyNoteDelay, 500);
}

TEST(Assembly, LineMapCodeListAndSourceList) {
    Bench b;
    ASSERT_TRUE(b.assemble("/ head\nLoop, tad i Ptr\n\nPtr, #\"a\"\n").ok);
    EXPECT_EQ(b.asmb.lineMap()[0], 1);
    EXPECT_EQ(b.asmb.lineMap()[1], 3);
    EXPECT_EQ(b.asmb.lineMap()[2], -1);
    EXPECT_EQ(b.asmb.codeListText(0), "LOOP,`TAD`I`PTR`");
    EXPECT_EQ(b.asmb.sourceListText(0), "Loop,`tad`i`Ptr`");
    EXPECT_EQ(b.asmb.codeListText(1), "PTR,`#\"a\"`");
    EXPECT_EQ(b.asmb.sourceText(0), "Loop, tad i Ptr");
    EXPECT_EQ(b.asmb.uploadLength(), 256);
}

TEST(Assembly, BreakpointsSurviveOnlyTheSameWordCount) {
    Bench b;
    ASSERT_TRUE(b.assemble("NOP\nNOP\n").ok);
    b.m.breakpoints[1] = 1;
    ASSERT_TRUE(b.assemble("CLA\nNOP\n").ok);
    EXPECT_EQ(b.m.breakpoints[1], 1);
    ASSERT_TRUE(b.assemble("CLA\nNOP\nNOP\n").ok);
    EXPECT_EQ(b.m.breakpoints[1], 0);
}

struct QueryCase {
    bool wif;
    const char* directive;
    bool zeroPage;
    int resetMode;
    const char* question;  // empty: no question
};

class Query : public ::testing::TestWithParam<QueryCase> {};

TEST_P(Query, AsksOnlyWhenTheOptionDiffersAndAppliesTheAnswer) {
    const auto& c = GetParam();
    for (Answer a : {Answer::Yes, Answer::No, Answer::Cancel}) {
        Bench b(c.wif);
        b.m.options.zeroPageMode = c.zeroPage;
        b.m.options.outputResetMode = c.resetMode;
        b.prompter.answer = a;
        const auto r = b.assemble(std::string("NOP\n") + c.directive + "\nNOP\n");
        if (!*c.question) {
            EXPECT_TRUE(r.ok);
            EXPECT_TRUE(b.prompter.questions.empty());
            continue;
        }
        ASSERT_EQ(b.prompter.questions.size(), 1u);
        EXPECT_EQ(b.prompter.questions[0], std::string(c.question) + "\r\rDo you want the correct mode set?");
        EXPECT_TRUE(b.prompter.errors.empty());
        if (a == Answer::Cancel) {
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(r.stoppedByQuery);
            EXPECT_EQ(r.line, 1);
            EXPECT_FALSE(b.asmb.assembled());
            EXPECT_FALSE(b.asmb.TransferToMemory(b.m, b.prompter, nullptr));
            EXPECT_EQ(b.prompter.infos.back(), "There is no assembled data to transfer");
            continue;
        }
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(b.asmb.wordCount(), 2);
        if (a == Answer::Yes) {
            EXPECT_TRUE(b.m.options.zeroPageMode != c.zeroPage || b.m.options.outputResetMode != c.resetMode);
        } else {
            EXPECT_EQ(b.m.options.zeroPageMode, c.zeroPage);
            EXPECT_EQ(b.m.options.outputResetMode, c.resetMode);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, Query,
    ::testing::Values(
        QueryCase{false, "_ISZEROPAGEOFF", true, 1, "Page Zero operating mode is active"},
        QueryCase{false, "_ISZEROPAGEOFF", false, 1, ""},
        QueryCase{false, "_ISZEROPAGEON", false, 1, "Page Zero operating mode is not active"},
        QueryCase{false, "_ISZEROPAGEON", true, 1, ""},
        QueryCase{false, "_ISRESETT1", false, 1, "The reset mode is set to T13 cycle instead of T1"},
        QueryCase{false, "_ISRESETT1", false, 0, ""},
        QueryCase{false, "_ISRESETT13", false, 0, "The reset mode is set to T1 cycle instead of T13"},
        QueryCase{false, "_ISRESETT13", false, 1, ""},
        QueryCase{true, "_ISRESETBO", false, 1, "The reset mode is set to AO cycle instead of BO"},
        QueryCase{true, "_ISRESETBO", false, 0, ""},
        QueryCase{true, "_ISRESETAO", false, 0, "The reset mode is set to BO cycle instead of AO"},
        QueryCase{true, "_ISRESETAO", false, 1, ""},
        QueryCase{false, "_ISWIMODEOFF", false, 1, ""},
        QueryCase{true, "_ISWIMODEON", false, 1, ""}),
    mira::test::caseNames([](const QueryCase& c) {
        return std::string(c.directive) + (*c.question ? " asks" : " agrees");
    }));

TEST(Query, ModeQueryYesSwitchesModeAndStops) {
    Bench b;
    b.prompter.answer = Answer::Yes;
    const auto r = b.assemble("NOP\n_ISWIMODEON\nNOP\n");
    ASSERT_EQ(b.prompter.questions.size(), 1u);
    EXPECT_EQ(b.prompter.questions[0],
              "The operating mode is set to Normal instead of WIF\r\rDo you want the correct mode set?");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.modeChanged);
    EXPECT_EQ(r.line, 1);
    EXPECT_TRUE(r.message.empty());
    EXPECT_TRUE(b.m.isWif());
    EXPECT_EQ(b.m.memorySize, 1024);
    EXPECT_FALSE(b.asmb.assembled());

    Bench w(true);
    w.prompter.answer = Answer::No;
    EXPECT_TRUE(w.assemble("_ISWIMODEOFF\nNOP\n").ok);
    EXPECT_EQ(w.prompter.questions.at(0),
              "The operating mode is set to WIF instead of Normal\r\rDo you want the correct mode set?");
    EXPECT_TRUE(w.m.isWif());
}

TEST(Query, QueriesOfTheOtherDialectAreStatements) {
    Bench w(true);
    const auto r = w.assemble("_ISZEROPAGEON\n");
    EXPECT_EQ(r.message, "Expecting a value or an instruction");
}

class CountingDevice final : public core::Device {
public:
    int moduleType() const override { return core::kModuleOctalLed; }
    void doReset(int) override { ++resets; }
    int resets = 0;
};

TEST(Transfer, CopiesTheImageAndClearsTheRunState) {
    Bench b(true);
    CountingDevice led;
    b.m.bus.registerModule(led);
    ASSERT_TRUE(b.assemble("_RAM\nCOUNT\n_ENDRAM\n_EEP\nKEEP #D3\n_ENDEEP\nINC COUNT\nHALT\n").ok);
    b.m.pc = 7;
    b.m.romPointer = 300;
    b.m.bankFlag = true;
    b.m.z = b.m.c = 1;
    b.m.serialAccess = true;
    b.m.stack = {1, 2, 3};
    b.m.stackDepth = 3;
    b.m.stackOverflow = true;
    core::CodeTrace trace;
    trace.add(5);
    ASSERT_TRUE(b.asmb.TransferToMemory(b.m, b.prompter, &trace));
    EXPECT_EQ(b.m.memory[0], 0x5400 | 256 | 64);
    EXPECT_EQ(b.m.memory[1], 0x4800);
    EXPECT_EQ(b.m.pc, 7);
    EXPECT_EQ(b.m.romPointer, 0);
    EXPECT_FALSE(b.m.bankFlag);
    EXPECT_EQ(b.m.z, 0);
    EXPECT_EQ(b.m.c, 0);
    EXPECT_FALSE(b.m.serialAccess);
    EXPECT_EQ(b.m.stack, (std::array<int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(b.m.stackDepth, 0);
    EXPECT_FALSE(b.m.stackOverflow);
    EXPECT_EQ(trace.size(), 0);
    EXPECT_EQ(led.resets, 1);
    EXPECT_EQ(b.asmb.ramNames()[0], "COUNT");
    EXPECT_EQ(b.asmb.eepromNames()[3], "KEEP");
    EXPECT_TRUE(b.asmb.animate());
    // The next assembly changes the definitions but not the transferred names.
    ASSERT_TRUE(b.assemble("NOP\n").ok);
    EXPECT_EQ(b.asmb.ramDefinitions()[0], "");
    EXPECT_EQ(b.asmb.ramNames()[0], "COUNT");
    EXPECT_FALSE(b.asmb.animate());
    b.m.bus.unregisterModule(led);
}

TEST(Transfer, RefusedWhileRunning) {
    Bench b;
    ASSERT_TRUE(b.assemble("HLT\n").ok);
    b.m.run = true;
    b.m.memory[0] = 0;
    EXPECT_FALSE(b.asmb.TransferToMemory(b.m, b.prompter, nullptr));
    EXPECT_EQ(b.prompter.infos.at(0), "Cannot transfer memory while running");
    EXPECT_EQ(b.m.memory[0], 0);
}

TEST(Assembly, WifClearOptionsActOnTheMachineAtOnce) {
    Bench b(true);
    b.m.ram.fill(9);
    b.m.eeprom.fill(9);
    b.m.options.clearRamBeforeAssemble = true;
    b.m.options.clearEepromBeforeAssemble = true;
    ASSERT_TRUE(b.assemble("NOP\n").ok);
    EXPECT_EQ(b.m.ram[10], 0);
    EXPECT_EQ(b.m.eeprom[10], 255);
}

TEST(Assembly, DiscardForgetsTheResult) {
    Bench b;
    ASSERT_TRUE(b.assemble("NOP\n").ok);
    b.asmb.discard();
    EXPECT_FALSE(b.asmb.assembled());
    EXPECT_EQ(b.asmb.wordCount(), 0);
    EXPECT_EQ(b.asmb.lineMap()[0], -1);
    EXPECT_EQ(b.asmb.codeListText(0), "");
}

TEST(Assembly, NoTableMeansNoInstruction) {
    core::Machine m;
    test::FakePrompter p;
    Assembler a;
    const auto r = a.Assemble({"NOP"}, m, p);
    EXPECT_EQ(r.message, "Expecting a value or an instruction");
    EXPECT_TRUE(a.Assemble({"#D1"}, m, p).ok);
}

TEST(Assembly, InvalidCodeForRecordsBeyondTheLayout) {
    InstructionTable t = test::normalTable();
    t.records.push_back({"EXTRA", "beyond the layout", 0xE0, 2});
    InstructionTable w = test::wifTable();
    w.records[12] = {"ODD", "a form without instruction", 0xC000, 1};
    Bench b;
    b.asmb.setInstructionTable(&t);
    core::Machine& m = b.m;
    auto r = b.asmb.Assemble({"EXTRA"}, m, b.prompter);
    EXPECT_EQ(r.message, "Invalid code");
    Bench c(true);
    c.asmb.setInstructionTable(&w);
    r = c.asmb.Assemble({"NOP", "ODD"}, c.m, c.prompter);
    EXPECT_EQ(r.message, "Invalid code");
    EXPECT_EQ(r.line, 1);
}

}  // namespace
}  // namespace mira::assembler
