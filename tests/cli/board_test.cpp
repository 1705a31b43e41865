// mira8-cli board end to end against mira8-boardsim on a pseudo-terminal: every command,
// exit statuses, faults and a board that vanishes. Real time: each run has the 1 s reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kCli = MIRA8_CLI_PATH;
const std::string kSim = MIRA8_BOARDSIM_PATH;

// A stand-in board running as a child process.
class Board {
public:
    explicit Board(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            std::vector<char*> argv{const_cast<char*>(kSim.c_str())};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(kSim.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') path_ += c;
        close(fds[0]);
    }
    ~Board() { stop(); }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Waits for a board that hangs up by itself.
    bool exited() {
        int st = 0;
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            usleep(20000);
        }
        return false;
    }
    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

struct CliRun {
    int status = -1;
    std::string out, err;
    double seconds = 0;
    std::vector<std::string> lines() const {
        std::vector<std::string> v;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }
    bool has(const std::string& line) const {
        const auto l = lines();
        return std::find(l.begin(), l.end(), line) != l.end();
    }
};

class BoardCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("mira8-board-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("MIRA8_DATA_DIR", dir_.c_str(), 1);
        // The marker file exists: the note of the first connection is tested once below.
        std::ofstream(dir_ / "miracg.dat") << "x";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }

    CliRun cli(const std::string& args) {
        const auto errFile = dir_ / "stderr.txt";
        const std::string cmd = kCli + " board " + args + " 2>" + errFile.string();
        CliRun r;
        const auto t0 = std::chrono::steady_clock::now();
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) return r;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
        const int st = pclose(p);
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        std::ifstream e(errFile);
        std::stringstream s;
        s << e.rdbuf();
        r.err = s.str();
        return r;
    }

    // Runs the command line with `args`; once its output holds `trigger`, the process is
    // stopped for `pauseMs` (a paused or swapping host) and then let go on.
    CliRun cliPaused(const std::vector<std::string>& args, const std::string& trigger, int pauseMs) {
        CliRun r;
        const auto errFile = dir_ / "stderr.txt";
        int fds[2];
        if (pipe(fds) != 0) return r;
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            std::freopen(errFile.c_str(), "w", stderr);
            std::vector<std::string> all{kCli, "board"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(kCli.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        bool paused = false;
        char buf[4096];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) {
            r.out.append(buf, static_cast<size_t>(n));
            if (!paused && r.out.find(trigger) != std::string::npos) {
                paused = true;
                kill(pid, SIGSTOP);
                usleep(static_cast<useconds_t>(pauseMs) * 1000);
                kill(pid, SIGCONT);
            }
        }
        close(fds[0]);
        int st = 0;
        waitpid(pid, &st, 0);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        std::ifstream e(errFile);
        std::stringstream text;
        text << e.rdbuf();
        r.err = text.str();
        EXPECT_TRUE(paused) << "never saw " << trigger;
        return r;
    }

    fs::path dir_;
};

const std::vector<std::string> kOptionLines{
    "Operating Mode              = Normal",     "Page Zero Mode              = OFF",
    "Slow Deposit/Examine Mode   = OFF",        "T1/T13 Reset Mode           = T13",
    "Slow Speed Cycle Time       = 500mS  Default", "Clear registers on reset    = OFF",
};

TEST_F(BoardCliTest, QueryPrintsTheOptionsAndTheFirstConnectionNote) {
    fs::remove(dir_ / "miracg.dat");
    Board board({});
    const auto r = cli("--port " + board.path() + " query");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected{"MIRA-8 connection query... >OK", "", "",
                                      "Congratulations on the successful creation of your MIRA-8 project :-)", ""};
    expected.insert(expected.end(), kOptionLines.begin(), kOptionLines.end());
    expected.push_back("");
    EXPECT_EQ(r.lines(), expected);
    EXPECT_TRUE(fs::exists(dir_ / "miracg.dat"));
    EXPECT_LT(r.seconds, 3.0);
}

