// `--module keypad`, `keypad2` and `ascii`: key names, the pacing of key scripts in
// virtual time, keys that deliver nothing, the JSON fields, refusals and bad key files,
// and the examples that use them.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_test.h"
#include "core/scrambled_file.h"

namespace mira::cli {
namespace {

// Stores every key it reads from input device 0, from BUF (address 7) on, for ever.
constexpr const char* kStoreKeys = R"(NEXT,   SKI 0
        JMP NEXT
        GET 0
        DCA I PTR
        ISZ PTR
        JMP NEXT
PTR,    BUF
BUF,    #D0
)";
// Never reads: the first key stays waiting.
constexpr const char* kIgnoreKeys = "LOOP,   JMP LOOP\n";

std::string example(const char* name) {
    return std::string(MIRA8_SOURCE_DIR) + "/examples/" + name;
}

class KeysTest : public CliTest {
  protected:
    // Memory words 7.. as a list "[a,b,...]" prefix of length n.
    std::vector<long> stored(size_t n) const {
        const std::string mem = jsonRaw("memory");
        std::vector<long> words;
        std::stringstream ss(mem.substr(1));
        std::string item;
        while (std::getline(ss, item, ',')) words.push_back(std::stol(item));
        return {words.begin() + 7, words.begin() + 7 + static_cast<long>(n)};
    }
    long pressed(size_t module = 0) const {
        return intValue(rawValue(moduleJson(module), "pressed"));
    }
};

TEST_F(KeysTest, KeypadDeliversKeyNumbersWithCtlBit) {
    const auto f = write("store.asm", kStoreKeys);
    EXPECT_EQ(run({"--module", "keypad@0:7,0,LF,^LF,^-,x", "--json", "--clock-states", "20000", f}),
              kExitNotHalted);
    EXPECT_EQ(stored(6), (std::vector<long>{0, 12, 11, 27, 30, 3}));
    const std::string pad = moduleJson(0);
    EXPECT_EQ(rawValue(pad, "kind"), "\"keypad\"");
    EXPECT_EQ(intValue(rawValue(pad, "dev")), 0);
    EXPECT_EQ(intValue(rawValue(pad, "pressed")), 6);
    EXPECT_EQ(intValue(rawValue(pad, "left")), 0);
    EXPECT_EQ(intValue(rawValue(pad, "data")), 0) << "the key shifted out as it was read";
}

TEST_F(KeysTest, FirstKeyAtOneMillisecondThenOneAfterEachWasTaken) {
    const auto f = write("store.asm", kStoreKeys);
    auto pressedAfter = [&](const char* states) {
        run({"--module", "keypad@1:1,2,3", "--json", "--clock-states", states, f});
        return pressed();
    };
    // The program reads input device 0, so device 1's keys are never taken.
    EXPECT_EQ(pressedAfter("999"), 0);
    EXPECT_EQ(pressedAfter("1000"), 1);
    EXPECT_EQ(pressedAfter("50000"), 1);

    auto pressed0 = [&](const char* states) {
        run({"--module", "keypad@0:1,2,3", "--json", "--clock-states", states, f});
        return pressed();
    };
    EXPECT_EQ(pressed0("1000"), 1);
    // The program takes the key within about 150 clock states, so the next one comes
    // between 2000 and 2200.
    EXPECT_EQ(pressed0("2000"), 1);
    EXPECT_EQ(pressed0("2200"), 2);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "left")), 1);
}

TEST_F(KeysTest, UntakenKeyHoldsTheScript) {
    const auto f = write("idle.asm", kIgnoreKeys);
    EXPECT_EQ(run({"--module", "ascii@1:a,b", "--json", "--max-instructions", "100000", f}),
              kExitNotHalted);
    const std::string kb = moduleJson(0);
    EXPECT_EQ(intValue(rawValue(kb, "data")), 97);
    EXPECT_EQ(intValue(rawValue(kb, "pressed")), 1);
    EXPECT_EQ(intValue(rawValue(kb, "left")), 1);
}

TEST_F(KeysTest, KeysThatDeliverNothingDoNotWait) {
    const auto f = write("idle.asm", kIgnoreKeys);
    // Ctrl+Shift has no table, Insert no code: neither waits to be taken.
    EXPECT_EQ(run({"--module", "ascii@0:ctrl+shift+1,insert,ctrl+alt+3,z,x", "--json",
                   "--clock-states", "3500", f}),
              kExitNotHalted);
    EXPECT_EQ(pressed(), 3);
    EXPECT_EQ(run({"--module", "ascii@0:ctrl+shift+1,insert,ctrl+alt+3,z,x", "--json",
                   "--clock-states", "4000", f}),
              kExitNotHalted);
    EXPECT_EQ(pressed(), 4);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "data")), 122);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "left")), 1);

    // A blank KeyPad 2 caption, named by its number, delivers nothing either.
    ASSERT_TRUE(core::writeContainerFile(dir_ / "blank.kpf", {"~A~B~", "9~10~11~", "0"}));
    EXPECT_EQ(run({"--module", "keypad2@0:#0,#3,B:" + (dir_ / "blank.kpf").string(), "--json",
                   "--clock-states", "3500", f}),
              kExitNotHalted);
    EXPECT_EQ(pressed(), 3);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "data")), 11);
}

