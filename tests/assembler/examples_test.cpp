// Golden listings of the example programs, through the CLI's asm command.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/asm_commands.h"
#include "param_name.h"
#include "test_support.h"

namespace mira::assembler {
namespace {

struct Example {
    const char* name;
    std::vector<std::string> options;
};

class ExampleListing : public ::testing::TestWithParam<Example> {};

TEST_P(ExampleListing, MatchesItsGoldenListing) {
    const auto& e = GetParam();
    cli::Args args = e.options;
    args.push_back("--compiler-data");
    args.push_back(MIRA8_CMPLR_DAT);
    args.push_back(test::sourceDir() + "/examples/" + e.name + ".asm");
    std::ostringstream out, err;
    ASSERT_EQ(cli::asmCommand(args, out, err), cli::kExitOk) << err.str();
    EXPECT_EQ(err.str(), "");
    const std::string golden = test::readFile(test::sourceDir() + "/tests/assembler/golden/" + e.name + ".lst");
    EXPECT_EQ(out.str(), golden);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ExampleListing,
    ::testing::Values(Example{"count-on-led", {}}, Example{"echo-keypad", {}}, Example{"print-line", {}},
                      Example{"play-tune", {}}, Example{"wif-count-led", {"--mode", "wif"}},
                      Example{"wif-subroutine", {"--mode", "wif"}},
                      Example{"wif-table-lookup", {"--mode", "wif"}},
                      Example{"wif-print-line", {"--mode", "wif"}},
                      Example{"hello-alpha", {}}, Example{"hello-ten-digit", {}},
                      Example{"wif-switch-mask", {"--mode", "wif"}},
                      Example{"ascii-line", {}}, Example{"keypad2-sum", {}}),
    mira::test::caseNames([](const Example& e) { return e.name; }));

}  // namespace
}  // namespace mira::assembler