TEST_F(BoardCliTest, ProgramsWriteReadListAndDelete) {
    const auto state = (dir_ / "board.txt").string();
    const auto words = write("p.words", "1 2 3\n@9 0x7F\n");
    {
        Board board({"--state", state});
        auto r = cli("--port " + board.path() + " --only-assembled write-program normal 2 \"  Count  up \" " + words);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.has("Writing MIRA program [2]... >OK"));
        r = cli("--port " + board.path() + " --answer yes write-program wif 3 W3 " + write("w.words", "0x1234 0xBEEF\n"));
        EXPECT_EQ(r.status, 0) << r.err;
    }
    // The state file keeps the programs for the next run of the board.
    Board board({"--state", state});
    auto r = cli("--port " + board.path() + " directory");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.has("No  Name                     Pgm   Typ ZPM SED IO"));
    EXPECT_TRUE(r.has(" 2  Count up                 Valid MR8 OFF OFF T13"));
    // WIF programs by the numbers "read-program wif N" takes.
    EXPECT_TRUE(r.has(" 3  W3                       Valid WIF --- --- AO"));
    EXPECT_TRUE(r.has(" 1  No Name                  Empty MR8 OFF OFF T13"));

    r = cli("--port " + board.path() + " --radix dec read-program normal 2");
    EXPECT_EQ(r.status, 0) << r.err;
    auto lines = r.lines();
    auto at = std::find(lines.begin(), lines.end(), "Reading MIRA program [2]... >OK");
    ASSERT_NE(at, lines.end());
    ASSERT_EQ(lines.end() - at, 260);
    EXPECT_EQ(at[2], " 2  Count up                 Valid MR8 OFF OFF T13");
    EXPECT_EQ(at[3], "");
    EXPECT_EQ(at[4].substr(0, 12), "D0    D1    ");
    EXPECT_EQ(at[13].substr(0, 12), "D9    D127  ");
    EXPECT_EQ(at[4 + 255].substr(0, 12), "D255  D255  ");  // beyond the 32 bytes sent: erased

    r = cli("--port " + board.path() + " read-program wif 3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n   0  4660 "), std::string::npos);
    EXPECT_NE(r.out.find("\n   1 48879 "), std::string::npos);

    r = cli("--port " + board.path() + " read-program normal 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.has("Program [5] is not valid"));

    r = cli("--port " + board.path() + " delete normal:2 wif:3");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Continue and delete selected program(s)?"), std::string::npos);
    r = cli("--port " + board.path() + " --answer yes delete normal:2 wif:3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.has("Deleting program(s)... >OK"));
    r = cli("--port " + board.path() + " read-program normal 2");
    EXPECT_EQ(r.status, 1);
}

TEST_F(BoardCliTest, AssembledSourceGoesIntoASlot) {
    Board board({});
    const auto r = cli("--port " + board.path() + " --only-assembled write-program normal 1 LED " +
                       std::string(MIRA8_SOURCE_DIR) + "/examples/count-on-led.asm");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.has("Writing MIRA program [1]... >OK"));
}

TEST_F(BoardCliTest, ProjectMemoryOptionsAndErase) {
    Board board({});
    const auto words = write("m.words", "0x0102 0x0304\n@1023 0xFFFF\n");
    auto r = cli("--port " + board.path() + " write-memory " + words + " --mode wif --zero-page --reset-t1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.has("Writing project memory -> 1024 words... >OK"));
    r = cli("--port " + board.path() + " --radix hex read-memory");
    EXPECT_EQ(r.status, 0) << r.err;
    // The option byte went with the memory: WIF, page zero on, BO.
    EXPECT_TRUE(r.has("Operating Mode              = WIF"));
    EXPECT_TRUE(r.has("Page Zero Mode              = ON"));
    EXPECT_TRUE(r.has("AO/BO Reset Mode            = BO"));
    EXPECT_NE(r.out.find("\n$000 $0102 "), std::string::npos);
    EXPECT_NE(r.out.find("\n$3FF $FFFF "), std::string::npos);

    r = cli("--port " + board.path() + " erase-memory");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.has("Erasing project memory... >OK"));
    r = cli("--port " + board.path() + " --radix hex read-memory");
    EXPECT_NE(r.out.find("\n$000 $0000 "), std::string::npos);

    r = cli("--port " + board.path() + " write-options 0xF3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.has("Write MIRA-8 hardware options... >OK"));
    r = cli("--port " + board.path() + " read-options");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> tail{"Read MIRA-8 hardware options... >OK",
                                        "",
                                        "Operating Mode              = Normal",
                                        "Page Zero Mode              = ON",
                                        "Slow Deposit/Examine Mode   = ON",
                                        "T1/T13 Reset Mode           = T13",
                                        "Slow Speed Cycle Time       = 1 second",
                                        "Clear registers on reset    = ON",
                                        ""};
    const auto lines = r.lines();
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(tail.size()), lines.end()), tail);
}

std::string hexRecord(int address, const std::vector<int>& data) {
    char buf[16];
    int sum = static_cast<int>(data.size()) + (address >> 8) + (address & 0xFF);
    std::snprintf(buf, sizeof buf, ":%02X%04X00", static_cast<unsigned>(data.size()), static_cast<unsigned>(address));
    std::string s = buf;
    for (int d : data) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(d));
        s += buf;
        sum += d;
    }
    std::snprintf(buf, sizeof buf, "%02X\n", static_cast<unsigned>((-sum) & 0xFF));
    return s + buf;
}

