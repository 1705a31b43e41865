#include "core/snapshot.h"

#include <gtest/gtest.h>

#include "core/timer.h"

using namespace mira::core;

TEST(Snapshot, ValuesAndSectionsComeBackAndWrongDataIsRefused) {
    SnapshotWriter w;
    w.beginSection("MACH", 2);
    w.u8(0xAB);
    w.boolean(true);
    w.u16(0xBEEF);
    w.i32(-5);
    w.i64(-123456789012345);
    w.str("tape");
    w.endSection();
    const auto bytes = w.take();

    SnapshotReader r(bytes);
    EXPECT_EQ(r.peekTag(), "MACH");
    EXPECT_EQ(r.beginSection("MACH", 2), 2);
    EXPECT_EQ(r.u8(), 0xAB);
    EXPECT_TRUE(r.boolean());
    EXPECT_EQ(r.u16(), 0xBEEF);
    EXPECT_EQ(r.i32(), -5);
    EXPECT_EQ(r.i64(), -123456789012345);
    EXPECT_EQ(r.str(), "tape");
    r.endSection();
    EXPECT_TRUE(r.atEnd());

    // Another tag, a newer version, a read past the section's end, bytes left unread.
    SnapshotReader wrongTag(bytes);
    EXPECT_THROW(wrongTag.beginSection("SLOT", 2), SnapshotError);
    SnapshotReader newer(bytes);
    EXPECT_THROW(newer.beginSection("MACH", 1), SnapshotError);
    SnapshotReader leftOver(bytes);
    leftOver.beginSection("MACH", 2);
    leftOver.u8();
    EXPECT_THROW(leftOver.endSection(), SnapshotError);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        auto readAll = [&] {
            SnapshotReader s(bytes.data(), cut);
            s.beginSection("MACH", 2);
            s.u8();
            s.boolean();
            s.u16();
            s.i32();
            s.i64();
            s.str();
            s.endSection();
        };
        EXPECT_THROW(readAll(), SnapshotError) << "cut at " << cut;
    }
}

TEST(StateFile, RoundTripAndEveryKindOfBadFile) {
    const std::vector<uint8_t> snap{1, 2, 3, 250};
    const std::string file = stateFileBytes(snap);
    const auto good = parseStateFile(file);
    ASSERT_TRUE(good.ok) << good.error;
    EXPECT_EQ(good.snapshot, snap);

    std::string otherVersion = file;
    otherVersion[kStateFileMagic.size()] = 9;
    std::string flipped = file;
    flipped[file.size() - 6] ^= 0x10;
    const struct {
        std::string bytes;
        const char* says;
    } bad[] = {
        {"", "not a MIRA-8 machine state file"},
        {"MIRA-8 tape\n", "not a MIRA-8 machine state file"},
        {otherVersion, "version 9; this emulator reads version 1"},
        {file.substr(0, file.size() - 1), "damaged"},
        {file + "x", "damaged"},
        {flipped, "checksum"},
        {std::string(kStateFileMagic) + "\1", "damaged"},
    };
    for (const auto& b : bad) {
        const auto got = parseStateFile(b.bytes);
        EXPECT_FALSE(got.ok);
        EXPECT_TRUE(got.snapshot.empty());
        EXPECT_NE(got.error.find(b.says), std::string::npos) << got.error;
    }
}

TEST(Snapshot, RestoredTimerTicksAfterItsRemainingTimeThenEveryInterval) {
    VirtualClock clock;
    auto t = clock.createTimer(10);
    auto stopped = clock.createTimer(5);
    t->start();
    clock.advanceMicros(7'000);
    SnapshotWriter w;
    saveTimer(w, *t);
    saveTimer(w, *stopped);
    const auto bytes = w.take();

    VirtualClock later;
    later.advanceMicros(1'000'000);
    auto u = later.createTimer(1);
    auto v = later.createTimer(1);
    v->start();
    int ticks = 0;
    u->setCallback([&] { ++ticks; });
    SnapshotReader r(bytes);
    restoreTimer(r, *u);
    restoreTimer(r, *v);
    EXPECT_EQ(u->interval(), 10);
    EXPECT_FALSE(v->isActive());
    EXPECT_EQ(u->remainingMicros(), 3'000);
    later.advanceMicros(2'999);
    EXPECT_EQ(ticks, 0);
    later.advanceMicros(1);
    EXPECT_EQ(ticks, 1);
    later.advanceMicros(10'000);
    EXPECT_EQ(ticks, 2);
}
