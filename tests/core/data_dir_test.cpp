#include "core/data_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using namespace mira::core;

namespace {

// A scratch tree per test and the data environment variables restored afterwards, so
// the cases run in any order in one process.
class DataDir : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("mira8_data_dir_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        for (const char* name : {"MIRA8_DATA_DIR", "XDG_DATA_HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
        ::unsetenv("MIRA8_DATA_DIR");
        ::setenv("XDG_DATA_HOME", (root_ / "xdg").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        fs::remove_all(root_);
    }
    fs::path touch(const fs::path& p) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p;
    }

    fs::path root_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST_F(DataDir, ShippedFilesAreFoundInTheInstalledShareFolder) {
    const fs::path bin = root_ / "usr" / "bin";
    fs::create_directories(bin);
    const fs::path shipped = touch(root_ / "usr" / "share" / "mira8" / "cmplr.dat");
    const auto folders = dataSearchPath(root_ / "data", bin);
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[2], root_ / "usr" / "share" / "mira8");  // no "bin/.." left in it
    EXPECT_EQ(findDataFile("cmplr.dat", folders), shipped);
}

TEST_F(DataDir, FirstFolderHoldingTheFileWins) {
    const fs::path data = root_ / "data", bin = root_ / "bin";
    const auto folders = dataSearchPath(data, bin);
    const fs::path inShare = touch(root_ / "share" / "mira8" / "mira8help.pdf");
    EXPECT_EQ(findDataFile("mira8help.pdf", folders), inShare);
    const fs::path beside = touch(bin / "mira8help.pdf");
    EXPECT_EQ(findDataFile("mira8help.pdf", folders), beside);
    const fs::path own = touch(data / "mira8help.pdf");
    EXPECT_EQ(findDataFile("mira8help.pdf", folders), own);
    // A folder of that name is not the file.
    fs::create_directories(data / "cmplr.dat");
    const fs::path tables = touch(bin / "cmplr.dat");
    EXPECT_EQ(findDataFile("cmplr.dat", folders), tables);
}

TEST_F(DataDir, MissingFileIsNamedInTheDataDirectory) {
    const auto folders = dataSearchPath(root_ / "data", root_ / "bin");
    EXPECT_EQ(findDataFile("miraPIC.hex", folders), root_ / "data" / "miraPIC.hex");
    EXPECT_EQ(findDataFile("miraPIC.hex", {}), fs::path("miraPIC.hex"));
}

TEST_F(DataDir, ABuildTreeIsSearchedOnceWhenItIsAlsoTheDataDirectory) {
    const auto folders = dataSearchPath(root_ / "bin" / "", root_ / "bin");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], root_ / "bin");
    EXPECT_EQ(folders[1], root_ / "share" / "mira8");
}

// MIRA8_DATA_DIR moves the user's files; the program's own files beside the executable
// and in the share folder must still be found.
TEST_F(DataDir, DataDirVariableDoesNotHideTheProgramsOwnFiles) {
    ::setenv("MIRA8_DATA_DIR", (root_ / "mine").c_str(), 1);
    const auto folders = dataSearchPath();
    const fs::path exe = executableDirectory();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], root_ / "mine");
    EXPECT_TRUE(fs::is_directory(root_ / "mine"));
    EXPECT_EQ(folders[1], exe.lexically_normal());
    EXPECT_EQ(folders[2], (exe / ".." / "share" / "mira8").lexically_normal());
}

TEST_F(DataDir, UserDataGoesBesideABuildButNeverBesideAnInstalledProgram) {
    const fs::path build = root_ / "build" / "bin";
    fs::create_directories(build);
    EXPECT_EQ(dataDirectory(build), build);

    const fs::path installed = root_ / "usr" / "bin";
    fs::create_directories(installed);
    fs::create_directories(root_ / "usr" / "share" / "mira8");
    const fs::path xdg = dataDirectory(installed);
    EXPECT_EQ(xdg, root_ / "xdg" / "mira8");
    EXPECT_TRUE(fs::is_directory(xdg));

    ::setenv("MIRA8_DATA_DIR", (root_ / "override").c_str(), 1);
    EXPECT_EQ(dataDirectory(installed), root_ / "override");
    EXPECT_EQ(dataDirectory(build), root_ / "override");
}