TEST_F(BoardCliTest, FirmwareUpgradeFromForcedBootMode) {
    std::string hex;
    for (int i = 0; i < 12; ++i) hex += hexRecord(768 + 16 * i, std::vector<int>(16, i + 1));
    hex += ":00000001FF\n";
    const auto file = write("fw.hex", hex);
    Board board({"--forced-boot"});

    auto r = cli("--port " + board.path() + " directory");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.has("The MIRA-8 board is operating in Forced Boot Mode"));
    EXPECT_NE(r.err.find("forced boot mode"), std::string::npos);

    r = cli("--port " + board.path() + " upgrade-driver " + file);
    EXPECT_EQ(r.status, 3);

    r = cli("--port " + board.path() + " --answer yes upgrade-driver " + file);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> want{"Processing data... >OK", "", "*** CAUTION: DO NOT DISCONNECT THE MIRA-8 ***", "",
                                        "Programming MIRA-8 PIC hardware driver... >OK", "Programming complete"};
    auto lines = r.lines();
    auto at = std::search(lines.begin(), lines.end(), want.begin(), want.end());
    ASSERT_NE(at, lines.end()) << r.out;
    // The new driver took the board out of forced boot mode: the reconnection is normal.
    EXPECT_EQ(lines.back(), "");
    EXPECT_TRUE(std::find(at, lines.end(), "MIRA-8 connection query... >OK") != lines.end());

    // A damaged file sends nothing.
    hex[10] = hex[10] == '0' ? '1' : '0';
    r = cli("--port " + board.path() + " --answer yes upgrade-driver " + write("bad.hex", hex));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR: Hex file data error"), std::string::npos);
    EXPECT_TRUE(r.has("Processing data... >FAIL"));
    r = cli("--port " + board.path() + " --answer yes upgrade-driver " + write("empty.hex", ":00000001FF\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR: Hex file holds no data to program"), std::string::npos);
}

TEST_F(BoardCliTest, FaultsEndWithAClearMessageAndNoHang) {
    {
        Board board({"--eeprom-fail"});
        const auto r = cli("--port " + board.path() + " write-program normal 1 X " + write("a.words", "1\n"));
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.has("Writing MIRA program [1]... >FAIL"));
        EXPECT_TRUE(r.has("ERROR: EEPROM write failed"));
    }
    {
        Board board({"--silent-after", "5"});
        const auto r = cli("--port " + board.path() + " directory");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.has("Reading directory... >FAIL"));
        EXPECT_TRUE(r.has("Communications failed"));
        EXPECT_LT(r.seconds, 5.0);
    }
    {
        Board board({"--split"});
        const auto r = cli("--port " + board.path() + " directory");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.has(" 3  No Name                  Empty WIF --- --- AO"));
    }
    {
        Board board({"--garbage-at", "4"});
        auto r = cli("--port " + board.path() + " read-memory");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.has("Communications failed"));
        r = cli("--port " + board.path() + " read-options");
        EXPECT_EQ(r.status, 0) << r.err;
    }
    {
        // Unplugged in the middle of the directory.
        Board board({"--hangup-after", "20"});
        const auto r = cli("--port " + board.path() + " directory");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.has("the board is not connected on " + board.path()));
        EXPECT_LT(r.seconds, 5.0);
        EXPECT_TRUE(board.exited());
    }
    {
        // A device that is there but says nothing at all.
        Board board({"--silent-after", "0"});
        const auto r = cli("--port " + board.path() + " query");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.lines(), (std::vector<std::string>{"MIRA-8 connection query... >FAIL", "Communications failed", ""}));
    }
}

