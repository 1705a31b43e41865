// `--module melody@D`: note events with their virtual times, the note delay the source sets,
// and the note off the end of a run gives.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cli_test.h"

namespace mira::cli {
namespace {

struct Event {
    long us;
    int note;
    bool on;
};

class MelodyCliTest : public CliTest {
  protected:
    std::vector<Event> events() const {
        const std::string raw = rawValue(moduleJson(0), "events");
        static const std::regex kEvent(R"(\{"us":(\d+),"note":(\d+),"on":(true|false)\})");
        std::vector<Event> out;
        for (std::sregex_iterator it(raw.begin(), raw.end(), kEvent), end; it != end; ++it)
            out.push_back({std::stol((*it)[1]), std::stoi((*it)[2]), (*it)[3] == "true"});
        return out;
    }
    static std::string example() {
        return std::string(MIRA8_SOURCE_DIR) + "/examples/play-tune.asm";
    }
};

TEST_F(MelodyCliTest, ExampleTunePlaysEveryNoteForItsLength) {
    ASSERT_EQ(run({"--module", "melody@0", "--json", example()}), kExitOk) << err_.str();
    EXPECT_EQ(rawValue(moduleJson(0), "kind"), "\"melody\"");
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "dev")), 0);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "voice")), 0);
    const auto ev = events();
    // The scale, a rest that sounds nothing, G and the long C; _NOTEDELAY 150 sets the unit.
    const int notes[] = {48, 50, 52, 53, 55, 57, 59, 60, 55, 60};
    const int units[] = {1, 1, 1, 1, 1, 1, 1, 4, 1, 8};
    ASSERT_EQ(ev.size(), 20u) << out_.str();
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(ev[2 * i].note, notes[i]);
        EXPECT_TRUE(ev[2 * i].on);
        EXPECT_EQ(ev[2 * i + 1].note, notes[i]);
        EXPECT_FALSE(ev[2 * i + 1].on);
        EXPECT_NEAR(ev[2 * i + 1].us - ev[2 * i].us, units[i] * 150000L, 100) << i;
        if (i > 0) {
            EXPECT_GE(ev[2 * i].us, ev[2 * i - 1].us);
        }
    }
    // Two units of rest between the long C and the G.
    EXPECT_NEAR(ev[16].us - ev[15].us, 300000L, 1000);
    // The program halted after the tune: the player is ready, nothing more to stop.
    EXPECT_LT(ev.back().us, jsonInt("clock_states"));
}

TEST_F(MelodyCliTest, RunEndingMidNoteRecordsTheNoteOffAtTheEnd) {
    // Stopped inside the long C of the scale (1.05 s to 1.65 s).
    EXPECT_EQ(run({"--module", "melody@0", "--json", "--clock-states", "1200000", example()}),
              kExitNotHalted);
    const auto ev = events();
    ASSERT_EQ(ev.size(), 16u) << out_.str();
    EXPECT_EQ(ev[14].note, 60);
    EXPECT_TRUE(ev[14].on);
    EXPECT_EQ(ev[15].note, 60);
    EXPECT_FALSE(ev[15].on);
    EXPECT_EQ(ev[15].us, 1200000);
}

TEST_F(MelodyCliTest, WordFileUsesTheDefaultNoteDelayAndOutputDevice1) {
    // TAD 8; WRT 1; STB 1; STB 1; SKO 1; JMP 4; HLT; note: length 1 (2 units), code 1.
    const auto f = write("note.words", "0x28 0xDA 0xDC 0xDC 0xD9 0xA4 0xF1 0 0x41\n");
    ASSERT_EQ(run({"--module", "melody@1", "--json", f}), kExitOk) << err_.str();
    const auto ev = events();
    ASSERT_EQ(ev.size(), 2u) << out_.str();
    EXPECT_EQ(ev[0].note, 37);
    EXPECT_NEAR(ev[1].us - ev[0].us, 200000L, 100);
    EXPECT_EQ(intValue(rawValue(moduleJson(0), "dev")), 1);

    ASSERT_EQ(run({"--module", "melody@1", f}), kExitOk);
    EXPECT_NE(out_.str().find("melody@1: 37+@"), std::string::npos) << out_.str();
}

TEST_F(MelodyCliTest, BadDeviceIsAUsageError) {
    const auto f = write("halt.words", "0xF1\n");
    EXPECT_EQ(run({"--module", "melody@2", f}), kExitUsage);
    EXPECT_NE(err_.str().find("--module melody@2"), std::string::npos) << err_.str();
    EXPECT_EQ(run({"--module", "melody@0:loud", f}), kExitUsage);
}

}  // namespace
}  // namespace mira::cli
