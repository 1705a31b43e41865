// Key script pacing in virtual time: first key after 1000 µs, the next 1000 µs after the
// previous one was taken, keys that deliver nothing do not wait.
#include <gtest/gtest.h>

#include <vector>

#include "cli/key_script.h"

namespace mira::cli {
namespace {

struct ScriptRig {
    core::VirtualClock clock;
    std::vector<bool> delivers;
    std::vector<int64_t> pressedAt;
    KeyScript script;
    explicit ScriptRig(std::vector<bool> d)
        : delivers(std::move(d)), script(clock, delivers.size(), [this](size_t i) {
              pressedAt.push_back(clock.nowMicros());
              return static_cast<bool>(delivers[i]);
          }) {}
};

TEST(KeyScript, FirstKeyOneMillisecondAfterStartThenWaitsToBeTaken) {
    ScriptRig r({true, true});
    r.script.start();
    r.clock.advanceMicros(999);
    EXPECT_TRUE(r.pressedAt.empty());
    r.clock.advanceMicros(1);
    EXPECT_EQ(r.pressedAt, std::vector<int64_t>{1000});
    EXPECT_EQ(r.script.pressed(), 1u);
    EXPECT_EQ(r.script.left(), 1u);
    r.clock.advanceMicros(50000);  // not taken: nothing more
    EXPECT_EQ(r.pressedAt.size(), 1u);
    r.script.taken();
    r.clock.advanceMicros(999);
    EXPECT_EQ(r.pressedAt.size(), 1u);
    r.clock.advanceMicros(1);
    EXPECT_EQ(r.pressedAt.back(), 52000);
    EXPECT_EQ(r.script.left(), 0u);
}

TEST(KeyScript, KeysThatDeliverNothingFollowEachOtherByOnePace) {
    ScriptRig r({false, false, true, true});
    r.script.start();
    r.clock.advanceMicros(10000);
    EXPECT_EQ(r.pressedAt, (std::vector<int64_t>{1000, 2000, 3000}));
    r.script.taken();
    r.clock.advanceMicros(10000);
    EXPECT_EQ(r.pressedAt.back(), 11000);  // taken at 10000
    r.script.taken();                      // the last key: the script is done
    r.clock.advanceMicros(10000);
    EXPECT_EQ(r.pressedAt.size(), 4u);
}

TEST(KeyScript, TakenWithoutAWaitingKeyDoesNotHurryTheScript) {
    ScriptRig r({true, true});
    r.script.start();
    r.clock.advanceMicros(500);
    r.script.taken();
    r.clock.advanceMicros(500);
    EXPECT_EQ(r.pressedAt, std::vector<int64_t>{1000});
    r.clock.advanceMicros(1500);
    EXPECT_EQ(r.pressedAt.size(), 1u);
}

TEST(KeyScript, EmptyScriptPressesNothing) {
    ScriptRig r({});
    r.script.start();
    r.clock.advanceMicros(5000);
    EXPECT_TRUE(r.pressedAt.empty());
    EXPECT_EQ(r.script.left(), 0u);
}

}  // namespace
}  // namespace mira::cli