// A client stopped for longer than the reply time-out in the middle of each command (the
// stop lands as soon as the command's line is printed) goes on and finishes it.
TEST_F(BoardCliTest, APausedClientFinishesEveryCommand) {
    const auto state = (dir_ / "board.txt").string();
    Board board({"--state", state});
    const std::string normalWords = write("n.words", "1 2 3 4\n");
    const std::string wifWords = write("w.words", "0x1234 0x5678\n");
    std::string hex;
    for (int i = 0; i < 8; ++i) hex += hexRecord(768 + 16 * i, std::vector<int>(16, i + 1));
    const std::string hexFile = write("fw.hex", hex + ":00000001FF\n");
    const struct {
        std::vector<std::string> args;
        std::string trigger;
    } cases[] = {
        {{"query"}, "MIRA-8 connection query..."},
        {{"write-program", "normal", "1", "N1", normalWords}, "Writing MIRA program [1]..."},
        {{"write-program", "wif", "1", "W1", wifWords}, "Writing WIF program [1]..."},
        {{"read-program", "normal", "1"}, "Reading MIRA program [1]..."},
        {{"read-program", "wif", "1"}, "Reading WIF program [1]..."},
        {{"directory"}, "Reading directory..."},
        {{"write-memory", normalWords}, "Writing project memory -> "},
        {{"read-memory"}, "Reading project memory..."},
        {{"erase-memory"}, "Erasing project memory..."},
        {{"--answer", "yes", "delete", "normal:1", "wif:1"}, "Deleting program(s)..."},
        {{"write-options", "0x6D"}, "Write MIRA-8 hardware options..."},
        {{"read-options"}, "Read MIRA-8 hardware options..."},
        {{"--answer", "yes", "upgrade-driver", hexFile}, "Programming MIRA-8 PIC hardware driver..."},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--port", board.path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = cliPaused(args, c.trigger, 2500);
        EXPECT_EQ(r.status, 0) << c.trigger << "\n" << r.out << r.err;
        EXPECT_FALSE(r.has("Communications failed")) << c.trigger;
    }
}

// The command's line is out while it runs, not only when it ends.
TEST_F(BoardCliTest, LinesAppearWhileTheCommandRuns) {
    Board board({"--silent-after", "5"});
    const auto t0 = std::chrono::steady_clock::now();
    double seenAt = -1;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        execl(kCli.c_str(), kCli.c_str(), "board", "--port", board.path().c_str(), "directory", nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) {
        out.append(buf, static_cast<size_t>(n));
        if (seenAt < 0 && out.find("Reading directory...") != std::string::npos)
            seenAt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    close(fds[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_GE(seenAt, 0) << out;
    // The board falls silent at once: the line waits 2 s for its mark, and was shown first.
    EXPECT_LT(seenAt, total - 1.5);
    EXPECT_NE(out.find("Reading directory... >FAIL\nCommunications failed\n"), std::string::npos) << out;
}

// Files the link would send are read through the one reader: folders, devices and FIFOs
// are refused before the board is touched, and every message names its file.
TEST_F(BoardCliTest, FilesThatAreNotFilesAreRefusedBeforeTheBoardIsTouched) {
    Board board({});
    const std::string folder = (dir_ / "adir").string();
    fs::create_directories(folder);
    const std::string fifo = (dir_ / "afifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& file : {folder, fifo, std::string("/dev/zero")}) {
        for (const std::string& args : {"write-program normal 3 TEST " + file, "write-memory " + file}) {
            const auto r = cli("--port " + board.path() + " " + args);
            EXPECT_EQ(r.status, 1) << args;
            EXPECT_EQ(r.out, "") << args;
            EXPECT_NE(r.err.find(file + ": it is a folder or device, not a file"), std::string::npos) << r.err;
        }
        const auto r = cli("--port " + board.path() + " --answer yes upgrade-driver " + file);
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_NE(r.err.find("ERROR: The firmware file " + file + " cannot be used: it is a folder or device"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(r.has("Processing data... >FAIL")) << r.out;
    }
    // The file given, not the window's default name.
    const auto r = cli("--port " + board.path() + " --answer yes upgrade-driver " + (dir_ / "gen/nonexist.hex").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"nonexist.hex\" was not found"), std::string::npos) << r.err;
}

TEST_F(BoardCliTest, PortNumbersAndUsage) {
    Board board({});
    setenv("MIRA8_SERIAL_PORTS", board.path().c_str(), 1);
    auto r = cli("--port 1 read-options");
    unsetenv("MIRA8_SERIAL_PORTS");
    EXPECT_EQ(r.status, 0) << r.err;

    EXPECT_EQ(cli("--port 0 query").status, 2);
    EXPECT_EQ(cli("--port 257 query").status, 2);
    EXPECT_EQ(cli("query").status, 2);
    EXPECT_EQ(cli("--port " + board.path() + " read-program normal 9").status, 2);
    EXPECT_EQ(cli("--port " + board.path() + " write-options 300").status, 2);
    EXPECT_EQ(cli("--port " + board.path() + " delete mira:1").status, 2);
    EXPECT_EQ(cli("--port " + board.path() + " frobnicate").status, 2);
    r = cli("--port " + board.path() + " write-program normal 1 " + std::string(24, 'n') + " x.words");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("ERROR: Too many characters - Max = 23"), std::string::npos);
    r = cli("--port " + (dir_ / "no-such-device").string() + " query");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
    r = cli("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("upgrade-driver HEXFILE"), std::string::npos);
}

}  // namespace
