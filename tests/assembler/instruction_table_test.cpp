#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "assembler/instruction_table.h"
#include "core/scrambled_file.h"
#include "test_support.h"

namespace mira::assembler {
namespace {

using core::OperatingMode;
using V = std::vector<std::string>;

TEST(CompilerData, GeneratedFileHoldsBothTables) {
    const auto normal = LoadCompilerData(MIRA8_CMPLR_DAT, OperatingMode::Normal);
    ASSERT_EQ(normal.state, 1) << normal.message;
    EXPECT_EQ(normal.table.size(), 28);
    const auto wif = LoadCompilerData(MIRA8_CMPLR_DAT, OperatingMode::Wif);
    ASSERT_EQ(wif.state, 2) << wif.message;
    EXPECT_EQ(wif.table.size(), 64);
    EXPECT_EQ(wif.table.name(35), "RETVAL");
}

TEST(CompilerData, NormalTableHasTheFixedCodesByIndex) {
    const auto& t = test::normalTable();
    const int codes[] = {0x00, 0x20, 0x40, -1,   0x60, 0x80, 0xA0, 0xE8, 0xE4, 0xE2,
                         0xE1, 0xE9, 0xEC, 0xE5, 0xF8, 0xF4, 0xFC, 0xF2, 0xF1, 0xE0,
                         0xC1, 0xC2, 0xC4, 0xC6, 0xD1, 0xD2, 0xD4, 0xD6};
    ASSERT_EQ(t.size(), 28);
    for (int k = 0; k < 28; ++k) {
        const auto& r = t.records[static_cast<size_t>(k)];
        EXPECT_FALSE(r.mnemonic.empty()) << k;
        EXPECT_FALSE(r.description.empty()) << k;
        if (codes[k] >= 0) {
            EXPECT_EQ(r.code, codes[k]) << k;
        }
        EXPECT_EQ(r.group, k <= 6 ? 0 : k <= 19 ? 2 : 3) << k;
    }
}

TEST(CompilerData, WifRecordKIsFormK) {
    const auto& t = test::wifTable();
    ASSERT_EQ(t.size(), 64);
    for (int k = 0; k < 64; ++k) {
        const auto& r = t.records[static_cast<size_t>(k)];
        const bool defined = (k <= 11) || (k >= 16 && k <= 30) || (k >= 32 && k <= 44) ||
                             (k >= 48 && k <= 62);
        EXPECT_EQ(!r.mnemonic.empty(), defined) << k;
        if (!defined) continue;
        EXPECT_EQ(16 * ((r.code >> 10) & 3) + (r.code >> 12), k);
        EXPECT_EQ(r.group, k < 16 ? 1 : k < 32 ? 0 : k < 48 ? 2 : 3) << k;
    }
}

TEST(CompilerData, MnemonicsAreUniqueAndNotOperandWords) {
    for (const auto* t : {&test::normalTable(), &test::wifTable()}) {
        for (int k = 0; k < t->size(); ++k) {
            const auto& m = t->records[static_cast<size_t>(k)].mnemonic;
            if (m.empty()) continue;
            EXPECT_EQ(t->indexOf(m), k) << m;
        }
    }
}

TEST(CompilerData, GroupNamesMapToNumbers) {
    EXPECT_EQ(groupNumber("MREF"), 0);
    EXPECT_EQ(groupNumber("OPR"), 2);
    EXPECT_EQ(groupNumber("REG"), 0);
    EXPECT_EQ(groupNumber("VAL"), 1);
    EXPECT_EQ(groupNumber("GEN"), 2);
    EXPECT_EQ(groupNumber("IOT"), 3);
    EXPECT_EQ(groupNumber("XYZ"), 0);
}

// The lines of one mode from the generated file.
V modeLines(const char* prefix) {
    const auto read = core::readContainerFile(MIRA8_CMPLR_DAT);
    V out;
    for (const auto& line : read.lines)
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

TEST(CompilerData, RecordsComeFromTheFirstRunOfTheMode) {
    const V normal = modeLines("000");
    ASSERT_EQ(normal.size(), 28u);
    V lines = {"001W0~1000~w~VAL~", ""};
    lines.insert(lines.end(), normal.begin(), normal.end());
    lines.push_back("001W1~2000~w~VAL~");
    const auto r = buildInstructionTable(lines, OperatingMode::Normal);
    ASSERT_EQ(r.state, 1) << r.message;
    ASSERT_EQ(r.table.size(), 28);
    // Blanks inside a code are removed.
    lines[2] = "000" + std::string(r.table.name(0)) + "~0 0~d~MREF~";
    EXPECT_EQ(buildInstructionTable(lines, OperatingMode::Normal).state, 1);
    // A second run of Normal lines makes the table the wrong size.
    lines.push_back("000CCC~60~late~IOT~");
    EXPECT_EQ(buildInstructionTable(lines, OperatingMode::Normal).state, 0);
}

TEST(CompilerData, ShuffledShortOrDuplicatedTablesDoNotLoad) {
    const std::string error = "ERROR: Failed to load [What If?] data file";
    const V normal = modeLines("000");
    const V wif = modeLines("001");
    ASSERT_EQ(wif.size(), 64u);
    ASSERT_EQ(buildInstructionTable(wif, OperatingMode::Wif).state, 2);

    V shuffled = wif;
    std::swap(shuffled[0], shuffled[1]);  // HALT would read as the next form
    V shortTable(wif.begin(), wif.end() - 1);
    V longTable = wif;
    longTable.push_back(wif[5]);
    V duplicated = wif;
    duplicated[12] = wif[11];  // an empty form given a defined record
    for (const V* t : {&shuffled, &shortTable, &longTable, &duplicated}) {
        const auto r = buildInstructionTable(*t, OperatingMode::Wif);
        EXPECT_EQ(r.state, 0);
        EXPECT_EQ(r.message, error);
    }
    V normalSwapped = normal;
    std::swap(normalSwapped[7], normalSwapped[8]);
    EXPECT_EQ(buildInstructionTable(normalSwapped, OperatingMode::Normal).state, 0);
    EXPECT_EQ(buildInstructionTable(V(normal.begin(), normal.end() - 1), OperatingMode::Normal).state,
              0);
}

TEST(CompilerData, FailureCases) {
    EXPECT_EQ(buildInstructionTable({"001X~10~~~"}, OperatingMode::Normal).state, 0);
    EXPECT_EQ(buildInstructionTable({}, OperatingMode::Wif).state, 0);
    EXPECT_EQ(buildInstructionTable({"000X~1G~~~"}, OperatingMode::Normal).state, 0);
    EXPECT_EQ(buildInstructionTable({"000X~10000~~~"}, OperatingMode::Normal).state, 0);
    EXPECT_EQ(buildInstructionTable({"000X~~~~"}, OperatingMode::Normal).state, 0);
    EXPECT_EQ(buildInstructionTable({"000X~1G~~~"}, OperatingMode::Normal).message,
              "ERROR: Failed to load [What If?] data file");
}

class CompilerDataFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("mira8-cmplr-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(CompilerDataFile, MissingFileFailsAndFallsBackToNormal) {
    core::Machine m;
    m.options.mode = OperatingMode::Wif;
    m.updateMemorySize();
    m.instructionTableState = 2;
    const auto r = LoadCompilerData(dir_ / "cmplr.dat", m);
    EXPECT_EQ(r.state, 0);
    EXPECT_EQ(r.message, "ERROR: Failed to load [What If?] data file");
    EXPECT_EQ(m.instructionTableState, 0);
    EXPECT_EQ(m.options.mode, OperatingMode::Normal);
    EXPECT_EQ(m.memorySize, 256);
}

TEST_F(CompilerDataFile, NoLineOfTheModeFails) {
    ASSERT_TRUE(core::writeContainerFile(dir_ / "cmplr.dat", modeLines("000")));
    core::Machine m;
    m.options.mode = OperatingMode::Wif;
    EXPECT_EQ(LoadCompilerData(dir_ / "cmplr.dat", m).state, 0);
    EXPECT_EQ(m.options.mode, OperatingMode::Normal);
    // The same file serves Normal mode.
    EXPECT_EQ(LoadCompilerData(dir_ / "cmplr.dat", m).state, 1);
    EXPECT_EQ(m.instructionTableState, 1);
}

TEST_F(CompilerDataFile, BadHexCodeFails) {
    ASSERT_TRUE(core::writeContainerFile(dir_ / "cmplr.dat", {"000AND~0Z~x~MREF~"}));
    core::Machine m;
    EXPECT_EQ(LoadCompilerData(dir_ / "cmplr.dat", m).state, 0);
    EXPECT_EQ(m.instructionTableState, 0);
}

TEST_F(CompilerDataFile, UnreadableContainerFails) {
    {
        std::ofstream f(dir_ / "cmplr.dat", std::ios::binary);
        f << "12";  // no header end
    }
    EXPECT_EQ(LoadCompilerData(dir_ / "cmplr.dat", OperatingMode::Normal).state, 0);
}

TEST(TableSource, RejectsBrokenSources) {
    EXPECT_FALSE(compileTableSource("0 AND 00 MREF x\n", OperatingMode::Normal).ok);  // 27 missing
    const auto twice = compileTableSource("0 NOP 0000 VAL a\n0 NOP 0000 VAL b\n", OperatingMode::Wif);
    EXPECT_FALSE(twice.ok);
    EXPECT_EQ(twice.errorLine, 2);
    EXPECT_FALSE(compileTableSource("1 ADDL 2000 VAL wrong form\n", OperatingMode::Wif).ok);
    EXPECT_FALSE(compileTableSource("1 addl 1000 VAL lower\n", OperatingMode::Wif).ok);
    EXPECT_FALSE(compileTableSource("1 ADDL 1000 FOO group\n", OperatingMode::Wif).ok);
    EXPECT_FALSE(compileTableSource("64 X 0000 VAL out\n", OperatingMode::Wif).ok);
    const auto one = compileTableSource("# c\n\n1 ADDL 1000 VAL Add it\n", OperatingMode::Wif);
    ASSERT_TRUE(one.ok);
    ASSERT_EQ(one.lines.size(), 64u);
    EXPECT_EQ(one.lines[0], "001~0~~~");
    EXPECT_EQ(one.lines[1], "001ADDL~1000~Add it~VAL~");
}

}  // namespace
}  // namespace mira::assembler
