// Every error at once: the list each source gives (line, column, detail), the first error
// that the error box still shows, and cascades that report one error per fault.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace mira::assembler {
namespace {

struct MultiCase {
    const char* name;
    bool wif;
    const char* source;
    std::vector<std::string> expected;  // "LINE:COLUMN: detail", lines from 1
    const char* first;                  // the error box's text
    int firstLine;                      // the line it marks, from 1; 0 for none
};

void PrintTo(const MultiCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> listed(const AssemblyResult& r) {
    std::vector<std::string> out;
    for (const auto& d : r.diagnostics)
        out.push_back(std::to_string(d.line + 1) + ":" + std::to_string(d.column) + ": " + d.detail);
    return out;
}

class EveryError : public ::testing::TestWithParam<MultiCase> {};

TEST_P(EveryError, IsListedOnceWithItsPlace) {
    const auto& c = GetParam();
    test::Bench b(c.wif);
    const auto r = b.assemble(c.source);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(listed(r), c.expected);
    // The first error found is still the one error box, marking its line.
    EXPECT_EQ(r.message, c.first);
    EXPECT_EQ(r.line + 1, c.firstLine);
    ASSERT_EQ(b.prompter.errors.size(), 1u);
    EXPECT_EQ(b.prompter.errors[0], c.first);
    EXPECT_EQ(b.asmb.diagnostics().size(), c.expected.size());
}

constexpr bool N = false;
constexpr bool W = true;

INSTANTIATE_TEST_SUITE_P(
    Sources, EveryError,
    ::testing::Values(
        MultiCase{"NormalReferencesAndLabels", N,
                  "START,  CLA\n"
                  "        JMP NOWHERE\n"
                  "        FOO\n"
                  "LOOP,   TAD #D16\n"
                  "LOOP,   NOP\n",
                  {"2:13: Missing memory target address: NOWHERE",
                   "3:9: Expecting a value or an instruction: FOO",
                   "4:13: Address is outside memory page: #D16",
                   "5:1: Duplicated label: LOOP (first at line 4)"},
                  "Duplicated label", 5},
        MultiCase{"NormalDirectivesRecoverAtTheNextLine", N,
                  "_NOTEDELAY 20\n"
                  "CLA CMA\n"
                  "_STRING \"ok\n"
                  "_SETPC #DX\n"
                  "\tIAC\tI\n"
                  "HLT\n",
                  {"1:12: Invalid number: 20 (the note delay is 50 to 500)",
                   "2:5: Extra data on line: CMA",
                   "3:9: Invalid string: \"ok",
                   "4:8: Invalid number: #DX",
                   "5:6: Extra data on line: I"},
                  "Invalid number", 1},
        MultiCase{"NormalMissingOperandPointsPastTheLine", N,
                  "  JMP\n"
                  "  PUT\n",
                  {"1:7: Expecting a memory address after JMP",
                   "2:7: Expecting IO device 0 or 1 after PUT"},
                  "Expecting a memory address", 1},
        MultiCase{"WifDefinitionsConstantsAndStatements", W,
                  "_RAM\n"
                  "COUNT\n"
                  "COUNT\n"
                  "_ENDRAM\n"
                  "_CONST TEN #D10\n"
                  "_CONST TEN #D11\n"
                  "_CONST BAD NOPE\n"
                  "        MOVL BAD\n"
                  "        CALL NOWHERE\n"
                  "        ADD COUNT COUNT X\n",
                  {"3:1: Duplicated RAM definition: COUNT (first at line 2)",
                   "6:8: Duplicated constant: TEN (first at line 5)",
                   "7:12: Invalid constant: NOPE",
                   "9:14: Missing memory target address: NOWHERE",
                   "10:25: Expecting S or T: X"},
                  "Duplicated RAM definition", 3},
        MultiCase{"WifPredefinedClashesNameTheirDefinition", W,
                  "_RAM\n"
                  "DEV0\n"
                  "SAME\n"
                  "_ENDRAM\n"
                  "_EEP\n"
                  "SAME\n"
                  "_ENDEEP\n"
                  "        HALT\n",
                  {"2:1: Constant same as RAM definition: DEV0 (a predefined constant)",
                   "6:1: Duplicated RAM and EEPROM name: SAME (RAM at line 3)"},
                  "Constant same as RAM definition", 0},
        MultiCase{"WifBlockDirectivesAndLabels", W,
                  "_EEP X\n"
                  "KEEP\n"
                  "_ENDEEP\n"
                  "_ENDRAM\n"
                  "GOTO,   HALT\n"
                  "L1,     FLAG SET Q\n"
                  "        DELAY #D0\n",
                  {"1:6: Invalid EEPROM directive: _EEP takes nothing after it",
                   "4:1: Invalid RAM directive: _ENDRAM without _RAM before it",
                   "5:1: Invalid label: GOTO is an instruction",
                   "6:18: Invalid STATUS information: Q",
                   "7:15: Expecting TIMER value - [SKIPOF] [1-255]: #D0"},
                  "Invalid EEPROM directive", 1}),
    [](const ::testing::TestParamInfo<MultiCase>& p) { return std::string(p.param.name); });

// Errors that only follow from an earlier one are not reported: one error per fault.
INSTANTIATE_TEST_SUITE_P(
    Cascades, EveryError,
    ::testing::Values(
        // The failed string's label is used three times; only the string is at fault.
        MultiCase{"NormalFailedStringLabel", N,
                    "COUNT,  _STRING \"AB\n"
                    "        TAD COUNT\n"
                    "        DCA COUNT\n"
                    "        ISZ COUNT\n"
                    "        JMP NOWHERE\n",
                    {"1:17: Invalid string: \"AB", "5:13: Missing memory target address: NOWHERE"},
                    "Invalid string", 1},
        // Code past the end of memory: one error, not one per line or per reference.
        MultiCase{"NormalTooMuchCode", N,
                    "_SETPC #D255\n"
                    "NOP\n"
                    "NOP\n"
                    "X, NOP\n"
                    "_PAGEBREAK\n"
                    "JMP X\n",
                    {"3:1: Too much code found in file (the program memory holds 256 words)"},
                    "Too much code found in file", 3},
        // An invalid label is reported where it is defined, not where it is used.
        MultiCase{"NormalInvalidLabelUses", N,
                    "TOOLONGLABEL, NOP\n"
                    "        JMP TOOLONGLABEL\n"
                    "        TAD TOOLONGLABEL\n",
                    {"1:1: Invalid label: TOOLONGLABEL,"}, "Invalid label", 1},
        // A failed constant, a constant built on it, and their uses.
        MultiCase{"WifConstantsBuiltOnAFailure", W,
                    "_CONST LIMIT #DX\n"
                    "_CONST TWICE LIMIT + #D2\n"
                    "        MOVL LIMIT\n"
                    "        ADDL TWICE\n"
                    "_RAM\n"
                    "BIG #D70\n"
                    "_ENDRAM\n"
                    "        MOVL BIG\n"
                    "        INC BIG\n",
                    {"1:14: Invalid constant: #DX", "6:5: Invalid RAM address: #D70"},
                    "Invalid RAM address", 6},
        // A block left open ends at its first line that is no definition: the code after
        // it assembles, so the missing end is the only error.
        MultiCase{"WifBlockWithoutItsEnd", W,
                    "_RAM\n"
                    "COUNT\n"
                    "START,  ZERO COUNT\n"
                    "        INC COUNT\n"
                    "        GOTO START\n",
                    {"3:1: Invalid label: START, (no _ENDRAM closes the _RAM block of line 1)"},
                    "Invalid label", 3}),
    [](const ::testing::TestParamInfo<MultiCase>& p) { return std::string(p.param.name); });

TEST(EveryErrorState, FirstErrorLeavesWhatItLeftBefore) {
    // The search for more errors changes nothing the first one left: PC, the word count
    // and the image are as when the assembly stopped there.
    test::Bench b;
    b.m.pc = 77;
    b.m.memory[1] = 0x11;
    const auto r = b.assemble("CLA\nFOO\nIAC\nBAR\n");
    EXPECT_EQ(r.diagnostics.size(), 2u);
    EXPECT_EQ(b.m.pc, 1);
    EXPECT_EQ(b.asmb.wordCount(), 1);
    EXPECT_EQ(b.asmb.writtenAddresses(), std::vector<int>{0});
    EXPECT_EQ(b.word(2), 0);
    // An error before any query: the query is not asked.
    test::Bench q;
    q.assemble("_SETPC #DX\n_ISZEROPAGEON\n");
    EXPECT_TRUE(q.prompter.questions.empty());
    test::Bench clean;
    EXPECT_TRUE(clean.assemble("CLA\nHLT\n").diagnostics.empty());
}

}  // namespace
}  // namespace mira::assembler