TEST_F(KeysTest, EmptyKeyListPressesNothing) {
    const auto f = write("idle.asm", kIgnoreKeys);
    EXPECT_EQ(run({"--module", "keypad@0:", "--json", "--clock-states", "5000", f}),
              kExitNotHalted);
    EXPECT_EQ(pressed(), 0);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "left")), 0);
    EXPECT_EQ(intValue(rawValue(jsonRaw("slots"), "flag")), 1) << "no key waiting";
}

TEST_F(KeysTest, AsciiKeysAndModifiers) {
    const auto f = write("store.asm", kStoreKeys);
    EXPECT_EQ(run({"--module",
                   "ascii@0:a,shift+a,shift+2,ctrl+7,alt+3,ctrl+alt+7,pageup,esc,"
                   "shift+grave,apostrophe,f5,space",
                   "--json", "--clock-states", "40000", f}),
              kExitNotHalted);
    EXPECT_EQ(stored(10), (std::vector<long>{97, 65, 64, 7, 19, 31, 12, 27, 126, 39}));
    EXPECT_EQ(stored(11).back(), 32) << "f5 gave nothing, space came next";
    EXPECT_EQ(pressed(), 12);
}

TEST_F(KeysTest, Keypad2UsesDefaultCaptionsOrTheFileOnes) {
    const auto f = write("store.asm", kStoreKeys);
    EXPECT_EQ(run({"--module", "keypad2@0:7,E,MC,1/x,#22", "--json", "--clock-states", "20000", f}),
              kExitNotHalted);
    EXPECT_EQ(stored(5), (std::vector<long>{5, 23, 0, 9, 22}));
    EXPECT_EQ(run({"--module", "keypad2@0:1,2,E:" + example("keypad2-digits.kpf"), "--json",
                   "--clock-states", "20000", f}),
              kExitNotHalted);
    EXPECT_EQ(stored(3), (std::vector<long>{1, 2, 255}));
}

TEST_F(KeysTest, BadKeysAndDevicesAreUsageErrorsNamingTheOption) {
    const auto f = write("idle.asm", kIgnoreKeys);
    const char* bad[] = {"keypad@0",       "keypad@0:1,Q", "keypad@0:^",     "keypad@0:1,,2",
                         "keypad@2:1",     "keypad:1",     "keypad2@0:SIN",  "keypad2@0:#24",
                         "ascii@0:meta+a", "ascii@0:A,",   "ascii@1:shift+", "ascii@0:Enter",
                         "keypad@0:1:2"};
    for (const char* value : bad) {
        EXPECT_EQ(run({"--module", value, f}), kExitUsage) << value;
        EXPECT_NE(err_.str().find("--module"), std::string::npos) << value << ": " << err_.str();
    }
    EXPECT_EQ(run({"--module", "keypad@0:1", "--module", "ascii@0:a", f}), kExitUsage);
    EXPECT_NE(err_.str().find("--module ascii@0:a: input device 0 is already taken"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(run({"--in", "1=5", "--module", "keypad2@1:7", f}), kExitUsage);
}

TEST_F(KeysTest, KeyFileThatFailsToLoadExitsOneWithTheModulesMessage) {
    const auto f = write("idle.asm", kIgnoreKeys);
    write("garbage.kpf", "no container");
    ASSERT_TRUE(core::writeContainerFile(dir_ / "two.kpf", {"A~", "1~"}));
    for (const char* name : {"missing.kpf", "garbage.kpf", "two.kpf"}) {
        EXPECT_EQ(run({"--module", "keypad2@0:7:" + (dir_ / name).string(), f}), kExitBadInput)
            << name;
        EXPECT_EQ(err_.str(), "Error: Failed to open file\n") << name;
    }
}

TEST_F(KeysTest, ExamplesGiveTheirResults) {
    EXPECT_EQ(run({"--module", "keypad2@0:1,2,3,E:" + example("keypad2-digits.kpf"), "--json",
                   example("keypad2-sum.asm")}),
              kExitOk);
    EXPECT_EQ(jsonInt("ac"), 6);
    EXPECT_EQ(
        run({"--module", "ascii@0:shift+h,i,shift+1,enter", "--json", example("ascii-line.asm")}),
        kExitOk);
    const std::string mem = jsonRaw("memory");
    EXPECT_EQ(mem.substr(0, 1), "[");
    std::vector<long> words;
    std::stringstream ss(mem.substr(1));
    for (std::string item; std::getline(ss, item, ',');) words.push_back(std::stol(item));
    EXPECT_EQ((std::vector<long>{words[15], words[16], words[17], words[18]}),
              (std::vector<long>{72, 105, 33, 13}));
    // The echo shows the keys as they are printed on them on the ten-digit display.
    EXPECT_EQ(run({"--module", "keypad@0:1,2,3,LF,-,0,/,+,^7", "--module", "tendigit@0", "--json",
                   example("echo-keypad.asm")}),
              kExitNotHalted);
    EXPECT_EQ(rawValue(moduleJson(1), "text"), "\"-0:.7     \"");
    EXPECT_EQ(run({"--module", "keypad@0:1,2,3", "--module", "tendigit@0", "--json",
                   example("echo-keypad.asm")}),
              kExitNotHalted);
    EXPECT_EQ(rawValue(moduleJson(1), "text"), "\"123       \"");
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "left")), 0);
}

}  // namespace
}  // namespace mira::cli
