// `--module`: the option's forms, the refusals that name it, and a module paced in virtual
// time inside a real run.
#include <gtest/gtest.h>

#include "cli/cli_modules.h"
#include "cli_test.h"

namespace mira::cli {
namespace {

TEST(ModuleOption, DeviceNumbersMapToTheirSlots) {
    ModuleRequest r;
    ASSERT_EQ(parseModuleOption("led@1", r), "");
    EXPECT_EQ(r.kind->type, core::kModuleOctalLed);
    EXPECT_EQ(r.devices, std::vector<int>{1});
    EXPECT_EQ(r.slots, std::vector<int>{3}) << "output device 1 is slot 3";
    EXPECT_TRUE(r.args.empty());

    ModuleRequest d;
    ASSERT_EQ(parseModuleOption("decled@0", d), "");
    EXPECT_EQ(d.kind->type, core::kModuleDecimalLed);
    EXPECT_EQ(d.slots, std::vector<int>{2});
}

TEST(ModuleOption, RefusalsNameTheOption) {
    const char* bad[] = {"led",         "led@",    "led@2", "led@0,1", "led@x",
                         "led@0:extra", "nixie@0", "@0",    "",        "LED@0"};
    for (const char* value : bad) {
        ModuleRequest r;
        const std::string problem = parseModuleOption(value, r);
        EXPECT_EQ(problem.rfind("--module " + std::string(value) + ": ", 0), 0u)
            << value << " gave: " << problem;
    }
}

TEST_F(CliTest, ModulesTakeFreeDevicesOnlyAndOneOfAKind) {
    const auto f = write("halt.words", "0xF1\n");
    EXPECT_EQ(run({"--out", "0", "--module", "led@0", f}), kExitUsage);
    EXPECT_NE(err_.str().find("--module led@0: output device 0 is already taken"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(run({"--module", "led@0", "--module", "led@1", f}), kExitUsage);
    EXPECT_NE(err_.str().find("--module led@1"), std::string::npos) << err_.str();
    EXPECT_EQ(run({"--module", "led@0", "--module", "decled@1", "--json", f}), kExitOk);
    EXPECT_EQ(rawValue(moduleJson(0), "kind"), "\"led\"");
    EXPECT_EQ(intValue(rawValue(moduleJson(1), "dev")), 1);
    EXPECT_EQ(intValue(rawValue(jsonRaw("slots"), "type")), 0) << "input slot 0 stays free";
}

TEST_F(CliTest, LedModulePacesTheProgramInVirtualTime) {
    // The display is ready again 2.0 s (2 000 000 clock states) after each pulse, so the
    // counting example shows 0, 1, 2 at about 0, 2 and 4 s.
    const std::string example = std::string(MIRA8_SOURCE_DIR) + "/examples/count-on-led.asm";
    EXPECT_EQ(run({"--module", "led@0", "--json", "--clock-states", "5000000", example}),
              kExitNotHalted);
    const std::string led = moduleJson(0);
    EXPECT_EQ(intValue(rawValue(led, "value")), 2) << out_.str();
    EXPECT_EQ(rawValue(led, "text"), "\"  2\"");
    EXPECT_EQ(rawValue(jsonRaw("modules"), "dev"), "0");

    EXPECT_EQ(run({"--module", "decled@0", "--clock-states", "5000000", example}), kExitNotHalted);
    EXPECT_NE(out_.str().find("decled@0:    2\n"), std::string::npos) << out_.str();
}

}  // namespace
}  // namespace mira::cli
