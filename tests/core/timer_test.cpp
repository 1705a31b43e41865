// The virtual clock that drives core timers in tests and headless runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/timer.h"

namespace mira::core {
namespace {

TEST(VirtualClock, TimersFireWhenDueAndRepeat) {
    VirtualClock clock;
    auto t = clock.createTimer(500);
    int ticks = 0;
    t->setCallback([&] { ++ticks; });
    clock.advance(1000);
    EXPECT_EQ(ticks, 0) << "not started";
    t->start();
    clock.advance(499);
    EXPECT_EQ(ticks, 0);
    clock.advance(1);
    EXPECT_EQ(ticks, 1);
    clock.advance(1000);
    EXPECT_EQ(ticks, 3);
}

TEST(VirtualClock, SameInstantFiresInStartOrder) {
    VirtualClock clock;
    std::vector<std::string> order;
    auto a = clock.createTimer(10);
    auto b = clock.createTimer(10);
    a->setCallback([&] { order.push_back("a"); });
    b->setCallback([&] { order.push_back("b"); });
    b->start();
    a->start();
    clock.advance(20);
    EXPECT_EQ(order, (std::vector<std::string>{"b", "a", "b", "a"}));
}

TEST(VirtualClock, OneShotStopsItselfInCallback) {
    VirtualClock clock;
    auto t = clock.createTimer(7);
    int ticks = 0;
    t->setCallback([&] {
        ++ticks;
        t->stop();
    });
    t->start();
    clock.advance(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(t->isActive());
}

TEST(VirtualClock, MicrosecondStepsAndDueCheck) {
    VirtualClock clock;
    auto t = clock.createTimer(1);
    int ticks = 0;
    t->setCallback([&] { ++ticks; });
    t->start();
    EXPECT_FALSE(clock.anyDueBy(999));
    EXPECT_TRUE(clock.anyDueBy(1000));
    for (int i = 0; i < 999; ++i) clock.advanceMicros(1);
    EXPECT_EQ(ticks, 0);
    clock.advanceMicros(1);
    EXPECT_EQ(ticks, 1);
}

TEST(VirtualClock, AdvanceToKeepsTimeCurrentForTimersStartedLater) {
    VirtualClock clock;
    auto t = clock.createTimer(7);
    int ticks = 0;
    t->setCallback([&] { ++ticks; });
    clock.advanceTo(1'000'000);  // nothing due: time still moves
    EXPECT_EQ(clock.nowMicros(), 1'000'000);
    t->start();
    clock.advanceTo(1'006'999);
    EXPECT_EQ(ticks, 0) << "7 ms from the start, not from time 0";
    clock.advanceTo(1'007'000);
    EXPECT_EQ(ticks, 1);
    clock.advanceTo(5);  // never backwards
    EXPECT_EQ(clock.nowMicros(), 1'007'000);
}

TEST(VirtualClock, TimerOutlivingClockIsHarmless) {
    std::unique_ptr<Timer> t;
    {
        VirtualClock clock;
        t = clock.createTimer(5);
        t->start();
    }
    EXPECT_TRUE(t->isActive());
}

}  // namespace
}  // namespace mira::core
