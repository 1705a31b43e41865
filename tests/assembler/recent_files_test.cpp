#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "assembler/recent_files.h"
#include "core/scrambled_file.h"

namespace mira::assembler {
namespace {

using V = std::vector<std::string>;

struct World {
    std::set<std::string> files;
    RecentFiles::Exists exists() {
        return [this](const std::string& p) { return files.count(p) > 0; };
    }
};

TEST(RecentFiles, SixFilesOpenedInTurnKeepTheLastFiveMostRecentFirst) {
    World w;
    RecentFiles r(w.exists());
    for (int i = 1; i <= 6; ++i) {
        const std::string p = "/src/p" + std::to_string(i) + ".asm";
        w.files.insert(p);
        r.add(p);
    }
    EXPECT_EQ(r.paths(), (V{"/src/p6.asm", "/src/p5.asm", "/src/p4.asm", "/src/p3.asm",
                            "/src/p2.asm"}));
}

TEST(RecentFiles, ReopeningMovesToTheTopIgnoringCase) {
    World w;
    w.files = {"/a/One.asm", "/a/two.asm", "/A/ONE.ASM"};
    RecentFiles r(w.exists());
    r.add("/a/One.asm");
    r.add("/a/two.asm");
    r.add("/A/ONE.ASM");
    EXPECT_EQ(r.paths(), (V{"/A/ONE.ASM", "/a/two.asm"}));
}

TEST(RecentFiles, MissingFilesAreDropped) {
    World w;
    w.files = {"/a.asm", "/b.asm"};
    RecentFiles r(w.exists());
    r.add("/a.asm");
    r.add("/b.asm");
    w.files.erase("/a.asm");
    r.tidy();
    EXPECT_EQ(r.paths(), (V{"/b.asm"}));
    r.add("/gone.asm");  // a path that is not a file does not stay
    EXPECT_EQ(r.paths(), (V{"/b.asm"}));
}

TEST(RecentFiles, LinesWithoutTheZeroFieldAreSkipped) {
    World w;
    w.files = {"/x.asm", "/y.asm", "/z.asm"};
    RecentFiles r(w.exists());
    r.fromLines({"000/x.asm", "001/y.asm", "abc/z.asm", "00", "", "000/y.asm", "000/missing.asm"});
    EXPECT_EQ(r.paths(), (V{"/x.asm", "/y.asm"}));
    EXPECT_EQ(r.toLines(), (V{"000/x.asm", "000/y.asm"}));
}

TEST(RecentFiles, MoreThanFiveStoredLinesKeepTheFirstFive) {
    World w;
    V lines;
    for (int i = 0; i < 8; ++i) {
        w.files.insert("/f" + std::to_string(i));
        lines.push_back("000/f" + std::to_string(i));
    }
    RecentFiles r(w.exists());
    r.fromLines(lines);
    EXPECT_EQ(r.paths().size(), 5u);
    EXPECT_EQ(r.paths().front(), "/f0");
}

TEST(RecentFiles, FileRoundTripAndBadFiles) {
    const auto dir = std::filesystem::temp_directory_path() / "mira8_recent_test";
    std::filesystem::create_directories(dir);
    const auto src = dir / "prog.asm";
    std::ofstream(src) << "\tCLA\n";
    const auto file = dir / kRecentFilesFileName;
    RecentFiles r;
    r.add(src.string());
    ASSERT_TRUE(r.save(file));
    // The stored form is the container with "000" before the path.
    const auto read = core::readContainerFile(file);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.lines, (V{"000" + src.string()}));
    RecentFiles back;
    EXPECT_TRUE(back.load(file));
    EXPECT_EQ(back.paths(), (V{src.string()}));

    std::ofstream(file, std::ios::binary) << "garbage without a header";
    RecentFiles bad;
    EXPECT_FALSE(bad.load(file));
    EXPECT_TRUE(bad.empty());
    EXPECT_FALSE(bad.load(dir / "no-such-file"));
    std::filesystem::remove_all(dir);
}

TEST(RecentFiles, CaptionIsTheNameWithoutFolderAndExtension) {
    EXPECT_EQ(RecentFiles::caption("/home/u/count.asm"), "count");
    EXPECT_EQ(RecentFiles::caption("C:\\progs\\led.test.asm"), "led.test");
    EXPECT_EQ(RecentFiles::caption("plain"), "plain");
    EXPECT_EQ(RecentFiles::caption("/dir/.hidden"), ".hidden");
}

}  // namespace
}  // namespace mira::assembler
